// The platform's system log. Production writes each line to stderr as
// "[<subsystem>] <message>"; tests hold a SystemLog::Capture to see what was written.
// Thread-safe: lines from several threads never mix.
#pragma once

#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

class SystemLog {
 public:
  struct Line {
    std::string subsystem;
    std::string message;
  };

  // Writes one line; `subsystem` names the writer (a subsystem or a label).
  static void write(std::string_view subsystem, std::string_view message);

  // Collects every line written, from any thread, while it lives. Captures may nest;
  // each sees every line. Lines still go to stderr unless `quiet`.
  class Capture {
   public:
    explicit Capture(bool quiet = false);
    ~Capture();
    Capture(const Capture&) = delete;
    Capture& operator=(const Capture&) = delete;

    std::vector<Line> lines() const;
    // The messages alone, in order.
    std::vector<std::string> messages() const;
    // Whether any message contains `text`.
    bool contains(std::string_view text) const;
    void clear();

   private:
    friend class SystemLog;
    void append(std::string_view subsystem, std::string_view message);

    const bool quiet_;
    mutable std::mutex mutex_;
    std::vector<Line> lines_;
  };
};

}  // namespace platform
