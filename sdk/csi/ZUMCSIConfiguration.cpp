#include "sdk/csi/ZUMCSIConfiguration.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <utility>

#include "platform/base/Locale.h"
#include "platform/base/Random.h"
#include "platform/base/URL.h"
#include "platform/ui/Bundle.h"
#include "platform/ui/Device.h"
#include "sdk/foundation/ZUMDevice.h"
#include "sdk/foundation/ZUMURLUtilities.h"
#include "sdk/foundation/ZUMUserDefaults.h"

namespace {

// Draws are whole numbers below this.
constexpr std::uint32_t kSamplingDraws = 1000;

std::string replacingAll(std::string text, char from, char to) {
  std::replace(text.begin(), text.end(), from, to);
  return text;
}

// The endpoint of the user defaults, when it is an http(s) URL with a host.
std::optional<std::string> configuredServer() {
  auto string = ZUMUserDefaults::stringForKey(kZUMCSIReportingURLKey);
  if (!string) return std::nullopt;
  auto url = platform::URL::fromString(*string);
  if (!ZUMURLHasScheme(url, "https") && !ZUMURLHasScheme(url, "http")) return std::nullopt;
  if (url->host().value_or("").empty()) return std::nullopt;
  return string;
}

}  // namespace

ZUMCSIConfiguration::ZUMCSIConfiguration(std::string serviceName) : serviceName_(std::move(serviceName)) {}

std::shared_ptr<ZUMCSIConfiguration> ZUMCSIConfiguration::create(std::string serviceName) {
  return std::shared_ptr<ZUMCSIConfiguration>(new ZUMCSIConfiguration(std::move(serviceName)));
}

std::shared_ptr<ZUMCSIConfiguration> ZUMCSIConfiguration::defaultConfiguration() {
  auto configuration = create(kZUMCSIDefaultServiceName);
  if (auto server = configuredServer()) configuration->setServer(*server);
  configuration->setReportingProbability(
      ZUMUserDefaults::doubleForKey(kZUMCSIReportingProbabilityKey).value_or(kZUMCSIDefaultReportingProbability));
  return configuration;
}

void ZUMCSIConfiguration::setReportingProbability(double probability) {
  // Clamped before the conversion to a whole number, which is undefined out of range; in
  // double precision, so that a probability in thousandths keeps exactly that many draws
  // (0.251 keeps 251: in single precision it would keep 250).
  const double clamped = std::isnan(probability) ? 0.0 : std::clamp(probability, 0.0, 1.0);
  const auto kept = static_cast<std::uint32_t>(clamped * kSamplingDraws);
  setReportingEnabled(platform::Random::uniform(kSamplingDraws) < kept);
}

bool ZUMCSIConfiguration::reportingEnabled() const {
  std::lock_guard lock(mutex_);
  return reportingEnabled_;
}

void ZUMCSIConfiguration::setReportingEnabled(bool enabled) {
  std::lock_guard lock(mutex_);
  reportingEnabled_ = enabled;
}

std::string ZUMCSIConfiguration::server() const {
  std::lock_guard lock(mutex_);
  return server_;
}

void ZUMCSIConfiguration::setServer(std::string server) {
  std::lock_guard lock(mutex_);
  server_ = std::move(server);
}

std::string ZUMCSIConfiguration::serviceName() const {
  std::lock_guard lock(mutex_);
  return serviceName_;
}

void ZUMCSIConfiguration::setServiceName(std::string serviceName) {
  std::lock_guard lock(mutex_);
  serviceName_ = std::move(serviceName);
}

std::int64_t ZUMCSIConfiguration::version() const {
  std::lock_guard lock(mutex_);
  return version_;
}

void ZUMCSIConfiguration::setVersion(std::int64_t version) {
  std::lock_guard lock(mutex_);
  version_ = version;
}

std::string ZUMCSIConfiguration::userAgent() {
  {
    std::lock_guard lock(mutex_);
    if (cachedUserAgentString_) return *cachedUserAgentString_;
  }
  // Built outside the lock: it reads other objects of the process.
  const auto& device = platform::Device::current();
  const auto& bundle = platform::Bundle::main();
  std::string built = "VantorCsi/1.0 (" + deviceVersionString() + "; U; CPU " + device.systemName() + " " +
                      replacingAll(device.systemVersion(), '.', '_') + "; " +
                      replacingAll(platform::Locale::currentLocaleIdentifier(), '_', '-') + ") " +
                      bundle.stringForInfoDictionaryKey("CFBundleName").value_or("") + "/" +
                      bundle.stringForInfoDictionaryKey("CFBundleVersion").value_or("");
  std::lock_guard lock(mutex_);
  if (!cachedUserAgentString_) cachedUserAgentString_ = std::move(built);
  return *cachedUserAgentString_;
}

std::string ZUMCSIConfiguration::deviceVersionString() {
  if (ZUMDevice::sharedInstance()->isSimulator()) return "Simulator";
  std::string machine = platform::Device::current().hardwareModel();
  if (machine.empty()) return "Unknown";
  auto digit = std::find_if(machine.begin(), machine.end(), [](char c) { return c >= '0' && c <= '9'; });
  if (digit != machine.end()) machine.insert(digit, '/');
  return replacingAll(std::move(machine), ',', '.');
}
