#include "sdk/foundation/ZUMDevice.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <tuple>
#include <utility>

#include <nlohmann/json.hpp>

#include "platform/base/Digest.h"
#include "platform/base/DispatchQueue.h"
#include "platform/base/NotificationCenter.h"
#include "platform/base/RunLoop.h"
#include "platform/base/TestingReset.h"
#include "platform/base/URL.h"
#include "platform/ui/AdvertisingIdentifierManager.h"
#include "platform/ui/Application.h"
#include "platform/ui/AudioSession.h"
#include "platform/ui/Bundle.h"
#include "platform/ui/Device.h"
#include "platform/ui/MessageComposeViewController.h"
#include "platform/ui/Screen.h"
#include "platform/ui/Window.h"
#include "sdk/foundation/ZUMBindWeak.h"
#include "sdk/foundation/ZUMOrientation.h"
#include "sdk/foundation/ZUMThreading.h"

using nlohmann::ordered_json;
using platform::Rect;

struct ZUMDevice::Signals {
  // Fixed for the life of the process.
  std::string model;
  std::string submodel;
  platform::Device::OperatingSystemVersion version;
  bool simulator = false;
  std::optional<std::string> bundleIdentifier;
  std::optional<std::string> applicationVersion;

  // User interface, refreshed on the main thread.
  platform::InterfaceOrientation orientation = platform::kInterfaceOrientationPortrait;
  Rect screenBounds{0, 0, 375, 667};
  double scale = 2.0;
  double statusBarHeight = 0;
  std::optional<platform::Size> keyWindowSize;
  bool canText = false;
  bool canCall = false;

  // Audio.
  float volume = 0;
  std::optional<std::vector<std::string>> portNames;
  bool otherAudioPlaying = false;
  std::optional<bool> silenceHint;
};

namespace {

std::string lowercased(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
  return text;
}

// Whether the application lists `scheme` as one it may ask about.
bool mayQueryScheme(const std::string& scheme) {
  const std::string wanted = lowercased(scheme);
  for (const auto& listed : platform::Bundle::main().stringArrayForInfoDictionaryKey("LSApplicationQueriesSchemes")) {
    if (lowercased(listed) == wanted) return true;
  }
  return false;
}

Rect portraitOf(const Rect& bounds) {
  const Rect r = bounds.standardized();
  return {0, 0, std::min(r.size.width, r.size.height), std::max(r.size.width, r.size.height)};
}

Rect landscapeOf(const Rect& bounds) {
  const Rect r = bounds.standardized();
  return {0, 0, std::max(r.size.width, r.size.height), std::min(r.size.width, r.size.height)};
}

}  // namespace

std::shared_ptr<ZUMDevice> ZUMDevice::sharedInstance() {
  static auto* shared = new platform::ResettableShared<ZUMDevice>([] {
    auto device = std::make_shared<ZUMDevice>();
    device->start();
    return device;
  });
  return shared->get();
}

ZUMDevice::ZUMDevice()
    : queue_(platform::DispatchQueue::serial("com.vantor.morvane.device")), signals_(std::make_unique<Signals>()) {
  const auto& device = platform::Device::current();
  signals_->model = device.model();
  signals_->submodel = device.hardwareModel();
  signals_->version = device.operatingSystemVersion();
  signals_->simulator = device.isSimulator();
  auto& bundle = platform::Bundle::main();
  const std::string bundleIdentifier = bundle.bundleIdentifier();
  if (!bundleIdentifier.empty()) signals_->bundleIdentifier = bundleIdentifier;
  signals_->applicationVersion = bundle.stringForInfoDictionaryKey("CFBundleShortVersionString");
}

ZUMDevice::~ZUMDevice() {
  if (rotationObserver_) platform::NotificationCenter::defaultCenter().removeObserver(rotationObserver_);
}

void ZUMDevice::start() {
  std::weak_ptr<ZUMDevice> weak = weak_from_this();
  rotationObserver_ = platform::NotificationCenter::defaultCenter().addObserver(
      platform::kApplicationDidChangeStatusBarOrientationNotification, nullptr, nullptr,
      ZUMBindWeak(weak, &ZUMDevice::updateDynamicParameters));
  updateDynamicParameters();
}

void ZUMDevice::refreshInterfaceSignals() {
  auto& application = platform::Application::shared();
  auto& screen = platform::Screen::main();
  const platform::InterfaceOrientation orientation = application.statusBarOrientation();
  const Rect screenBounds = screen.bounds();
  const double scale = screen.scale();
  const Rect statusBar = application.statusBarFrame().standardized();
  const double statusBarHeight = statusBar.isEmpty() ? 0 : std::min(statusBar.size.width, statusBar.size.height);
  std::optional<platform::Size> keyWindowSize;
  if (auto window = application.keyWindow()) keyWindowSize = window->bounds().standardized().size;
  const bool canText = platform::MessageComposeViewController::canSendText();
  bool canCall = false;
  if (mayQueryScheme("tel")) {
    if (auto tel = platform::URL::fromString("tel://")) canCall = application.canOpenURL(*tel);
  }
  queue_->async(
      [self = shared_from_this(), orientation, screenBounds, scale, statusBarHeight, keyWindowSize, canText, canCall] {
        Signals& s = *self->signals_;
        s.orientation = orientation;
        s.screenBounds = screenBounds;
        s.scale = scale;
        s.statusBarHeight = statusBarHeight;
        s.keyWindowSize = keyWindowSize;
        s.canText = canText;
        s.canCall = canCall;
      });
}

void ZUMDevice::updateDynamicParameters() {
  auto& audio = platform::AudioSession::shared();
  const float volume = audio.outputVolume();
  auto portNames = audio.currentRouteOutputPortNames();
  const bool otherAudioPlaying = audio.isOtherAudioPlaying();
  const auto silenceHint = audio.secondaryAudioShouldBeSilencedHint();
  queue_->async([self = shared_from_this(), volume, portNames = std::move(portNames), otherAudioPlaying, silenceHint] {
    Signals& s = *self->signals_;
    s.volume = volume;
    s.portNames = portNames;
    s.otherAudioPlaying = otherAudioPlaying;
    s.silenceHint = silenceHint;
  });
  std::weak_ptr<ZUMDevice> weak = weak_from_this();
  ZUMRunOnMainThread(ZUMBindWeak(weak, &ZUMDevice::refreshInterfaceSignals));
}

ZUMDevice::Signals ZUMDevice::signals() const {
  return queue_->syncResult([&] { return *signals_; });
}

ordered_json ZUMDevice::parameters() {
  updateDynamicParameters();
  const Signals s = signals();
  ordered_json parameters = ordered_json::object();
  parameters["device_model"] = s.model;
  parameters["device_submodel"] = s.submodel;
  parameters["os_version"] = systemVersion();
  parameters["lat"] = limitAdTrackingString();
  const Rect portrait = portraitOf(s.screenBounds);
  parameters["screen_width"] = portrait.size.width;
  parameters["screen_height"] = portrait.size.height;
  parameters["screen_density"] = s.scale;
  if (auto orientation = ZUMOrientationStringFromInterfaceOrientation(s.orientation)) {
    parameters["orientation"] = *orientation;
  }
  if (s.keyWindowSize) {
    parameters["window_width"] = s.keyWindowSize->width;
    parameters["window_height"] = s.keyWindowSize->height;
  }
  parameters["device_volume"] = static_cast<double>(s.volume);
  parameters["can_text"] = s.canText ? "1" : "0";
  parameters["can_call"] = s.canCall ? "1" : "0";
  if (s.bundleIdentifier) parameters["app_bundle_id"] = *s.bundleIdentifier;
  if (s.applicationVersion) parameters["app_version"] = *s.applicationVersion;
  return parameters;
}

bool ZUMDevice::OSIsSupported() const { return isOSAtLeastMajor(6, 0, 0); }

bool ZUMDevice::isOSAtLeastMajor(std::int64_t major, std::int64_t minor, std::int64_t patch) const {
  const auto& v = signals_->version;  // fixed since construction
  return std::tie(v.majorVersion, v.minorVersion, v.patchVersion) >= std::tie(major, minor, patch);
}

std::string ZUMDevice::systemVersion() const {
  const auto& v = signals_->version;
  char text[96];
  std::snprintf(text, sizeof text, "%lld.%lld.%lld", static_cast<long long>(v.majorVersion),
                static_cast<long long>(v.minorVersion), static_cast<long long>(v.patchVersion));
  return text;
}

bool ZUMDevice::isSimulator() const { return signals_->simulator; }

std::string ZUMDevice::deviceIdentifier() const {
  auto raw = rawDeviceIdentifier();
  return raw ? platform::md5Hex(*raw) : std::string();
}

std::optional<std::string> ZUMDevice::rawDeviceIdentifier() const {
  const auto& manager = platform::AdvertisingIdentifierManager::shared();
  if (!manager.isAdvertisingTrackingEnabled()) return std::nullopt;
  std::string identifier = manager.advertisingIdentifier();
  if (identifier.empty()) return std::nullopt;
  return identifier;
}

std::string ZUMDevice::limitAdTrackingString() const {
  return platform::AdvertisingIdentifierManager::shared().isAdvertisingTrackingEnabled() ? "0" : "1";
}

std::string ZUMDevice::deviceModel() const { return signals_->model; }

std::string ZUMDevice::deviceSubmodel() const { return signals_->submodel; }

platform::InterfaceOrientation ZUMDevice::interfaceOrientation() const { return signals().orientation; }

bool ZUMDevice::orientationLandscape() const {
  return platform::isInterfaceOrientationLandscape(interfaceOrientation());
}

double ZUMDevice::mainScreenDensity() const { return signals().scale; }

Rect ZUMDevice::standardizedPortraitScreenBounds() const { return portraitOf(signals().screenBounds); }

Rect ZUMDevice::standardizedLandscapeScreenBounds() const { return landscapeOf(signals().screenBounds); }

Rect ZUMDevice::standardizedOrientedScreenBounds() const {
  const Signals s = signals();
  return platform::isInterfaceOrientationLandscape(s.orientation) ? landscapeOf(s.screenBounds)
                                                                  : portraitOf(s.screenBounds);
}

Rect ZUMDevice::standardizedOrientedApplicationFrame() const {
  const Signals s = signals();
  Rect frame = platform::isInterfaceOrientationLandscape(s.orientation) ? landscapeOf(s.screenBounds)
                                                                        : portraitOf(s.screenBounds);
  const double bar = std::min(s.statusBarHeight, frame.size.height);
  frame.origin.y = bar;
  frame.size.height -= bar;
  return frame;
}

bool ZUMDevice::canText() const { return signals().canText; }

bool ZUMDevice::canMakePhoneCalls() const { return signals().canCall; }

ordered_json ZUMDevice::canOpenURLs(const std::vector<std::string>& urlStrings) const {
  ordered_json answers = ordered_json::object();
  const bool checkListed = isOSAtLeastMajor(9, 0, 0);
  for (const auto& string : urlStrings) {
    bool canOpen = false;
    auto url = platform::URL::fromString(string);
    if (url && url->scheme() && (!checkListed || mayQueryScheme(*url->scheme()))) {
      canOpen = platform::Application::shared().canOpenURL(*url);
    }
    answers[string] = canOpen;
  }
  return answers;
}

float ZUMDevice::audioVolume() const { return signals().volume; }

std::optional<std::vector<std::string>> ZUMDevice::audioRoutePortNames() const { return signals().portNames; }

bool ZUMDevice::isOtherAudioPlaying() const { return signals().otherAudioPlaying; }

std::optional<bool> ZUMDevice::shouldSilenceAudioValue() const { return signals().silenceHint; }
