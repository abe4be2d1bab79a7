// The bytes of one media resource as the demuxer reads them: a sparse copy filled by a
// subclass (a file, the network, an asset resource loader's delegate), read at any
// offset by the decoding thread, which blocks until the bytes it needs are there, the
// resource has ended, failed, or the source was cancelled. The subclass is asked to
// fetch the bytes at an offset when a reader needs them and no fetch under way will
// bring them.
//
// Every member may be called from any thread; fetch() is called without the lock held.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/base/Error.h"

namespace platform {

class ByteSource {
 public:
  // A resource larger than this fails instead of being copied into memory (the copy is
  // one buffer up to the highest byte read).
  static constexpr std::int64_t kMaxLength = std::int64_t(512) << 20;

  virtual ~ByteSource() = default;
  ByteSource(const ByteSource&) = delete;
  ByteSource& operator=(const ByteSource&) = delete;

  // Copies up to `size` bytes at `offset` into `out`, waiting for them: the count copied,
  // 0 at the end of the resource, -1 once failed or cancelled.
  std::int64_t read(std::int64_t offset, std::uint8_t* out, std::int64_t size);

  // The resource's length once known.
  std::optional<std::int64_t> length() const;
  // Byte ranges held now, [start, end), in order.
  std::vector<std::pair<std::int64_t, std::int64_t>> availableRanges() const;
  // The bytes from 0 held without a gap.
  std::int64_t contiguousLength() const;
  // A reader waits for bytes that are not here.
  bool isWaitingForData() const;
  ErrorPtr error() const;

  // Ends every wait; reads fail from now on.
  void cancel();
  bool isCancelled() const;

  // Called (on the thread that delivered them, without the lock) whenever bytes, the
  // length or a failure arrive. Set once, before reading starts.
  void setChangeHandler(std::function<void()> handler);

  // Wakes readers that wait in read() (after a change the subclass made without delivering).
  void wakeReaders();

 protected:
  ByteSource() = default;

  // For subclasses, from any thread.
  void deliver(std::int64_t offset, std::string_view data);
  void setLength(std::int64_t length);
  void fail(ErrorPtr error);

  // Starts bringing the bytes from `offset`. Called on the reading thread, without the lock.
  // Afterwards the bytes are held, the source failed, or fetchWillReach(offset) holds
  // until the fetch ends, which the subclass then tells with wakeReaders() (or a delivery).
  virtual void fetch(std::int64_t offset) = 0;
  // Whether a fetch under way will bring the byte at `offset` without a new one. Called
  // with the lock held: it must not call back into this class.
  virtual bool fetchWillReach(std::int64_t offset) const = 0;

 private:
  bool holds(std::int64_t offset) const;  // with the lock
  void notifyChange();

  mutable std::mutex mutex_;
  std::condition_variable changed_;
  std::string bytes_;
  std::map<std::int64_t, std::int64_t> ranges_;  // start -> end
  std::optional<std::int64_t> length_;
  ErrorPtr error_;
  bool cancelled_ = false;
  bool waiting_ = false;
  std::function<void()> changeHandler_;
};

}  // namespace platform
