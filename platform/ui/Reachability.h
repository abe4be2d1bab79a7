// Whether the network can be reached, and over which kind of link (Wi-Fi or the
// cellular radio), with the platform's reachability flags. Changes are announced to
// observers on the main queue. Values come from the device profile or from tests.
// Thread-safe.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>

namespace platform {

class Reachability {
 public:
  enum class Status { NotReachable = 0, ReachableViaWiFi = 1, ReachableViaWWAN = 2 };

  // The platform's flag bits.
  static constexpr std::uint32_t kFlagReachable = 1u << 1;
  static constexpr std::uint32_t kFlagConnectionRequired = 1u << 2;
  static constexpr std::uint32_t kFlagIsWWAN = 1u << 18;

  using Observer = std::function<void(Status)>;

  static Reachability& shared();

  Status status() const;
  std::uint32_t flags() const;

  // Sets the link; observers hear of a change on a later turn of the main queue.
  void setStatus(Status status);

  // Returns a token for removeObserver().
  int addObserver(Observer observer);
  void removeObserver(int token);

 private:
  mutable std::mutex mutex_;
  Status status_ = Status::ReachableViaWiFi;
  std::map<int, std::shared_ptr<Observer>> observers_;
  int nextToken_ = 1;
};

}  // namespace platform
