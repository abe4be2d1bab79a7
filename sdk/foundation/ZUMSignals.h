// The opaque signal provider: a small, self-contained source of the request and click
// signals that travel in ad requests and click URLs. Callers treat every text it
// produces as opaque; only its contact points are fixed:
//   - initialised once with the SDK version string;
//   - the request signal, written into an empty string as "name=value", answering
//     whether it filled it (an off switch leaves it empty);
//   - touches, reported as three signed 32-bit integers (x, y, duration in ms);
//   - the click signal of an ad identifier (the "ai" value of a click URL);
//   - a touch-recording gesture recognizer that every ad view carries.
// Its texts are derived only from what it was told and from a counter, so they are
// deterministic for a given sequence of calls. Thread-safe.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include <nlohmann/json_fwd.hpp>

#include "platform/base/Clock.h"
#include "platform/ui/GestureRecognizer.h"

// Initialises the provider with the SDK version string; later calls do nothing.
void ZUMSignalsInitialize(std::string_view sdkVersion);
// Fills `signal` (expected empty) with "name=value" and answers YES, unless `enabled`
// is NO or the provider is not initialised.
[[nodiscard]] bool ZUMSignalsRequestSignal(std::string& signal, bool enabled);
// Records one touch for later signals.
void ZUMSignalsReportTouch(std::int32_t x, std::int32_t y, std::int32_t durationMilliseconds);
// Writes the click signal of `adIdentifier` into `signal` (as "name=value") and answers
// YES; NO for an empty identifier or before initialisation.
[[nodiscard]] bool ZUMSignalsClickSignal(std::string_view adIdentifier, std::string& signal);
// Forgets everything (tests).
void ZUMSignalsResetForTesting();

// The request-signal parameters: one "name": "value" entry from the provider, or
// nullopt (switched off by the user default "/vantor/ads/zums:rdiim_signal", or a signal
// that is not one non-empty name and value). Initialises the provider with the SDK
// version on first use. Ad requests and the hub's foreground ping carry it. Main thread.
[[nodiscard]] std::optional<nlohmann::ordered_json> ZUMRDIIMSignalParameters();

// The provider's touch recorder. It watches the touches of its view, reports each
// finished one (its position in the view and how long it lasted), and never
// recognises anything, so it neither delays nor cancels the view's own touches.
// Main thread only.
class ZUMGestureRecognizer : public platform::GestureRecognizer {
 public:
  static std::shared_ptr<ZUMGestureRecognizer> create();

  void touchesBegan(const platform::TouchList& touches, const platform::Event& event) override;
  void touchesEnded(const platform::TouchList& touches, const platform::Event& event) override;
  void touchesCancelled(const platform::TouchList& touches, const platform::Event& event) override;
  void reset() override;

 protected:
  ZUMGestureRecognizer();

 private:
  platform::TimeInterval began_ = 0;
};
