// The name of a message that native code sends to a page (QYRA_ReceiveMessage). The
// name is written into the call between single quotes as it stands, so only the SDK's
// own fixed names may be used: a ZUMPageMessageName is made only at compile time, from a
// constant such as "onReadyEventReceived", and a name holding anything but ASCII
// letters, digits, "_", "-", "." or ":" does not compile. No text that arrives at run
// time (from a page, a server or the host) can become one.
//
// A value type; copy it freely, use it from any thread.
#pragma once

#include <string>
#include <string_view>

// Whether `name` may be sent to a page: not empty, and only ASCII letters, digits,
// "_", "-", "." and ":" (none of which can end a quoted script string).
constexpr bool ZUMIsPageMessageName(std::string_view name) {
  if (name.empty()) return false;
  for (char c : name) {
    const bool letter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
    const bool digit = c >= '0' && c <= '9';
    if (!letter && !digit && c != '_' && c != '-' && c != '.' && c != ':') return false;
  }
  return true;
}

class ZUMPageMessageName {
 public:
  // Only a constant name compiles; an unfit one fails the build.
  consteval ZUMPageMessageName(const char* name) : name_(name) {  // NOLINT: implicit on purpose
    if (!ZUMIsPageMessageName(name_)) unfitPageMessageName();
  }

  std::string_view view() const { return name_; }
  std::string string() const { return std::string(name_); }

  bool operator==(const ZUMPageMessageName& other) const { return name_ == other.name_; }

 private:
  // Not constexpr: reaching it during constant evaluation stops the build.
  static void unfitPageMessageName() {}

  std::string_view name_;  // a constant: static storage
};
