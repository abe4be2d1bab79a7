#include "platform/ui/Reachability.h"

#include <memory>
#include <vector>

#include "platform/base/DispatchQueue.h"
#include "platform/base/TestingReset.h"

namespace platform {

Reachability& Reachability::shared() {
  static Reachability* reachability = [] {
    auto* made = new Reachability();
    // A test starts from the state the process starts with.
    registerTestingReset(made, [made] {
      made->~Reachability();
      new (made) Reachability();
    });
    return made;
  }();
  return *reachability;
}

Reachability::Status Reachability::status() const {
  std::lock_guard lock(mutex_);
  return status_;
}

std::uint32_t Reachability::flags() const {
  switch (status()) {
    case Status::NotReachable:
      return 0;
    case Status::ReachableViaWiFi:
      return kFlagReachable;
    case Status::ReachableViaWWAN:
      return kFlagReachable | kFlagIsWWAN;
  }
  return 0;
}

void Reachability::setStatus(Status status) {
  std::vector<std::weak_ptr<Observer>> toNotify;
  {
    std::lock_guard lock(mutex_);
    if (status_ == status) return;
    status_ = status;
    for (const auto& [token, observer] : observers_) toNotify.push_back(observer);
  }
  if (toNotify.empty()) return;
  DispatchQueue::main()->async([toNotify = std::move(toNotify), status] {
    // An observer removed before this turn is not called.
    for (const auto& weak : toNotify) {
      if (auto observer = weak.lock()) (*observer)(status);
    }
  });
}

int Reachability::addObserver(Observer observer) {
  std::lock_guard lock(mutex_);
  const int token = nextToken_++;
  observers_[token] = std::make_shared<Observer>(std::move(observer));
  return token;
}

void Reachability::removeObserver(int token) {
  std::lock_guard lock(mutex_);
  observers_.erase(token);
}

}  // namespace platform
