#include "sdk/telemetry/ZUMCrashReporter.h"

#include <fstream>
#include <functional>
#include <utility>

#include <nlohmann/json.hpp>
#include <unicode/unistr.h>

#include "ZUMRequest.h"
#include "platform/base/Clock.h"
#include "platform/base/PercentEncoding.h"
#include "platform/base/TestingReset.h"
#include "platform/base/UserDefaults.h"
#include "platform/ui/Bundle.h"
#include "sdk/foundation/ZUMApplication.h"
#include "sdk/foundation/ZUMDevice.h"
#include "sdk/foundation/ZUMLogger.h"
#include "sdk/foundation/ZUMRegularExpression.h"
#include "sdk/foundation/ZUMStartupHooks.h"
#include "sdk/foundation/ZUMURLUtilities.h"
#include "sdk/foundation/ZUMUserDefaults.h"
#include "sdk/network/ZUMPinger.h"
#include "sdk/network/ZUMPingerRetryStore.h"

namespace {

constexpr const char* kExperimentIDsKey = "/vantor/ads/experiment_id_string";

// The installed reporter, for the handler function; cleared when it goes away.
std::atomic<ZUMCrashReporter*> gInstalled{nullptr};
// Set while this thread reports, so an exception inside the report is not reported.
thread_local bool tlsReporting = false;

// UTF-16 units of valid UTF-8 text.
std::size_t utf16Length(std::string_view text) {
  std::size_t length = 0;
  for (const unsigned char byte : text) {
    if ((byte & 0xC0) != 0x80) ++length;
    if (byte >= 0xF0) ++length;  // a surrogate pair
  }
  return length;
}

// A value the table reads from the process; none when it throws or is empty.
std::optional<std::string> readValue(const std::function<std::optional<std::string>()>& read) {
  try {
    auto value = read();
    if (!value || value->empty()) return std::nullopt;
    return ZUMCrashReporter::sanitizedText(*value);
  } catch (...) {
    return std::nullopt;
  }
}

std::optional<std::string> readProfile() {
  const auto path = platform::Bundle::main().pathForResource("embedded", "mobileprovision");
  if (!path) return std::nullopt;
  std::ifstream in(*path, std::ios::binary);
  if (!in) return std::nullopt;
  std::string bytes(ZUMCrashReporter::kMaximumProfileLength, '\0');
  in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  bytes.resize(static_cast<std::size_t>(in.gcount()));
  return bytes;
}

// The file name of the image holding the reporter's code; else the process's name.
std::string ownImageName() {
  const auto resolved = platform::resolveAddress(reinterpret_cast<const void*>(&ownImageName));
  if (resolved && !resolved->imageName().empty()) return resolved->imageName();
  return platform::processName();
}

}  // namespace

std::shared_ptr<ZUMCrashReporter> ZUMCrashReporter::sharedInstance() {
  static auto* shared = new platform::ResettableShared<ZUMCrashReporter>(
      [] { return std::shared_ptr<ZUMCrashReporter>(new ZUMCrashReporter()); });
  return shared->get();
}

ZUMCrashReporter::ZUMCrashReporter() {
  const auto current = platform::getUncaughtExceptionHandler();
  previous_ = current == &ZUMCrashReporter::handler ? nullptr : current;
  gInstalled = this;
  platform::setUncaughtExceptionHandler(&ZUMCrashReporter::handler);
}

ZUMCrashReporter::~ZUMCrashReporter() {
  ZUMCrashReporter* self = this;
  gInstalled.compare_exchange_strong(self, nullptr);
  if (platform::getUncaughtExceptionHandler() == &ZUMCrashReporter::handler) {
    platform::setUncaughtExceptionHandler(previous_);
  }
}

void ZUMCrashReporter::handler(const platform::Exception& exception) {
  if (auto* reporter = gInstalled.load()) reporter->handleUncaughtException(exception);
}

void ZUMCrashReporter::handleUncaughtException(const platform::Exception& exception) {
  if (reportingEnabled_ && !tlsReporting) {
    tlsReporting = true;
    try {
      reportUncaughtException(exception);
    } catch (...) {
      // The report is lost; the host's handler still runs.
    }
    tlsReporting = false;
  }
  if (previous_) previous_(exception);
}

bool ZUMCrashReporter::reportUncaughtException(const platform::Exception& exception) {
  const auto url = reportURL(reportForException(exception));
  if (!url) return false;
  const auto string = url->absoluteString();
  // On disk before anything else: the pinger's own queue may be the one that raised, or
  // be busy, so the store is written here rather than waited for there.
  ZUMPingerRetryStore store(platform::UserDefaults::standard());
  const auto limits = ZUMPingerRetryStore::currentLimits();
  if (!store.storeRetryURLString(string, kZUMCrashReportingRetryGroupKey, limits.maximumCount,
                                 platform::clock().wallNow()) &&
      store.entries(kZUMCrashReportingRetryGroupKey).size() >= limits.maximumCount) {
    ZUMLog(kZUMLogLevelDefault, "Crash report dropped: its retry group is full.");
    return true;
  }
  ZUMPinger::sharedInstance()->pingWithRetryGroupKey(kZUMCrashReportingRetryGroupKey, *url, string);
  return true;
}

bool ZUMCrashReporter::involvesSDK(std::string_view text) {
  return text.find("ZUM") != std::string_view::npos || text.find("PXR") != std::string_view::npos;
}

std::string ZUMCrashReporter::redactedReason(const std::optional<std::string>& reason) {
  if (!reason) return "redacted";
  const auto text = sanitizedText(*reason);
  if (!involvesSDK(text)) return "redacted";
  static const auto hexadecimal = ZUMRegularExpression::create("0[xX][a-fA-F0-9]+");
  return hexadecimal->stringByReplacingMatches(text, "#");
}

std::string ZUMCrashReporter::stackLine(const std::optional<platform::ResolvedAddress>& resolved,
                                        const std::string& ownImage) {
  if (!resolved) return "missing,unavailable";
  auto image = sanitizedText(resolved->imageName());
  if (image.empty()) {
    image = "missing";
  } else if (image == ownImage) {
    image = "app";
  }
  return image + "," + sanitizedText(resolved->symbol.value_or(""));
}

std::optional<std::string> ZUMCrashReporter::stackText(const std::vector<std::string>& lines) {
  std::size_t total = 0;
  std::size_t kept = 0;
  std::string text;
  for (const auto& line : lines) {
    total += utf16Length(line) + 1;
    if (total >= kMaximumStackTextLength) break;
    if (kept++ > 0) text += '\n';
    text += line;
  }
  if (kept == 0) return std::nullopt;
  return text;
}

bool ZUMCrashReporter::isDevelopmentBuild(const std::optional<std::string>& profile) {
  if (!profile || profile->empty()) return false;
  const std::string_view bytes = *profile;
  constexpr std::string_view kKey = "get-task-allow";
  auto position = bytes.find(kKey);
  if (position == std::string_view::npos) return false;
  std::size_t brackets[3] = {};
  position += kKey.size();
  for (auto& bracket : brackets) {
    bracket = bytes.find('<', position);
    if (bracket == std::string_view::npos) return false;
    position = bracket + 1;
  }
  return bytes.substr(brackets[1] + 1, brackets[2] - brackets[1] - 1).find("true") != std::string_view::npos;
}

std::string ZUMCrashReporter::sanitizedText(std::string_view text, std::size_t maximum) {
  if (text.size() > maximum) {
    std::size_t cut = maximum;
    while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) --cut;
    text = text.substr(0, cut);
  }
  if (platform::PercentEncoding::isValidUTF8(text)) return std::string(text);
  std::string repaired;
  icu::UnicodeString::fromUTF8(icu::StringPiece(text.data(), static_cast<int32_t>(text.size()))).toUTF8String(repaired);
  return repaired;
}

std::optional<platform::URL> ZUMCrashReporter::reportURL(const Report& report) {
  const auto reason = report.reason ? std::optional(sanitizedText(*report.reason)) : std::nullopt;
  std::optional<std::string> firstSDKSymbol;
  for (const auto& symbol : report.symbols) {
    if (involvesSDK(symbol)) {
      firstSDKSymbol = sanitizedText(symbol);
      break;
    }
  }
  if (!(reason && involvesSDK(*reason)) && !firstSDKSymbol) return std::nullopt;
  auto text = [](const std::optional<std::string>& value, const char* missing) {
    return value && !value->empty() ? sanitizedText(*value) : std::string(missing);
  };
  nlohmann::ordered_json parameters = {
      {"os", text(report.os, "error")},         {"appid", text(report.appid, "error")},
      {"api", text(report.api, "error")},       {"js", text(report.js, "error")},
      {"device", text(report.device, "error")}, {"dev-build", isDevelopmentBuild(report.profile) ? 1 : 0},
      {"excn", text(report.name, "unknown")},   {"excr", redactedReason(reason)},
      {"exclc", firstSDKSymbol.value_or(".")},  {"excst", stackText(report.stackLines).value_or("error")},
      {"id", "kvel-apps-report-exception"},
  };
  if (report.experimentIDs) parameters["eids"] = sanitizedText(*report.experimentIDs);
  const auto endpoint = platform::URL::fromString(kZUMCrashReportEndpoint);
  return endpoint ? ZUMURLByAppendingQueryParameters(*endpoint, parameters) : std::nullopt;
}

ZUMCrashReporter::Report ZUMCrashReporter::reportForException(const platform::Exception& exception) {
  Report report;
  report.name = sanitizedText(exception.name());
  if (exception.reason()) report.reason = sanitizedText(*exception.reason());
  const auto ownImage = ownImageName();
  for (const auto address : exception.callStackReturnAddresses()) {
    const auto resolved = platform::resolveAddress(address, platform::AddressKind::ReturnAddress);
    report.stackLines.push_back(stackLine(resolved, ownImage));
    report.symbols.push_back(resolved ? sanitizedText(resolved->symbol.value_or("")) : "unavailable");
  }
  report.profile = readProfile();
  report.os = readValue([] { return ZUMDevice::sharedInstance()->systemVersion(); });
  report.appid = readValue([] { return ZUMApplication::sharedInstance()->mainBundleIdentifier(); });
  report.api = readValue([] { return ZUMApplication::sharedInstance()->version(); });
  report.js = readValue([] { return ZUMRequest::sdkVersion(); });
  report.device = readValue([] { return ZUMDevice::sharedInstance()->deviceModel(); });
  report.experimentIDs = readValue([] { return ZUMUserDefaults::stringForKey(kExperimentIDsKey); });
  return report;
}

void ZUMRegisterCrashReporter() {
  ZUMRegisterStartupHooks([](ZUMStartupHooks& hooks) {
    hooks.installCrashReporter = [] { ZUMCrashReporter::sharedInstance(); };
    hooks.disableCrashReporting = [] { ZUMCrashReporter::sharedInstance()->setReportingEnabled(false); };
  });
}
