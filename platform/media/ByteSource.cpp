#include "platform/media/ByteSource.h"

#include <algorithm>
#include <cstring>

namespace platform {

std::int64_t ByteSource::read(std::int64_t offset, std::uint8_t* out, std::int64_t size) {
  if (offset < 0 || size <= 0) return offset < 0 ? -1 : 0;
  std::unique_lock lock(mutex_);
  for (;;) {
    if (cancelled_ || error_) return -1;
    if (length_ && offset >= *length_) return 0;
    if (holds(offset)) break;
    if (!fetchWillReach(offset)) {
      lock.unlock();
      fetch(offset);
      lock.lock();
      // Look again: the fetch may have answered at once, failed, or even ended already.
      continue;
    }
    // Only now does the reader wait for bytes from outside (a fetch that reads a file
    // at once is no wait). A fetch that ends wakes the readers under the lock, so the
    // wait cannot miss it.
    waiting_ = true;
    changed_.wait(lock);
    waiting_ = false;
  }
  auto it = std::prev(ranges_.upper_bound(offset));
  std::int64_t count = std::min(size, it->second - offset);
  if (length_) count = std::min(count, *length_ - offset);
  std::memcpy(out, bytes_.data() + offset, static_cast<std::size_t>(count));
  return count;
}

bool ByteSource::holds(std::int64_t offset) const {
  auto it = ranges_.upper_bound(offset);
  return it != ranges_.begin() && std::prev(it)->second > offset;
}

std::optional<std::int64_t> ByteSource::length() const {
  std::lock_guard lock(mutex_);
  return length_;
}

std::vector<std::pair<std::int64_t, std::int64_t>> ByteSource::availableRanges() const {
  std::lock_guard lock(mutex_);
  return {ranges_.begin(), ranges_.end()};
}

std::int64_t ByteSource::contiguousLength() const {
  std::lock_guard lock(mutex_);
  auto it = ranges_.find(0);
  return it == ranges_.end() ? 0 : it->second;
}

bool ByteSource::isWaitingForData() const {
  std::lock_guard lock(mutex_);
  return waiting_;
}

ErrorPtr ByteSource::error() const {
  std::lock_guard lock(mutex_);
  return error_;
}

void ByteSource::cancel() {
  {
    std::lock_guard lock(mutex_);
    cancelled_ = true;
  }
  changed_.notify_all();
}

bool ByteSource::isCancelled() const {
  std::lock_guard lock(mutex_);
  return cancelled_;
}

void ByteSource::setChangeHandler(std::function<void()> handler) {
  std::lock_guard lock(mutex_);
  changeHandler_ = std::move(handler);
}

void ByteSource::wakeReaders() {
  // Taking the lock orders this after a reader's last look at the state: it is either
  // before that look or already waiting, so the notice cannot be lost.
  { std::lock_guard lock(mutex_); }
  changed_.notify_all();
}

void ByteSource::deliver(std::int64_t offset, std::string_view data) {
  if (data.empty() || offset < 0) return;
  const std::int64_t end = offset + static_cast<std::int64_t>(data.size());
  {
    std::lock_guard lock(mutex_);
    if (cancelled_ || error_) return;
    // Only bytes inside the resource (or the limit, while its length is not known) are kept.
    const std::int64_t stop = std::min(end, length_.value_or(kMaxLength));
    if (stop <= offset) return;
    const std::int64_t keep = stop - offset;
    if (static_cast<std::int64_t>(bytes_.size()) < stop) bytes_.resize(static_cast<std::size_t>(stop));
    std::memcpy(bytes_.data() + offset, data.data(), static_cast<std::size_t>(keep));
    // Merge [offset, stop) into the ranges.
    std::int64_t start = offset, finish = stop;
    auto it = ranges_.upper_bound(start);
    if (it != ranges_.begin() && std::prev(it)->second >= start) --it;
    while (it != ranges_.end() && it->first <= finish) {
      start = std::min(start, it->first);
      finish = std::max(finish, it->second);
      it = ranges_.erase(it);
    }
    ranges_.emplace(start, finish);
  }
  notifyChange();
}

void ByteSource::setLength(std::int64_t length) {
  {
    std::lock_guard lock(mutex_);
    if (length_ || length < 0) return;
    if (length > kMaxLength) {
      error_ = Error::create(kURLErrorDomain, kURLErrorDataLengthExceedsMaximum);
    } else {
      length_ = length;
    }
  }
  notifyChange();
}

void ByteSource::fail(ErrorPtr error) {
  {
    std::lock_guard lock(mutex_);
    if (error_ || cancelled_) return;
    error_ = error ? std::move(error) : makeURLError(kURLErrorUnknown);
  }
  notifyChange();
}

void ByteSource::notifyChange() {
  changed_.notify_all();
  std::function<void()> handler;
  {
    std::lock_guard lock(mutex_);
    handler = changeHandler_;
  }
  if (handler) handler();
}

}  // namespace platform
