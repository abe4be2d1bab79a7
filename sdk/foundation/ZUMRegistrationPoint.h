// A process-wide value that an area standing above the caller fills at start-up, and
// that the caller copies when it needs it: a struct of hooks, or the shared
// implementation of an interface (through ZUMSharedInterface below). One instance per
// type. Thread-safe.
#pragma once

#include <functional>
#include <memory>
#include <mutex>
#include <utility>

#include "platform/base/TestingReset.h"

template <class Hooks>
class ZUMRegistrationPoint {
 public:
  // Lets `fill` set the parts it owns; parts filled earlier by others stay.
  static void fill(const std::function<void(Hooks&)>& fill) {
    if (!fill) return;
    std::lock_guard lock(mutex());
    fill(hooks());
  }

  // Replaces the whole value; the old one is destroyed outside the lock, so its
  // destructor may read registration points again.
  static void set(Hooks value) {
    {
      std::lock_guard lock(mutex());
      std::swap(hooks(), value);
    }
  }

  static Hooks current() {
    std::lock_guard lock(mutex());
    return hooks();
  }

 private:
  // Never destroyed: hooks may be read while the process exits.
  static std::mutex& mutex() {
    static auto* instance = new std::mutex();
    return *instance;
  }
  static Hooks& hooks() {
    static auto* instance = [] {
      auto* made = new Hooks();
      // Hooks a test registered (and the locals they capture) end with it.
      platform::registerTestingReset(made, [] { set(Hooks()); });
      return made;
    }();
    return *instance;
  }
};

// The base of an interface that a lower area declares and a higher one implements:
// `class ZUMSlotRendering : public ZUMSharedInterface<ZUMSlotRendering>`. The SDK's load
// entry installs the implementation once; until then shared() is nullptr and the caller
// does what the interface's header says.
template <class Interface>
class ZUMSharedInterface {
 public:
  static std::shared_ptr<Interface> shared() { return ZUMRegistrationPoint<std::shared_ptr<Interface>>::current(); }
  // Installs (or, with nullptr, removes) the implementation.
  static void setShared(std::shared_ptr<Interface> implementation) {
    ZUMRegistrationPoint<std::shared_ptr<Interface>>::set(std::move(implementation));
  }
};
