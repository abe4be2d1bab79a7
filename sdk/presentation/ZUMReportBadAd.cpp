#include "sdk/presentation/ZUMReportBadAd.h"

#include <atomic>

#include <nlohmann/json.hpp>

#include "platform/base/OperationQueue.h"
#include "platform/base/TestingReset.h"
#include "platform/net/URLConnection.h"
#include "sdk/foundation/ZUMJSONAdditions.h"
#include "sdk/foundation/ZUMURLUtilities.h"
#include "sdk/foundation/ZUMUserDefaults.h"

namespace {

std::atomic<std::size_t> gReportsInFlight{0};
[[maybe_unused]] const bool kInFlightResets = platform::resetBetweenTests(gReportsInFlight, std::size_t{0});

}  // namespace

std::size_t ZUMBadAdReportsInFlight() { return gReportsInFlight; }

void ZUMReportBadAd(const std::optional<std::string>& creativeInformation) {
  auto endpoint = ZUMUserDefaults::stringForKey(ZUMUserDefaults::keyForName("bad_ad_report_path"));
  if (!endpoint || endpoint->empty()) endpoint = kZUMBadAdReportEndpoint;
  const auto url = platform::URL::fromString(*endpoint);
  if (!url) return;
  const nlohmann::ordered_json report{
      {"debugHeader", creativeInformation ? nlohmann::ordered_json(*creativeInformation) : nlohmann::ordered_json()}};
  // Text that is not UTF-8 is replaced rather than losing the report.
  auto body = zum_JSONStringPretty(zum_JSONSafeDictionary(report), true, nullptr).value_or("");
  auto request = ZUMURLRequestWithBody(url, std::move(body), std::nullopt, "application/json");
  if (!request) return;
  request->setCachePolicy(platform::URLRequest::CachePolicy::ReloadIgnoringLocalCacheData);
  ++gReportsInFlight;
  platform::URLConnection::sendAsynchronousRequest(std::move(*request), platform::OperationQueue::main(),
                                                   [](auto, auto, auto) { --gReportsInFlight; });
}
