// The bytes of an http(s) resource, brought by the platform's URL loading with byte
// ranges: a read beyond what the current transfer will soon bring starts a new transfer
// from that offset ("Range: bytes=N-"). A server that ignores ranges (200 with the whole
// body) is read from the start to the end, once. Answers other than 200 and a 206 whose
// Content-Range does not hold the asked offset fail the source.
//
// Connections live on the main thread; fetch() hops there. Any thread otherwise.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>

#include "platform/base/URL.h"
#include "platform/media/ByteSource.h"

namespace platform {

class URLConnection;

class HTTPByteSource final : public ByteSource, public std::enable_shared_from_this<HTTPByteSource> {
 public:
  static std::shared_ptr<HTTPByteSource> create(URL url);
  ~HTTPByteSource() override;

  // A transfer already under way brings an offset at most this far ahead of its position
  // without a new request.
  static constexpr std::int64_t kReachAhead = 256 << 10;

  // Transfers asked for, for tests of the range logic.
  int transferCount() const;

 private:
  class Transfer;
  explicit HTTPByteSource(URL url) : url_(std::move(url)) {}
  void fetch(std::int64_t offset) override;
  bool fetchWillReach(std::int64_t offset) const override;
  void startTransfer(std::int64_t offset, int generation);  // main thread
  void transferEnded(const Transfer& transfer);

  const URL url_;
  mutable std::mutex stateMutex_;
  // Where the current transfer will deliver next; nullopt without one.
  std::optional<std::int64_t> cursor_;
  bool rangesIgnored_ = false;
  int transfers_ = 0;
  std::atomic<int> emptyTransfers_{0};
  std::shared_ptr<URLConnection> connection_;  // main thread
  friend class Transfer;
};

}  // namespace platform
