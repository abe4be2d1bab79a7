// An exception of the platform: a name ("NSInvalidArgumentException"-like, chosen by the
// raiser), a reason or none, user info (a JSON object), and the return addresses of the
// call stack where it was raised, innermost first, starting in the function that raised
// it. raise() records the stack and throws; a handler catches it as platform::Exception
// (or std::exception, whose what() is the reason, else the name).
//
// An exception that nothing catches reaches the uncaught-exception handler
// (UncaughtExceptionHandler.h). Immutable once raised; any thread.
#pragma once

#include <cstdint>
#include <exception>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json_fwd.hpp>

namespace platform {

class Exception : public std::exception {
 public:
  Exception(std::string name, std::optional<std::string> reason);
  // `userInfo` must be a JSON object; anything else gives empty user info.
  Exception(std::string name, std::optional<std::string> reason, const nlohmann::ordered_json& userInfo);

  // Records the caller's call stack into a copy of this exception and throws the copy.
  [[noreturn]] void raise() const;
  // Makes an exception and raises it from the caller.
  [[noreturn]] static void raise(std::string name, std::optional<std::string> reason);
  [[noreturn]] static void raise(std::string name, std::optional<std::string> reason,
                                 const nlohmann::ordered_json& userInfo);

  const std::string& name() const { return name_; }
  const std::optional<std::string>& reason() const { return reason_; }
  // An object (possibly empty), never null.
  const nlohmann::ordered_json& userInfo() const;
  // Empty until raised.
  const std::vector<std::uintptr_t>& callStackReturnAddresses() const { return callStack_; }

  // The reason, else the name.
  const char* what() const noexcept override;

 private:
  friend class UncaughtExceptions;
  void setCallStackReturnAddresses(std::vector<std::uintptr_t> addresses) { callStack_ = std::move(addresses); }
  [[noreturn]] void raiseFrom(const void* returnAddress) const;

  std::string name_;
  std::optional<std::string> reason_;
  std::shared_ptr<const nlohmann::ordered_json> userInfo_;  // shared: copies are cheap and never throw
  std::vector<std::uintptr_t> callStack_;
};

}  // namespace platform
