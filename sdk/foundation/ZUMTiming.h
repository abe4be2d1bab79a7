// The timing of one activity in a category: start() and end() record the monotonic time
// in whole milliseconds. Used for request fetches and mediation adapters.
//
// Thread-safe: the times live on the timing's own serial queue
// ("com.vantor.morvane.timing"); start() and end() are queued, reads wait for them.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace platform {
class DispatchQueue;
}

class ZUMTiming : public std::enable_shared_from_this<ZUMTiming> {
 public:
  static std::shared_ptr<ZUMTiming> create(std::string category);

  const std::string& category() const { return category_; }

  // Records the start (again, when called again) and forgets an earlier end.
  void start();
  // Records the end.
  void end();

  std::optional<std::uint64_t> startTime() const;
  std::optional<std::uint64_t> endTime() const;
  // End minus start, when both are recorded and the end is not before the start.
  std::optional<std::uint64_t> duration() const;

  explicit ZUMTiming(std::string category);
  ~ZUMTiming();
  ZUMTiming(const ZUMTiming&) = delete;
  ZUMTiming& operator=(const ZUMTiming&) = delete;

 private:
  struct Times {
    std::optional<std::uint64_t> start;
    std::optional<std::uint64_t> end;
  };
  Times times() const;

  const std::string category_;
  std::shared_ptr<platform::DispatchQueue> queue_;
  Times times_;  // touched only on queue_
};
