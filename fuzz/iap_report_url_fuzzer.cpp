// Purchase report URLs from arbitrary server templates and record values: the input is
// cut at NUL bytes into a template, a product identifier, a transaction identifier, a
// price text and a shared value. Nothing crashes; a result is an http(s) URL the platform
// parses, and the values never change its shape: with every non-empty value replaced by
// a plain word it has the same separators.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz/FuzzEnvironment.h"
#include "platform/base/ASCIIString.h"
#include "platform/base/Decimal.h"
#include "platform/base/URL.h"
#include "sdk/telemetry/ZUMInAppPurchaseTransactionReporter.h"

namespace {

using Reporter = ZUMInAppPurchaseTransactionReporter;

std::vector<std::string> pieces(std::string_view input, std::size_t count) {
  std::vector<std::string> parts;
  std::size_t start = 0;
  while (parts.size() + 1 < count) {
    std::size_t end = input.find('\0', start);
    if (end == std::string_view::npos) break;
    parts.emplace_back(input.substr(start, end - start));
    start = end + 1;
  }
  parts.emplace_back(input.substr(std::min(start, input.size())));
  parts.resize(count);
  return parts;
}

std::string separators(const std::string& url) {
  std::string kept;
  for (char c : url) {
    if (std::string_view("&?#=/@:$").find(c) != std::string_view::npos) kept += c;
  }
  return kept;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzzenv::setUpOnce("iap_report_url");
  const auto parts = pieces(std::string_view(reinterpret_cast<const char*>(data), size), 5);
  const std::string& reportTemplate = parts[0];

  Reporter::Parameters parameters = {
      {"sku", parts[1]}, {"transactionid", parts[2]}, {"appversion", parts[4]}, {"iapsource", "auto"}};
  if (auto price = platform::Decimal::fromString(parts[3])) {
    if (auto text = Reporter::formattedPrice(*price)) parameters.emplace_back("price", *text);
  } else {
    parameters.emplace_back("price", parts[3]);
  }
  Reporter::Parameters plain = parameters;
  // An empty value joins the at-signs around its macro, as the template's syntax says, so
  // it stays empty.
  for (auto& [key, value] : plain) value = value.empty() ? "" : "w";

  const auto built = Reporter::conversionURLString(reportTemplate, parameters);
  fuzzenv::drainMainLoop();  // the log lines of refused templates
  if (!built) return 0;
  const auto url = platform::URL::fromString(*built);
  fuzzenv::check(url.has_value());
  fuzzenv::check(url->scheme() && (platform::equalsIgnoringASCIICase(*url->scheme(), "http") ||
                                   platform::equalsIgnoringASCIICase(*url->scheme(), "https")));
  // A value may make a scheme other than http(s) out of a template's macro: then the
  // plain word's URL, not the value's, is refused.
  if (const auto reference = Reporter::conversionURLString(reportTemplate, plain)) {
    fuzzenv::check(separators(*built) == separators(*reference));
  }
  fuzzenv::drainMainLoop();
  return 0;
}
