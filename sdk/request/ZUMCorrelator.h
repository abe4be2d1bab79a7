// A shared random correlation id. Several ad objects may share one correlator; each
// slot sends its id with every request, so the requests made with one correlator carry
// the same id until it is reset. The id lies between 2 and 4294967294.
//
// Any thread: the id lives on the correlator's serial queue
// ("com.vantor.morvane.correlator"). Reads wait on the queue; a reset returns at once and
// takes effect in queue order, so a read after a reset on the same thread sees the new id.
#pragma once

#include <cstdint>
#include <memory>

namespace platform {
class DispatchQueue;
}

class ZUMCorrelator : public std::enable_shared_from_this<ZUMCorrelator> {
 public:
  // A correlator with a fresh random id.
  static std::shared_ptr<ZUMCorrelator> create();

  std::uint32_t correlationID() const;
  // Draws a new id, different from the current one.
  void reset();

  ~ZUMCorrelator();
  ZUMCorrelator(const ZUMCorrelator&) = delete;
  ZUMCorrelator& operator=(const ZUMCorrelator&) = delete;

 private:
  ZUMCorrelator();

  std::shared_ptr<platform::DispatchQueue> queue_;
  std::uint32_t correlationID_;  // touched only on queue_
};
