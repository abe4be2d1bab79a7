#include "sdk/foundation/ZUMSignals.h"

#include <cmath>
#include <cstdio>
#include <limits>
#include <mutex>
#include <optional>

#include <nlohmann/json.hpp>

#include "platform/base/Clock.h"
#include "platform/base/StringConversions.h"
#include "platform/base/TestingReset.h"
#include "platform/ui/Event.h"
#include "platform/ui/Touch.h"
#include "sdk/foundation/ZUMApplication.h"
#include "sdk/foundation/ZUMUserDefaults.h"

namespace {

struct SignalState {
  std::mutex mutex;
  std::optional<std::string> version;
  std::uint64_t touches = 0;
  std::uint64_t digest = 0xcbf29ce484222325ull;  // running digest of every touch
  std::uint64_t requests = 0;
};

SignalState& state() {
  static auto* instance = [] {
    auto* made = new SignalState();
    platform::registerTestingReset(made, &ZUMSignalsResetForTesting);
    return made;
  }();
  return *instance;
}

// 64-bit FNV-1a: cheap, stable across runs, enough to make the texts opaque.
std::uint64_t mix(std::uint64_t hash, std::string_view bytes) {
  for (unsigned char c : bytes) {
    hash ^= c;
    hash *= 0x100000001b3ull;
  }
  return hash;
}

std::uint64_t mix(std::uint64_t hash, std::uint64_t value) {
  char bytes[8];
  for (int i = 0; i < 8; ++i) bytes[i] = static_cast<char>((value >> (8 * i)) & 0xff);
  return mix(hash, std::string_view(bytes, 8));
}

std::string hex(std::uint64_t value) {
  char text[17];
  std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(value));
  return text;
}

std::int32_t clampToInt32(double value) {
  if (!std::isfinite(value)) return 0;
  constexpr double kMin = std::numeric_limits<std::int32_t>::min();
  constexpr double kMax = std::numeric_limits<std::int32_t>::max();
  return static_cast<std::int32_t>(std::min(kMax, std::max(kMin, value)));
}

}  // namespace

void ZUMSignalsInitialize(std::string_view sdkVersion) {
  auto& s = state();
  std::lock_guard lock(s.mutex);
  if (!s.version) s.version = std::string(sdkVersion);
}

bool ZUMSignalsRequestSignal(std::string& signal, bool enabled) {
  auto& s = state();
  std::lock_guard lock(s.mutex);
  if (!enabled || !s.version) return false;
  std::uint64_t hash = mix(mix(mix(s.digest, *s.version), s.touches), ++s.requests);
  signal = "ms=" + hex(hash) + hex(s.touches);
  return true;
}

void ZUMSignalsReportTouch(std::int32_t x, std::int32_t y, std::int32_t durationMilliseconds) {
  auto& s = state();
  std::lock_guard lock(s.mutex);
  s.digest = mix(mix(mix(s.digest, static_cast<std::uint32_t>(x)), static_cast<std::uint32_t>(y)),
                 static_cast<std::uint32_t>(durationMilliseconds));
  ++s.touches;
}

bool ZUMSignalsClickSignal(std::string_view adIdentifier, std::string& signal) {
  auto& s = state();
  std::lock_guard lock(s.mutex);
  if (adIdentifier.empty() || !s.version) return false;
  signal = "nis=" + hex(mix(mix(s.digest, *s.version), adIdentifier)) + hex(s.touches);
  return true;
}

void ZUMSignalsResetForTesting() {
  auto& s = state();
  std::lock_guard lock(s.mutex);
  s.version.reset();
  s.touches = 0;
  s.digest = 0xcbf29ce484222325ull;
  s.requests = 0;
}

std::optional<nlohmann::ordered_json> ZUMRDIIMSignalParameters() {
  ZUMSignalsInitialize(kZUMSDKVersion);  // only the first call counts
  bool enabled = true;
  if (auto setting = ZUMUserDefaults::stringForKey("/vantor/ads/zums:rdiim_signal")) {
    enabled = platform::stringBoolValue(*setting);
  }
  std::string signal;
  if (!ZUMSignalsRequestSignal(signal, enabled)) return std::nullopt;
  const std::size_t equals = signal.find('=');
  if (equals == std::string::npos || equals == 0 || equals + 1 == signal.size() ||
      signal.find('=', equals + 1) != std::string::npos) {
    return std::nullopt;
  }
  nlohmann::ordered_json result = nlohmann::ordered_json::object();
  result[signal.substr(0, equals)] = signal.substr(equals + 1);
  return result;
}

std::shared_ptr<ZUMGestureRecognizer> ZUMGestureRecognizer::create() {
  return std::shared_ptr<ZUMGestureRecognizer>(new ZUMGestureRecognizer());
}

ZUMGestureRecognizer::ZUMGestureRecognizer() { setCancelsTouchesInView(false); }

void ZUMGestureRecognizer::touchesBegan(const platform::TouchList&, const platform::Event& event) {
  if (numberOfTouches() <= 1) began_ = event.timestamp();
}

void ZUMGestureRecognizer::touchesEnded(const platform::TouchList& touches, const platform::Event& event) {
  auto view = this->view();
  for (const auto& touch : touches) {
    const platform::Point point = touch->locationInView(view.get());
    ZUMSignalsReportTouch(clampToInt32(point.x), clampToInt32(point.y),
                          clampToInt32((event.timestamp() - began_) * 1000.0));
  }
  setState(State::Failed);
}

void ZUMGestureRecognizer::touchesCancelled(const platform::TouchList&, const platform::Event&) {
  setState(State::Failed);
}

void ZUMGestureRecognizer::reset() { began_ = 0; }
