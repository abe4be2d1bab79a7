// An error of the platform: a domain, a code and user info, plus the typed entries the
// platform keeps beside the user info (localized description, localized failure reason,
// underlying error). Immutable once made, always handled as
// std::shared_ptr<const Error> (see Error::create), so it may cross threads freely.
//
// Also home to the domains and codes of the platform's own errors: URL loading and
// web content.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include <nlohmann/json_fwd.hpp>

namespace platform {

class Error;
using ErrorPtr = std::shared_ptr<const Error>;

class Error {
 public:
  // The typed entries of an error; every one may be absent.
  struct Details {
    std::optional<std::string> localizedDescription;
    std::optional<std::string> localizedFailureReason;
    ErrorPtr underlyingError;
  };

  // `userInfo` must be a JSON object of property-list values (a null or non-object value
  // gives empty user info).
  static ErrorPtr create(std::string domain, std::int64_t code);
  static ErrorPtr create(std::string domain, std::int64_t code, const nlohmann::ordered_json& userInfo,
                         Details details = {});

  ~Error();
  Error(const Error&) = delete;
  Error& operator=(const Error&) = delete;

  const std::string& domain() const { return domain_; }
  std::int64_t code() const { return code_; }
  // An object (possibly empty), never null.
  const nlohmann::ordered_json& userInfo() const;

  // The description given at creation, else a generic text naming domain and code.
  std::string localizedDescription() const;
  // As given at creation.
  const std::optional<std::string>& localizedFailureReason() const { return details_.localizedFailureReason; }
  const std::optional<std::string>& givenLocalizedDescription() const { return details_.localizedDescription; }
  const ErrorPtr& underlyingError() const { return details_.underlyingError; }

  // A string entry of the user info, or std::nullopt when absent or not a string.
  std::optional<std::string> userInfoString(std::string_view key) const;

  // Same domain, code, user info, typed descriptions and (recursively) underlying error.
  bool operator==(const Error& other) const;

  // "<domain> <code>: <localizedDescription>", for logs.
  std::string description() const;

 protected:
  // Only create() and subclasses that add nothing of their own (an SDK's error type
  // handed to hosts) construct errors.
  struct PrivateTag {};

 public:
  Error(PrivateTag, std::string domain, std::int64_t code, const nlohmann::ordered_json* userInfo, Details details);

 private:
  std::string domain_;
  std::int64_t code_;
  std::unique_ptr<nlohmann::ordered_json> userInfo_;
  Details details_;
};

// Null-safe comparison of two error pointers: both null, or equal errors.
bool sameError(const ErrorPtr& a, const ErrorPtr& b);

// User-info key of the URL (a string) whose loading failed.
inline constexpr const char* kErrorFailingURLStringKey = "FailingURLString";

// The URL-loading system's errors.
inline constexpr const char* kURLErrorDomain = "platform.URLError";
enum URLErrorCode : std::int64_t {
  kURLErrorUnknown = -1,
  kURLErrorCancelled = -999,
  kURLErrorBadURL = -1000,
  kURLErrorTimedOut = -1001,
  kURLErrorUnsupportedURL = -1002,
  kURLErrorCannotFindHost = -1003,
  kURLErrorCannotConnectToHost = -1004,
  kURLErrorNetworkConnectionLost = -1005,
  kURLErrorDNSLookupFailed = -1006,
  kURLErrorHTTPTooManyRedirects = -1007,
  kURLErrorResourceUnavailable = -1008,
  kURLErrorNotConnectedToInternet = -1009,
  kURLErrorRedirectToNonExistentLocation = -1010,
  kURLErrorBadServerResponse = -1011,
  kURLErrorUserCancelledAuthentication = -1012,
  kURLErrorUserAuthenticationRequired = -1013,
  kURLErrorZeroByteResource = -1014,
  kURLErrorCannotDecodeRawData = -1015,
  kURLErrorCannotDecodeContentData = -1016,
  kURLErrorCannotParseResponse = -1017,
  kURLErrorFileDoesNotExist = -1100,
  kURLErrorFileIsDirectory = -1101,
  kURLErrorNoPermissionsToReadFile = -1102,
  kURLErrorDataLengthExceedsMaximum = -1103,
  kURLErrorSecureConnectionFailed = -1200,
  kURLErrorServerCertificateUntrusted = -1202,
  kURLErrorCannotCreateFile = -3000,
  kURLErrorCannotWriteToFile = -3003,
};

// An error of the URL-loading domain with the platform's text for the code and, when
// given, the failing URL under kErrorFailingURLStringKey.
ErrorPtr makeURLError(std::int64_t code, std::optional<std::string> failingURLString = std::nullopt);

// The web views' errors: their content process ended (crashed, or was stopped for
// overrunning its time) so the load or script evaluation could not complete.
inline constexpr const char* kWebContentErrorDomain = "platform.WebContentError";
enum WebContentErrorCode : std::int64_t {
  kWebContentErrorUnknown = 1,
  kWebContentErrorProcessTerminated = 2,
  kWebContentErrorJavaScriptException = 4,
  kWebContentErrorJavaScriptResultTypeIsUnsupported = 5,
};
// `reason`, when given, says why the process ended ("timed out", "out of memory", ...)
// and is the error's failure reason.
ErrorPtr makeWebContentProcessTerminatedError(std::string_view reason = {});
// Whether `error` is one of those.
bool isWebContentProcessTerminatedError(const ErrorPtr& error);

// The file system's errors (see FileManager): code is the errno value.
inline constexpr const char* kPOSIXErrorDomain = "platform.POSIXError";
ErrorPtr makePOSIXError(int errnoValue, std::string_view what);

}  // namespace platform
