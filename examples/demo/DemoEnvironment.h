// The device the demo runs on, set up as the tests set up theirs, so that a run is
// repeatable and leaves nothing behind:
//   - the platform's virtual clock and deterministic executor: the main thread's code
//     moves time with platform::MainLoopDriver (advance, runUntilIdle) or runUntil()
//     below, while real I/O (the network transport, the ad server) runs on threads of
//     its own;
//   - the application's folders (Library/Caches, tmp, Documents) and user-defaults file
//     under a fresh temporary directory, removed at the end, never the user's own;
//   - the application's information dictionary (an invented bundle identifier);
//   - network loads kept on this machine: the ad network's invented hosts go to the
//     demo's ad server (routeHosts), and any other host fails without leaving it.
//
// Make one, first thing in main(), on the main thread; main thread only.
#pragma once

#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace platform {
class VirtualClock;
}

class DemoEnvironment {
 public:
  DemoEnvironment();
  ~DemoEnvironment();
  DemoEnvironment(const DemoEnvironment&) = delete;
  DemoEnvironment& operator=(const DemoEnvironment&) = delete;

  // Sends requests for `hosts` (any scheme, any port) to http://127.0.0.1:`port`.
  void routeHosts(const std::vector<std::string>& hosts, int port);
  // The application's launch (did-finish-launching, then active), as the platform's
  // application main runs it; the main loop then runs only when driven.
  void launch();

  // Runs the main loop until `done()` holds, or `realLimit` of real time has passed, as
  // the SDK would run on a device: what is ready runs, work from other threads is waited
  // for, and when nothing has come for kQuietPeriod of real time and no page is loading
  // or answering a script, the clock moves to the next timer. (Unlike a test, the demo does not know which timer it waits for.)
  // Returns done().
  bool runUntil(const std::function<bool()>& done, std::chrono::milliseconds realLimit);
  // Real I/O on this machine (a loopback request) answers well within this.
  static constexpr std::chrono::milliseconds kQuietPeriod{100};

  // Virtual seconds since the environment was made. Any thread.
  double elapsed() const;
  const std::filesystem::path& root() const { return root_; }

 private:
  std::filesystem::path root_;
  std::shared_ptr<platform::VirtualClock> clock_;
  double start_ = 0;
};
