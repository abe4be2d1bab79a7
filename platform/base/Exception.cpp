#include "platform/base/Exception.h"

#include <nlohmann/json.hpp>

#include "platform/base/Symbols.h"

namespace platform {

namespace {

std::shared_ptr<const nlohmann::ordered_json> userInfoObject(const nlohmann::ordered_json* userInfo) {
  static const auto* empty = new std::shared_ptr<const nlohmann::ordered_json>(
      std::make_shared<const nlohmann::ordered_json>(nlohmann::ordered_json::object()));
  if (!userInfo || !userInfo->is_object() || userInfo->empty()) return *empty;
  return std::make_shared<const nlohmann::ordered_json>(*userInfo);
}

}  // namespace

Exception::Exception(std::string name, std::optional<std::string> reason)
    : name_(std::move(name)), reason_(std::move(reason)), userInfo_(userInfoObject(nullptr)) {}

Exception::Exception(std::string name, std::optional<std::string> reason, const nlohmann::ordered_json& userInfo)
    : name_(std::move(name)), reason_(std::move(reason)), userInfo_(userInfoObject(&userInfo)) {}

const nlohmann::ordered_json& Exception::userInfo() const { return *userInfo_; }

const char* Exception::what() const noexcept { return reason_ ? reason_->c_str() : name_.c_str(); }

// Never inlined, so that the return address is in the raising function.
[[gnu::noinline]] void Exception::raise() const { raiseFrom(__builtin_return_address(0)); }

[[gnu::noinline]] void Exception::raise(std::string name, std::optional<std::string> reason) {
  Exception(std::move(name), std::move(reason)).raiseFrom(__builtin_return_address(0));
}

[[gnu::noinline]] void Exception::raise(std::string name, std::optional<std::string> reason,
                                        const nlohmann::ordered_json& userInfo) {
  Exception(std::move(name), std::move(reason), userInfo).raiseFrom(__builtin_return_address(0));
}

void Exception::raiseFrom(const void* returnAddress) const {
  Exception raised(*this);
  raised.callStack_ = platform::callStackReturnAddresses(returnAddress);
  throw raised;
}

}  // namespace platform
