#include "platform/net/HTTPResponseHeadParser.h"

#include <charconv>
#include <limits>

#include "platform/base/ASCIIString.h"

namespace platform {

namespace {

bool isDigit(char c) { return c >= '0' && c <= '9'; }

// RFC 9110 token characters, the only ones a field name may hold.
bool isTokenChar(char c) {
  if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || isDigit(c)) return true;
  switch (c) {
    case '!':
    case '#':
    case '$':
    case '%':
    case '&':
    case '\'':
    case '*':
    case '+':
    case '-':
    case '.':
    case '^':
    case '_':
    case '`':
    case '|':
    case '~':
      return true;
    default:
      return false;
  }
}

}  // namespace

void HTTPResponseHeadParser::reset() {
  state_ = State::NeedMore;
  haveStatus_ = false;
  statusCode_ = 0;
  httpVersion_.clear();
  fields_ = {};
  setCookies_.clear();
  lastName_.clear();
  headBytes_ = 0;
  lineCount_ = 0;
}

bool HTTPResponseHeadParser::parseStatusLine(std::string_view line) {
  // "HTTP/<version> <3 digits>[ <reason>]"
  auto space = line.find(' ');
  if (space == std::string_view::npos) return false;
  std::string_view version = line.substr(0, space);
  std::string_view versionNumber = version.substr(5);
  if (versionNumber.empty() || versionNumber.size() > 8) return false;
  for (char c : versionNumber) {
    if (!isDigit(c) && c != '.') return false;
  }
  std::string_view rest = line.substr(space + 1);
  if (rest.size() < 3 || !isDigit(rest[0]) || !isDigit(rest[1]) || !isDigit(rest[2])) return false;
  if (rest.size() > 3 && rest[3] != ' ') return false;
  int code = (rest[0] - '0') * 100 + (rest[1] - '0') * 10 + (rest[2] - '0');
  if (code < 100) return false;
  httpVersion_ = std::string(version);
  statusCode_ = code;
  return true;
}

HTTPResponseHeadParser::State HTTPResponseHeadParser::addLine(std::string_view line) {
  while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.remove_suffix(1);

  if (line.substr(0, 5) == "HTTP/") {
    reset();
    if (!parseStatusLine(line)) {
      state_ = State::Invalid;
      return state_;
    }
    haveStatus_ = true;
    headBytes_ = line.size();
    return state_;
  }
  if (state_ != State::NeedMore) return state_;
  if (!haveStatus_) {
    // Header lines before any status line: not an HTTP response we can read.
    state_ = State::Invalid;
    return state_;
  }

  headBytes_ += line.size() + 2;
  if (headBytes_ > kMaxHeadBytes || ++lineCount_ > kMaxFields) {
    state_ = State::Invalid;
    return state_;
  }

  if (line.empty()) {
    // End of this head. Interim answers (100 Continue, 103 Early Hints) are followed by
    // the real one; 101 ends the exchange as far as we are concerned.
    if (statusCode_ >= 100 && statusCode_ < 200 && statusCode_ != 101) {
      reset();
      return state_;
    }
    state_ = State::Complete;
    return state_;
  }

  if (line.front() == ' ' || line.front() == '\t') {
    // An obsolete folded continuation of the previous field.
    std::string_view more = trimmingSpacesAndTabs(line);
    if (lastName_.empty() || more.empty()) return state_;
    std::string value = fields_.value(lastName_).value_or(std::string());
    if (!value.empty()) value.push_back(' ');
    value.append(more);
    fields_.set(lastName_, std::move(value));
    return state_;
  }

  auto colon = line.find(':');
  if (colon == std::string_view::npos || colon == 0) return state_;  // not a field; skipped
  std::string_view name = line.substr(0, colon);
  for (char c : name) {
    if (!isTokenChar(c)) return state_;  // a malformed name is skipped, never trusted
  }
  std::string_view value = trimmingSpacesAndTabs(line.substr(colon + 1));
  for (char c : value) {
    if (c == '\0') return state_;
  }
  if (HTTPHeaderFields::namesEqual(name, "Set-Cookie")) setCookies_.emplace_back(value);
  fields_.add(name, value);
  lastName_ = std::string(name);
  return state_;
}

std::optional<std::int64_t> HTTPResponseHeadParser::parseContentLength(std::string_view value) {
  std::optional<std::int64_t> result;
  while (true) {
    auto comma = value.find(',');
    std::string_view piece = trimmingSpacesAndTabs(value.substr(0, comma));
    if (piece.empty()) return std::nullopt;
    for (char c : piece) {
      if (!isDigit(c)) return std::nullopt;
    }
    std::int64_t number = 0;
    auto [end, error] = std::from_chars(piece.data(), piece.data() + piece.size(), number);
    if (error != std::errc() || end != piece.data() + piece.size()) return std::nullopt;
    if (result && *result != number) return std::nullopt;
    result = number;
    if (comma == std::string_view::npos) return result;
    value = value.substr(comma + 1);
  }
}

}  // namespace platform
