#include "platform/base/Notification.h"

#include <utility>

#include <nlohmann/json.hpp>

namespace platform {

Notification::Notification(std::string name, std::shared_ptr<void> object)
    : name_(std::move(name)), object_(std::move(object)) {}

Notification::Notification(std::string name, std::shared_ptr<void> object, nlohmann::ordered_json userInfo)
    : name_(std::move(name)), object_(std::move(object)) {
  if (!userInfo.is_null()) {
    userInfo_ = std::make_shared<const nlohmann::ordered_json>(std::move(userInfo));
  }
}

Notification::Notification(std::string name, std::shared_ptr<void> object, Objects userInfoObjects)
    : name_(std::move(name)),
      object_(std::move(object)),
      userInfoObjects_(std::make_shared<const Objects>(std::move(userInfoObjects))) {}

Notification Notification::fromEndingObject(std::string name, const void* object, std::weak_ptr<const void> identity) {
  Notification notification(std::move(name));
  notification.endingObject_ = object;
  notification.endingIdentity_ = std::move(identity);
  return notification;
}

std::shared_ptr<void> Notification::userInfoObject(std::string_view key) const {
  if (!userInfoObjects_) return nullptr;
  auto found = userInfoObjects_->find(key);
  return found == userInfoObjects_->end() ? nullptr : found->second;
}

const nlohmann::ordered_json& Notification::userInfo() const {
  static const auto* const empty = new nlohmann::ordered_json(nlohmann::ordered_json::object());
  return userInfo_ ? *userInfo_ : *empty;
}

}  // namespace platform
