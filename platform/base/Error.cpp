#include "platform/base/Error.h"

#include <system_error>

#include <nlohmann/json.hpp>

namespace platform {

ErrorPtr Error::create(std::string domain, std::int64_t code) {
  return std::make_shared<const Error>(PrivateTag{}, std::move(domain), code, nullptr, Details{});
}

ErrorPtr Error::create(std::string domain, std::int64_t code, const nlohmann::ordered_json& userInfo, Details details) {
  return std::make_shared<const Error>(PrivateTag{}, std::move(domain), code, &userInfo, std::move(details));
}

Error::Error(PrivateTag, std::string domain, std::int64_t code, const nlohmann::ordered_json* userInfo, Details details)
    : domain_(std::move(domain)),
      code_(code),
      userInfo_(std::make_unique<nlohmann::ordered_json>(
          userInfo && userInfo->is_object() ? *userInfo : nlohmann::ordered_json::object())),
      details_(std::move(details)) {}

Error::~Error() = default;

const nlohmann::ordered_json& Error::userInfo() const { return *userInfo_; }

std::string Error::localizedDescription() const {
  if (details_.localizedDescription) return *details_.localizedDescription;
  return "The operation could not be completed. (" + domain_ + " error " + std::to_string(code_) + ".)";
}

std::optional<std::string> Error::userInfoString(std::string_view key) const {
  auto it = userInfo_->find(key);
  if (it == userInfo_->end() || !it->is_string()) return std::nullopt;
  return it->get<std::string>();
}

bool Error::operator==(const Error& other) const {
  return domain_ == other.domain_ && code_ == other.code_ && *userInfo_ == *other.userInfo_ &&
         details_.localizedDescription == other.details_.localizedDescription &&
         details_.localizedFailureReason == other.details_.localizedFailureReason &&
         sameError(details_.underlyingError, other.details_.underlyingError);
}

std::string Error::description() const { return domain_ + " " + std::to_string(code_) + ": " + localizedDescription(); }

bool sameError(const ErrorPtr& a, const ErrorPtr& b) {
  if (!a || !b) return !a && !b;
  return a == b || *a == *b;
}

namespace {

const char* urlErrorText(std::int64_t code) {
  switch (code) {
    case kURLErrorCancelled:
      return "The request was cancelled.";
    case kURLErrorBadURL:
      return "The URL is not valid.";
    case kURLErrorTimedOut:
      return "The request timed out.";
    case kURLErrorUnsupportedURL:
      return "The URL's scheme is not supported.";
    case kURLErrorCannotFindHost:
      return "No server was found for the host name.";
    case kURLErrorCannotConnectToHost:
      return "The server could not be reached.";
    case kURLErrorNetworkConnectionLost:
      return "The connection to the server was lost.";
    case kURLErrorDNSLookupFailed:
      return "The host name could not be looked up.";
    case kURLErrorHTTPTooManyRedirects:
      return "The request was redirected too many times.";
    case kURLErrorResourceUnavailable:
      return "The resource is not available.";
    case kURLErrorNotConnectedToInternet:
      return "The device is not connected to the internet.";
    case kURLErrorRedirectToNonExistentLocation:
      return "The request was redirected to a missing location.";
    case kURLErrorBadServerResponse:
      return "The server sent a response that could not be used.";
    case kURLErrorUserCancelledAuthentication:
      return "Authentication was cancelled.";
    case kURLErrorUserAuthenticationRequired:
      return "The server requires authentication.";
    case kURLErrorZeroByteResource:
      return "The resource is empty.";
    case kURLErrorCannotDecodeRawData:
      return "The data could not be decoded.";
    case kURLErrorCannotDecodeContentData:
      return "The content could not be decoded.";
    case kURLErrorCannotParseResponse:
      return "The response could not be read.";
    case kURLErrorFileDoesNotExist:
      return "The file does not exist.";
    case kURLErrorFileIsDirectory:
      return "The file is a directory.";
    case kURLErrorNoPermissionsToReadFile:
      return "The file may not be read.";
    case kURLErrorDataLengthExceedsMaximum:
      return "The resource is too large.";
    case kURLErrorSecureConnectionFailed:
      return "A secure connection could not be made.";
    case kURLErrorServerCertificateUntrusted:
      return "The server's certificate is not trusted.";
    case kURLErrorCannotCreateFile:
      return "The file could not be created.";
    case kURLErrorCannotWriteToFile:
      return "The file could not be written.";
    default:
      return "An unknown error occurred.";
  }
}

}  // namespace

ErrorPtr makeURLError(std::int64_t code, std::optional<std::string> failingURLString) {
  nlohmann::ordered_json userInfo = nlohmann::ordered_json::object();
  if (failingURLString) userInfo[kErrorFailingURLStringKey] = *failingURLString;
  Error::Details details;
  details.localizedDescription = urlErrorText(code);
  return Error::create(kURLErrorDomain, code, userInfo, std::move(details));
}

ErrorPtr makeWebContentProcessTerminatedError(std::string_view reason) {
  Error::Details details;
  details.localizedDescription = "The web page's content process ended.";
  if (!reason.empty()) details.localizedFailureReason = std::string(reason);
  return Error::create(kWebContentErrorDomain, kWebContentErrorProcessTerminated, nlohmann::ordered_json::object(),
                       std::move(details));
}

bool isWebContentProcessTerminatedError(const ErrorPtr& error) {
  return error && error->domain() == kWebContentErrorDomain && error->code() == kWebContentErrorProcessTerminated;
}

ErrorPtr makePOSIXError(int errnoValue, std::string_view what) {
  Error::Details details;
  std::string text(what);
  if (!text.empty()) text += ": ";
  text += std::error_code(errnoValue, std::generic_category()).message();
  details.localizedDescription = std::move(text);
  return Error::create(kPOSIXErrorDomain, errnoValue, nlohmann::ordered_json::object(), std::move(details));
}

}  // namespace platform
