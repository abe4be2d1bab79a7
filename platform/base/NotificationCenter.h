// A notification center after the platform's: parts of the system post notifications
// by name, and observers registered for a name and/or an object hear them.
//
// - A post calls every matching observer synchronously on the posting thread, in the
//   order they were added, except block observers given an operation queue: their
//   block is added to that queue and runs there later (the post does not wait for it).
// - An observer matches when its name is empty (any name) or equal to the
//   notification's, and its object is nullptr (any object) or is the notification's
//   object, compared by identity; an observed object that is gone matches nothing, except
//   its own notification posted as it ends (Notification::fromEndingObject).
// - Observers added during a post are not called by that post; an observer removed
//   during a post (by any observer of it, or by another thread before its turn) is not
//   called afterwards, nor are its blocks still waiting on a queue.
// - Observer objects are held weakly: once gone they are no longer called.
//
// All operations may be called from any thread. No lock is held while observers run, so
// they may post, add and remove freely.
#pragma once

#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json_fwd.hpp>

#include "platform/base/Notification.h"

namespace platform {

class OperationQueue;

class NotificationCenter {
 public:
  using Block = std::function<void(const Notification&)>;
  // The handle of a block observer, to pass to removeObserver(). The center keeps the
  // observer whether or not the token is kept.
  using Token = std::shared_ptr<const void>;

  // The process's center, made once.
  static NotificationCenter& defaultCenter();

  // A block observer. `queue` nullptr runs the block on the posting thread.
  Token addObserver(std::string name, const std::shared_ptr<void>& object, std::shared_ptr<OperationQueue> queue,
                    Block block);
  // An observer object: `block` is called on the posting thread while `observer` lives.
  void addObserver(const std::shared_ptr<void>& observer, Block block, std::string name,
                   const std::shared_ptr<void>& object);

  // Removes the block observer of a token, or every registration of an observer object.
  void removeObserver(const Token& token) { removeObserver(token.get()); }
  void removeObserver(const void* observerOrToken);
  // Removes the observer object's registrations for `name` (empty: every name) and
  // `object` (nullptr: every object).
  void removeObserver(const void* observer, std::string_view name, const void* object);

  // A notification without a name is not posted.
  void post(const Notification& notification);
  void post(std::string name, std::shared_ptr<void> object = nullptr);
  void post(std::string name, std::shared_ptr<void> object, nlohmann::ordered_json userInfo);

  NotificationCenter();
  ~NotificationCenter();
  NotificationCenter(const NotificationCenter&) = delete;
  NotificationCenter& operator=(const NotificationCenter&) = delete;

 private:
  struct Registration;

  void add(std::shared_ptr<Registration> registration);
  void removeIf(const std::function<bool(const Registration&)>& predicate);

  std::mutex mutex_;
  std::vector<std::shared_ptr<Registration>> registrations_;
};

}  // namespace platform
