#include "sdk/formats/PXRCorrelatorPreemption.h"

#include "sdk/request/ZUMCorrelator.h"
#include "sdk/request/ZUMSlot.h"

void PXRCorrelatorPreemption::willLoad(const ZUMSlot& slot) {
  const auto correlator = slot.correlator();
  previousCorrelationID_ = correlator ? correlator->correlationID() : 0;
}

bool PXRCorrelatorPreemption::shouldPreempt(const ZUMSlot& slot) const {
  const auto correlator = slot.correlator();
  return correlator && previousCorrelationID_ != 0 && correlator->correlationID() != previousCorrelationID_;
}
