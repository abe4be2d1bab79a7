#include "sdk/request/ZUMCorrelator.h"

#include "platform/base/DispatchQueue.h"
#include "platform/base/Random.h"
#include "sdk/foundation/ZUMThreading.h"

namespace {

// Uniform over 2 ... 4294967294: never 0, 1 or the all-ones value.
std::uint32_t drawCorrelationID() { return platform::Random::uniform(4294967293u) + 2u; }

}  // namespace

std::shared_ptr<ZUMCorrelator> ZUMCorrelator::create() { return std::shared_ptr<ZUMCorrelator>(new ZUMCorrelator()); }

ZUMCorrelator::ZUMCorrelator()
    : queue_(ZUMDispatchQueueCreate("com.vantor.morvane.correlator")), correlationID_(drawCorrelationID()) {}

ZUMCorrelator::~ZUMCorrelator() = default;

std::uint32_t ZUMCorrelator::correlationID() const {
  std::uint32_t result = 0;
  queue_->sync([&] { result = correlationID_; });
  return result;
}

void ZUMCorrelator::reset() {
  queue_->async([weak = weak_from_this()] {
    auto self = weak.lock();
    if (!self) return;
    std::uint32_t next = drawCorrelationID();
    while (next == self->correlationID_) next = drawCorrelationID();
    self->correlationID_ = next;
  });
}
