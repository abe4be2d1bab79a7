// A process-wide set of hooks — a struct of std::function slots — that a subsystem
// standing above the caller fills at start-up, and that the caller copies when it needs
// it. One instance per Hooks type. Thread-safe.
#pragma once

#include <functional>
#include <mutex>

template <class Hooks>
class ZUMRegistrationPoint {
 public:
  // Lets `fill` set the slots it owns; slots filled earlier by others stay.
  static void fill(const std::function<void(Hooks&)>& fill) {
    if (!fill) return;
    std::lock_guard lock(mutex());
    fill(hooks());
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
    static auto* instance = new Hooks();
    return *instance;
  }
};
