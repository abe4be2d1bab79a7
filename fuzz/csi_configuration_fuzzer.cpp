// The CSI settings that the server stores in the user defaults, and a beacon built with
// them. The input's "name=value" lines set "url" (the endpoint), "probability", the
// timing's "name" and "seconds", and one custom parameter "key" = "value"; an input that
// is a JSON object sets the two defaults with values of any type. Nothing crashes; the
// endpoint is the built-in one or an http(s) URL; probabilities of 1 or more always
// report and of 0 or less (or none that reads as a number) report by the built-in share
// only; the beacon names its action and carries the timing as "name.milliseconds"
// exactly when the timing is valid.
#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

#include "fuzz/FuzzEnvironment.h"
#include "platform/base/PercentEncoding.h"
#include "platform/base/StringConversions.h"
#include "platform/base/URL.h"
#include "platform/base/UserDefaults.h"
#include "sdk/csi/ZUMCSIConfiguration.h"
#include "sdk/csi/ZUMCSIReporter.h"
#include "sdk/csi/ZUMCSITimeRecorder.h"
#include "sdk/csi/ZUMCSIVariableTiming.h"
#include "sdk/foundation/ZUMURLUtilities.h"
#include "sdk/foundation/ZUMUserDefaults.h"

using json = nlohmann::ordered_json;

namespace {

std::map<std::string, std::string> settingsFromLines(std::string_view text) {
  std::map<std::string, std::string> settings;
  for (auto& [name, value] : fuzzenv::pairsFromLines(text, '=', false)) settings[name] = std::move(value);
  return settings;
}

void storeDefaults(const json& input, const std::map<std::string, std::string>& settings) {
  auto& defaults = platform::UserDefaults::standard();
  static_cast<void>(defaults.setObject(json(), kZUMCSIReportingURLKey));
  static_cast<void>(defaults.setObject(json(), kZUMCSIReportingProbabilityKey));
  if (input.is_object()) {
    if (input.contains("url")) static_cast<void>(defaults.setObject(input["url"], kZUMCSIReportingURLKey));
    if (input.contains("probability"))
      static_cast<void>(defaults.setObject(input["probability"], kZUMCSIReportingProbabilityKey));
    return;
  }
  if (settings.contains("url")) static_cast<void>(defaults.setObject(json(settings.at("url")), kZUMCSIReportingURLKey));
  if (settings.contains("probability")) {
    static_cast<void>(defaults.setObject(json(settings.at("probability")), kZUMCSIReportingProbabilityKey));
  }
}

void checkConfiguration(ZUMCSIConfiguration& configuration) {
  const auto server = configuration.server();
  const auto url = platform::URL::fromString(server);
  fuzzenv::check(server == kZUMCSIDefaultServer || ZUMURLHasScheme(url, "https") || ZUMURLHasScheme(url, "http"));
  const auto probability = ZUMUserDefaults::doubleForKey(kZUMCSIReportingProbabilityKey);
  if (probability && *probability >= 1) fuzzenv::check(configuration.reportingEnabled());
  if (probability && *probability <= 0) fuzzenv::check(!configuration.reportingEnabled());
}

void checkBeacon(const std::shared_ptr<ZUMCSIConfiguration>& configuration,
                 const std::map<std::string, std::string>& settings) {
  auto value = [&](const char* name) { return settings.contains(name) ? settings.at(name) : std::string(); };
  auto recorder = ZUMCSITimeRecorder::create("load_ad_ios");
  const std::string name = value("name").empty() ? "t" : value("name");
  auto timing = ZUMCSIVariableTiming::create(name, 1.0);
  timing->setLength(platform::stringDoubleValue(value("seconds")));
  recorder->addCompletedVariable(timing, "timing");
  recorder->setCustomizedParameterValue(value("value"), value("key"));
  fuzzenv::drainMainLoop();
  const auto url = ZUMCSIReporter::create(configuration)->URLForTimeRecorder(*recorder);
  fuzzenv::check(url.has_value());
  fuzzenv::check(recorder->completedVariables().empty());
  // The values are read back only where nothing else could name their keys: an endpoint
  // of its own query, or a custom key that is one of them (or decodes to one).
  const auto key = value("key");
  if (configuration->server().find('?') != std::string::npos || key.find('%') != std::string::npos) return;
  if (key != "action") fuzzenv::check(ZUMQueryValueForKey(url, "action") == "load_ad_ios");
  // Read back only when the name is text: other bytes are sent encoded but read as none.
  if (key == "it" || !platform::PercentEncoding::isValidUTF8(name)) return;
  const auto items = ZUMQueryValueForKey(url, "it");
  const std::string expected =
      timing->isValid() ? name + "." + std::to_string(ZUMCSIMillisecondsFromSeconds(timing->length())) : "";
  // An empty value is written without "=", which reads as no value.
  fuzzenv::check(items.value_or("") == expected);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzzenv::setUpOnce("csi-configuration-fuzzer");
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const json input = json::parse(text, nullptr, false);
  const auto settings = input.is_discarded() ? settingsFromLines(text) : std::map<std::string, std::string>{};
  storeDefaults(input, settings);
  auto configuration = ZUMCSIConfiguration::defaultConfiguration();
  checkConfiguration(*configuration);
  checkBeacon(configuration, settings);
  return 0;
}
