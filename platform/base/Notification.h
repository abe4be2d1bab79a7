// One notification, after the platform's: a name, the object that posts it (or
// nullptr) and a user-info dictionary of property-list values (empty when none).
// Objects that are not property-list values will travel as typed fields of this class,
// never inside the user info.
//
// Immutable once made and cheap to copy; may cross threads freely.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <string_view>

#include <nlohmann/json_fwd.hpp>

namespace platform {

class Notification {
 public:
  explicit Notification(std::string name, std::shared_ptr<void> object = nullptr);
  // `userInfo` should be a dictionary; anything else is kept as given.
  Notification(std::string name, std::shared_ptr<void> object, nlohmann::ordered_json userInfo);
  // With user-info entries that are objects, not property-list values, kept typed.
  using Objects = std::map<std::string, std::shared_ptr<void>, std::less<>>;
  Notification(std::string name, std::shared_ptr<void> object, Objects userInfoObjects);

  // Posted by an object from its destructor, when nothing may hold it any more: object()
  // is nullptr, yet observers of that very object still hear it. `identity` is the
  // object's weak_from_this().
  static Notification fromEndingObject(std::string name, const void* object, std::weak_ptr<const void> identity);

  const std::string& name() const { return name_; }
  const std::shared_ptr<void>& object() const { return object_; }
  // The ending object's address and identity (nullptr and empty for other notifications).
  const void* endingObject() const { return endingObject_; }
  const std::weak_ptr<const void>& endingIdentity() const { return endingIdentity_; }
  // The user info; an empty dictionary when none was given.
  const nlohmann::ordered_json& userInfo() const;
  // The user-info object under `key`, or nullptr.
  std::shared_ptr<void> userInfoObject(std::string_view key) const;

 private:
  std::string name_;
  std::shared_ptr<void> object_;
  const void* endingObject_ = nullptr;
  std::weak_ptr<const void> endingIdentity_;
  std::shared_ptr<const nlohmann::ordered_json> userInfo_;  // shared: copies are cheap
  std::shared_ptr<const Objects> userInfoObjects_;
};

}  // namespace platform
