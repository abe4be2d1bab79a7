// The last few contents of the host's screen, keyed by walk number: at most `size`,
// the oldest pushed out first; of two contents with the same fingerprint only the newer
// stays. Requests take the best-scoring one.
//
// Not thread-safe: used only on the content-hashing queue it was made with (see
// hashingQueue()), which outlives a stop of content hashing as long as the queue does.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <utility>
#include <vector>

namespace platform {
class DispatchQueue;
}

class ZUMContent;

class ZUMContentQueue {
 public:
  static std::shared_ptr<ZUMContentQueue> create(std::uint64_t queueSize,
                                                 std::shared_ptr<platform::DispatchQueue> hashingQueue = nullptr);

  // Ignored for nullptr or a size of 0; pushes out the oldest content when full.
  void enqueueContent(const std::shared_ptr<ZUMContent>& content);
  // Of every pair of queued contents, `content` included, whose fingerprint equals
  // `content`'s, removes the older one.
  void deduplicate(const std::shared_ptr<ZUMContent>& content);
  // The content of the greatest score above 0 (the oldest of equal scores); nullptr when
  // none scores above 0.
  std::shared_ptr<ZUMContent> contentWithHighestScore() const;
  std::shared_ptr<ZUMContent> contentWithSequenceNumber(std::uint64_t sequenceNumber) const;

  std::uint64_t size() const { return size_; }
  // The queue every use of this one runs on; nullptr: the caller's own.
  const std::shared_ptr<platform::DispatchQueue>& hashingQueue() const { return hashingQueue_; }
  std::size_t count() const { return contents_.size(); }

 private:
  ZUMContentQueue(std::uint64_t size, std::shared_ptr<platform::DispatchQueue> hashingQueue)
      : size_(size), hashingQueue_(std::move(hashingQueue)) {}
  void remove(std::uint64_t sequenceNumber);

  std::map<std::uint64_t, std::shared_ptr<ZUMContent>> contents_;
  std::vector<std::uint64_t> sequenceNumbers_;  // oldest first
  const std::uint64_t size_;
  const std::shared_ptr<platform::DispatchQueue> hashingQueue_;
};
