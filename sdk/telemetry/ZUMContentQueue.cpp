#include "sdk/telemetry/ZUMContentQueue.h"

#include <algorithm>
#include <set>

#include "sdk/telemetry/ZUMContent.h"

std::shared_ptr<ZUMContentQueue> ZUMContentQueue::create(std::uint64_t queueSize,
                                                         std::shared_ptr<platform::DispatchQueue> hashingQueue) {
  return std::shared_ptr<ZUMContentQueue>(new ZUMContentQueue(queueSize, std::move(hashingQueue)));
}

void ZUMContentQueue::enqueueContent(const std::shared_ptr<ZUMContent>& content) {
  if (!content || size_ == 0) return;
  if (contents_.size() >= size_ && !sequenceNumbers_.empty()) remove(sequenceNumbers_.front());
  const std::uint64_t number = content->sequenceNumber();
  contents_[number] = content;
  sequenceNumbers_.push_back(number);
}

void ZUMContentQueue::deduplicate(const std::shared_ptr<ZUMContent>& content) {
  if (!content) return;
  std::set<std::uint64_t> older;
  for (const auto& [number, queued] : contents_) {
    if (queued == content || queued->fingerprint() != content->fingerprint()) continue;
    older.insert(std::min(number, content->sequenceNumber()));
  }
  for (std::uint64_t number : older) remove(number);
}

std::shared_ptr<ZUMContent> ZUMContentQueue::contentWithHighestScore() const {
  std::shared_ptr<ZUMContent> best;
  std::int64_t bestScore = 0;
  for (const auto& [number, content] : contents_) {
    if (content->score() > bestScore) {
      best = content;
      bestScore = content->score();
    }
  }
  return best;
}

std::shared_ptr<ZUMContent> ZUMContentQueue::contentWithSequenceNumber(std::uint64_t sequenceNumber) const {
  auto found = contents_.find(sequenceNumber);
  return found == contents_.end() ? nullptr : found->second;
}

void ZUMContentQueue::remove(std::uint64_t sequenceNumber) {
  contents_.erase(sequenceNumber);
  std::erase(sequenceNumbers_, sequenceNumber);
}
