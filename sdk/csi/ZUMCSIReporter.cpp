#include "sdk/csi/ZUMCSIReporter.h"

#include <atomic>
#include <string>
#include <utility>

#include <nlohmann/json.hpp>

#include "platform/base/OperationQueue.h"
#include "platform/base/TestingReset.h"
#include "platform/net/URLConnection.h"
#include "platform/net/URLRequest.h"
#include "sdk/csi/ZUMCSIConfiguration.h"
#include "sdk/csi/ZUMCSITimeRecorder.h"
#include "sdk/csi/ZUMCSIVariableTiming.h"
#include "sdk/foundation/ZUMURLUtilities.h"

namespace {

using Json = nlohmann::ordered_json;

// A beacon's answer is not read: a body past this fails it rather than fill memory.
constexpr std::size_t kMaximumResponseBytes = 64 * 1024;

std::atomic<std::size_t> gBeaconsInFlight;  // zero
[[maybe_unused]] const bool kBeaconsInFlightResets = platform::resetBetweenTests(gBeaconsInFlight, std::size_t{0});

std::string joined(const std::vector<std::string>& items) {
  std::string text;
  for (const auto& item : items) text += (text.empty() ? "" : ",") + item;
  return text;
}

// "<name>.<milliseconds>" for each valid timing.
std::string timingItems(const ZUMCSITimeRecorder::Timings& timings) {
  std::vector<std::string> items;
  for (const auto& [key, timing] : timings) {
    if (!timing->isValid()) continue;
    items.push_back(timing->name() + "." + std::to_string(ZUMCSIMillisecondsFromSeconds(timing->length())));
  }
  return joined(items);
}

}  // namespace

ZUMCSIReporter::ZUMCSIReporter(std::shared_ptr<ZUMCSIConfiguration> configuration)
    : configuration_(std::move(configuration)) {}

std::shared_ptr<ZUMCSIReporter> ZUMCSIReporter::create(std::shared_ptr<ZUMCSIConfiguration> configuration) {
  if (!configuration) return nullptr;
  return std::shared_ptr<ZUMCSIReporter>(new ZUMCSIReporter(std::move(configuration)));
}

void ZUMCSIReporter::reportTimeRecorder(const std::shared_ptr<ZUMCSITimeRecorder>& recorder,
                                        CompletionBlock completion) {
  if (!recorder || !configuration_->reportingEnabled()) return;
  auto url = URLForTimeRecorder(*recorder);
  if (!url) return;
  platform::URLRequest request(std::move(*url));
  request.setValue(configuration_->userAgent(), "User-Agent");
  ++gBeaconsInFlight;
  platform::URLConnection::sendAsynchronousRequest(
      std::move(request), platform::OperationQueue::main(),
      [self = shared_from_this(), completion = std::move(completion)](std::optional<platform::HTTPURLResponse> response,
                                                                      std::string, platform::ErrorPtr error) {
        --gBeaconsInFlight;
        if (completion) completion(response, error);
      },
      kMaximumResponseBytes);
}

std::size_t ZUMCSIReporter::beaconsInFlight() { return gBeaconsInFlight; }

std::optional<platform::URL> ZUMCSIReporter::URLForTimeRecorder(ZUMCSITimeRecorder& recorder) {
  // Every completed timing leaves with the beacon, the invalid ones too: they are never
  // sent, and kept they would pile up in the recorder for as long as it lives.
  const auto timings = recorder.takeCompletedVariables();
  if (timings.empty()) return std::nullopt;
  auto server = platform::URL::fromString(configuration_->server());
  if (!server) return std::nullopt;
  Json parameters = Json::object();
  parameters["s"] = configuration_->serviceName();
  parameters["v"] = std::to_string(configuration_->version());
  parameters["action"] = recorder.action();
  // Custom parameters come after, so one named "s", "v" or "action" wins.
  for (const auto& [key, value] : recorder.customizedParameters()) parameters[key] = value;
  if (auto experimentIDs = recorder.experimentIDs(); !experimentIDs.empty()) parameters["e"] = joined(experimentIDs);
  parameters["it"] = timingItems(timings);
  return ZUMURLByAppendingQueryParameters(*server, parameters);
}
