#include "sdk/errors/ZUMErrors.h"

#include <climits>
#include <mutex>
#include <optional>
#include <utility>

#include <nlohmann/json.hpp>

#include "platform/base/TestingReset.h"
#include "platform/net/HTTPURLResponse.h"
#include "platform/ui/Device.h"

namespace {

std::mutex& providerMutex() {
  static auto* mutex = new std::mutex();
  return *mutex;
}

std::function<std::string()>& provider() {
  static auto* provider = new std::function<std::string()>();
  return *provider;
}

// The text is made once for the process; a test starts with neither text nor provider.
std::optional<std::string>& frozenText() {
  static auto* text = [] {
    auto* made = new std::optional<std::string>();
    platform::registerTestingReset(made, [made] {
      std::lock_guard lock(providerMutex());
      made->reset();
      provider() = nullptr;
    });
    return made;
  }();
  return *text;
}

std::string platformSystemVersion() {
  auto version = platform::Device::current().operatingSystemVersion();
  return std::to_string(version.majorVersion) + "." + std::to_string(version.minorVersion) + "." +
         std::to_string(version.patchVersion);
}

std::string osMinimumText() {
  std::function<std::string()> current;
  {
    std::lock_guard lock(providerMutex());
    if (frozenText()) return *frozenText();
    current = provider();
  }
  // The provider runs outside the lock: it may reach other singletons.
  std::string version = current ? current() : platformSystemVersion();
  std::string text = "Request Error: This device's OS is " + version + ". It is below the minimum of 6.0.";
  std::lock_guard lock(providerMutex());
  if (!frozenText()) frozenText() = std::move(text);
  return *frozenText();
}

}  // namespace

std::string ZUMErrorTextForCode(std::int64_t code) {
  switch (code) {
    case kZUMErrorNoFill:
      return "Request Error: No ad to show.";
    case kZUMErrorNetworkError:
      return "Request Error: A network error occurred.";
    case kZUMErrorServerError:
      return "Request Error: Server error processing the request.";
    case kZUMErrorOSVersionTooLow:
      return osMinimumText();
    case kZUMErrorTimeout:
      return "Request Error: The Vantor Ad request was unable to be fulfilled before a timeout occurred.";
    case kZUMErrorInterstitialAlreadyUsed:
      return "Request Error: Will not send request because interstitial object has been used.";
    case kZUMErrorInvalidMediationResponse:
      return "Request Error: The mediation response was invalid.";
    case kZUMErrorNoMediationAdapter:
      return "Request Error: Cannot find an ad network adapter for mediation.";
    case kZUMErrorNoFillFromAnyNetwork:
      return "Request Error: No ad to show from all configured ad networks.";
    case kZUMErrorIncompatibleAdType:
      return "Request Error: Incompatible ad type requested.";
    case kZUMErrorInternalError:
      return "Request Error: Internal error.";
    case kZUMErrorInvalidArgument:
      return "Request Error: Invalid argument.";
    case kZUMErrorInvalidResponse:
      return "Request Error: Received invalid response.";
    default:
      return "Request Error: Invalid ad request parameter(s). Check the Xcode console for details.";
  }
}

void ZUMSetSystemVersionProvider(std::function<std::string()> newProvider) {
  std::lock_guard lock(providerMutex());
  provider() = std::move(newProvider);
}

platform::ErrorPtr ZUMMakeError(std::int64_t code, std::int64_t httpStatus, std::optional<std::string> description,
                                platform::ErrorPtr underlyingError) {
  std::string text = description ? std::move(*description) : ZUMErrorTextForCode(code);
  nlohmann::ordered_json userInfo = nlohmann::ordered_json::object();
  if (httpStatus > 0) {
    int phraseCode = httpStatus > INT_MAX ? INT_MAX : static_cast<int>(httpStatus);
    userInfo[kZUMErrorHTTPStatusKey] = "HTTP status " + std::to_string(httpStatus) + ": " +
                                       platform::HTTPURLResponse::localizedStringForStatusCode(phraseCode);
  }
  platform::Error::Details details;
  details.localizedDescription = text;
  details.localizedFailureReason = std::move(text);
  details.underlyingError = std::move(underlyingError);
  return platform::Error::create(kZUMErrorDomain, code, userInfo, std::move(details));
}

platform::ErrorPtr ZUMMakeErrorWithHTTPStatus(std::int64_t code, std::int64_t httpStatus,
                                              std::optional<std::string> description) {
  return ZUMMakeError(code, httpStatus, std::move(description), nullptr);
}

platform::ErrorPtr ZUMMakeErrorWithDescription(std::int64_t code, std::optional<std::string> description) {
  return ZUMMakeError(code, 0, std::move(description), nullptr);
}

platform::ErrorPtr ZUMMakeErrorWithUnderlyingError(std::int64_t code, platform::ErrorPtr error) {
  std::optional<std::string> description;
  if (error) description = error->localizedDescription();
  return ZUMMakeError(code, 0, std::move(description), std::move(error));
}

platform::ErrorPtr ZUMMakeErrorWithCode(std::int64_t code) { return ZUMMakeError(code, 0, std::nullopt, nullptr); }

platform::ErrorPtr ZUMMakeErrorWithDomain(std::string domain, std::int64_t code,
                                          std::optional<std::string> description) {
  if (!description) return platform::Error::create(std::move(domain), code);
  platform::Error::Details details;
  details.localizedDescription = description;
  details.localizedFailureReason = std::move(description);
  return platform::Error::create(std::move(domain), code, nlohmann::ordered_json::object(), std::move(details));
}
