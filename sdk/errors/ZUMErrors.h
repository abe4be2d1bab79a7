// The SDK's error model: every failure the SDK reports, between its parts and to the
// host, is a platform::Error of the domain "com.vantor.ads" with one of the codes below
// and the fixed text of its code (or the caller's own description). Only these builders
// make errors of that domain.
//
// User info of an error made here: the localized description and failure reason (both
// the same text), the underlying error when one is given, and "HttpStatus" ("HTTP
// status 404: not found") when an HTTP status above 0 is given.
//
// Stateless but for the OS-minimum text of code 4, made once per process; every
// function may be called from any thread.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "platform/base/Error.h"

inline constexpr const char* kZUMErrorDomain = "com.vantor.ads";
// User-info key of the HTTP status text.
inline constexpr const char* kZUMErrorHTTPStatusKey = "HttpStatus";

enum ZUMErrorCode : std::int64_t {
  kZUMErrorInvalidRequest = 0,
  kZUMErrorNoFill = 1,
  kZUMErrorNetworkError = 2,
  kZUMErrorServerError = 3,
  kZUMErrorOSVersionTooLow = 4,
  kZUMErrorTimeout = 5,
  kZUMErrorInterstitialAlreadyUsed = 6,
  kZUMErrorInvalidMediationResponse = 7,
  kZUMErrorNoMediationAdapter = 8,
  kZUMErrorNoFillFromAnyNetwork = 9,
  kZUMErrorIncompatibleAdType = 10,
  kZUMErrorInternalError = 11,
  kZUMErrorInvalidArgument = 12,
  kZUMErrorInvalidResponse = 13,
};

// The fixed text of a code: codes outside 0 to 13 take code 0's text; code 4 the
// OS-minimum text.
std::string ZUMErrorTextForCode(std::int64_t code);

// Sets where the OS-minimum text takes the device's version ("12.4.1"). The SDK's device
// object installs itself at start-up; until then the platform device's version, as
// "major.minor.patch", is used. The text is made the first time any builder needs a
// fixed text and kept for the life of the process, so a provider set later has no
// effect. Thread-safe.
void ZUMSetSystemVersionProvider(std::function<std::string()> provider);

// An error of the SDK's domain. `description` replaces the fixed text (an empty one stays
// empty); `httpStatus` <= 0 adds nothing (callers pass -1 when there is none); the code is
// kept as given, even when it is outside 0 to 13.
platform::ErrorPtr ZUMMakeError(std::int64_t code, std::int64_t httpStatus, std::optional<std::string> description,
                                platform::ErrorPtr underlyingError);
platform::ErrorPtr ZUMMakeErrorWithHTTPStatus(std::int64_t code, std::int64_t httpStatus,
                                              std::optional<std::string> description);
// The form used across the SDK for failures with a message of their own.
platform::ErrorPtr ZUMMakeErrorWithDescription(std::int64_t code, std::optional<std::string> description);
// The given error's localized description becomes the text, and the error the
// underlying error; no error gives the code's fixed text.
platform::ErrorPtr ZUMMakeErrorWithUnderlyingError(std::int64_t code, platform::ErrorPtr error);
// The code's fixed text.
platform::ErrorPtr ZUMMakeErrorWithCode(std::int64_t code);
// A plain error of any domain: the description, when given, is both localized
// description and failure reason; otherwise the error has no user info.
platform::ErrorPtr ZUMMakeErrorWithDomain(std::string domain, std::int64_t code,
                                          std::optional<std::string> description);
