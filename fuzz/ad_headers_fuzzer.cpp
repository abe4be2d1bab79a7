// Ad response headers of any shape completing an ad, and ad dictionaries of any shape
// making one. The input, read as JSON, is used both as the headers given to a fetch and
// as an ad dictionary; input that is not JSON becomes header lines ("Name: value"). No
// network is touched: the ad carries its HTML. Nothing crashes, the delegate hears
// exactly one result, and the response type is one of the five.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

#include "fuzz/FuzzEnvironment.h"
#include "platform/base/Clock.h"
#include "platform/base/Executor.h"
#include "platform/base/FileManager.h"
#include "platform/base/RunLoop.h"
#include "platform/base/UserDefaults.h"
#include "sdk/request/ZUMAd.h"
#include "sdk/request/ZUMAdFetcher.h"
#include "sdk/request/ZUMAdFetcherDelegate.h"

using json = nlohmann::ordered_json;

namespace {

// Header lines as an HTTP response head would carry them.
json headersFromLines(std::string_view text) {
  json headers = json::object();
  for (auto& [name, value] : fuzzenv::pairsFromLines(text, ':', true)) headers[name] = std::move(value);
  return headers;
}

class Counter : public ZUMAdFetcherDelegate {
 public:
  void adFetcherDidFetchAd(ZUMAdFetcher&, const std::shared_ptr<ZUMAd>&) override { ++results; }
  void adFetcherDidFailToFetchAd(ZUMAdFetcher&, const std::shared_ptr<ZUMAd>&, const platform::ErrorPtr& error,
                                 std::int64_t) override {
    fuzzenv::check(error != nullptr);
    ++results;
  }
  int results = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzzenv::setUpOnce("ad-headers-fuzzer");
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  json input = json::parse(text, nullptr, false);
  if (input.is_discarded()) input = headersFromLines(text);

  auto ad = ZUMBannerAd::createWithDictionary(input);
  ad->setAdHTML("<html></html>");
  auto counter = std::make_shared<Counter>();
  auto fetcher = ZUMAdFetcher::createDefault();
  fuzzenv::check(fetcher->fetchRemainingContentForAd(ad, input, counter, nullptr));
  fuzzenv::drainMainLoop();
  fuzzenv::check(counter->results == 1);
  fuzzenv::check(ad->responseType() <= 4);
  return 0;
}
