// Reads the head of an HTTP response (status line and header lines) one line at a time,
// as the network transport receives it from the server. Interim 1xx heads are skipped;
// a status line always starts a new head. Repeated fields are merged with ", " (and
// "Set-Cookie" lines are also kept one by one). Hostile input is refused, never trusted:
// a malformed status line or a head beyond the size limits makes the parser Invalid.
// Not thread-safe; one parser per response.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/net/HTTPHeaderFields.h"

namespace platform {

class HTTPResponseHeadParser {
 public:
  enum class State { NeedMore, Complete, Invalid };

  static constexpr std::size_t kMaxHeadBytes = 256 * 1024;
  static constexpr std::size_t kMaxFields = 500;

  // Takes one line, with or without its CR LF. Lines after Complete or Invalid are
  // ignored until a new status line arrives (a later response on the same transfer).
  State addLine(std::string_view line);
  State state() const { return state_; }

  int statusCode() const { return statusCode_; }
  // "HTTP/1.1", "HTTP/2", ...
  const std::string& httpVersion() const { return httpVersion_; }
  const HTTPHeaderFields& headerFields() const { return fields_; }
  const std::vector<std::string>& setCookieValues() const { return setCookies_; }

  // A "Content-Length" value: decimal digits only (surrounding white space allowed),
  // no overflow; a list of equal values counts as one. std::nullopt otherwise.
  [[nodiscard]] static std::optional<std::int64_t> parseContentLength(std::string_view value);

 private:
  void reset();
  [[nodiscard]] bool parseStatusLine(std::string_view line);

  State state_ = State::NeedMore;
  bool haveStatus_ = false;
  int statusCode_ = 0;
  std::string httpVersion_;
  HTTPHeaderFields fields_;
  std::vector<std::string> setCookies_;
  std::string lastName_;  // of the field a folded line continues
  std::size_t headBytes_ = 0;
  std::size_t lineCount_ = 0;
};

}  // namespace platform
