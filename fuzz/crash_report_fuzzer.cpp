// Crash reports built from hostile text: the input's parts, split at NUL bytes, become
// the exception's name and reason, frame symbols and image names, the provisioning
// profile and the experiment string. Building never crashes; a report is a valid URL
// whose decoded "excst" stays under 600 characters and whose texts are valid UTF-8.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz/FuzzEnvironment.h"
#include "platform/base/PercentEncoding.h"
#include "platform/base/URL.h"
#include "sdk/telemetry/ZUMCrashReporter.h"

namespace {

std::vector<std::string> partsOf(std::string_view text) {
  std::vector<std::string> parts;
  while (parts.size() < 300) {
    const auto end = text.find('\0');
    parts.emplace_back(text.substr(0, end));
    if (end == std::string_view::npos) break;
    text.remove_prefix(end + 1);
  }
  return parts;
}

std::size_t utf16Length(std::string_view text) {
  std::size_t length = 0;
  for (const unsigned char byte : text) length += ((byte & 0xC0) != 0x80) + (byte >= 0xF0);
  return length;
}

void checkQuery(const std::string& query) {
  std::size_t start = 0;
  while (start <= query.size()) {
    auto end = query.find('&', start);
    if (end == std::string::npos) end = query.size();
    const auto pair = query.substr(start, end - start);
    const auto equals = pair.find('=');
    const auto value = platform::PercentEncoding::decode(equals == std::string::npos ? "" : pair.substr(equals + 1));
    fuzzenv::check(value.has_value());  // decodes, and to valid UTF-8
    if (pair.rfind("excst=", 0) == 0) fuzzenv::check(utf16Length(*value) < 600);
    start = end + 1;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const auto parts = partsOf({reinterpret_cast<const char*>(data), size});
  ZUMCrashReporter::Report report;
  report.name = parts[0];
  if (parts.size() > 1) report.reason = parts[1];
  if (parts.size() > 2) report.profile = parts[2];
  if (parts.size() > 3) report.experimentIDs = parts[3];
  for (std::size_t i = 4; i + 1 < parts.size(); i += 2) {
    platform::ResolvedAddress resolved{.imagePath = parts[i], .symbol = parts[i + 1]};
    report.stackLines.push_back(ZUMCrashReporter::stackLine(resolved, "app-image"));
    report.symbols.push_back(ZUMCrashReporter::sanitizedText(parts[i + 1]));
  }
  const auto url = ZUMCrashReporter::reportURL(report);
  if (!url) return 0;
  const auto reparsed = platform::URL::fromString(url->absoluteString());
  fuzzenv::check(reparsed && reparsed->path() == "/sdk/exception_204" && reparsed->query());
  checkQuery(*reparsed->query());
  return 0;
}
