// The head of an HTTP response as the platform's URL loading reports it: the URL it
// answers (the URL the caller asked for, never a test mapping), status code, header
// fields, and what follows from them: expected content length, MIME type and text
// encoding name. A value type; use it from any thread.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/base/URL.h"
#include "platform/net/HTTPHeaderFields.h"

namespace platform {

class HTTPURLResponse {
 public:
  // A response for `url` with `statusCode` and `headerFields`; `httpVersion` is kept
  // for the record ("HTTP/1.1", or none for a made-up response).
  HTTPURLResponse(URL url, int statusCode, HTTPHeaderFields headerFields,
                  std::optional<std::string> httpVersion = std::nullopt);

  const URL& url() const { return url_; }
  int statusCode() const { return statusCode_; }
  const HTTPHeaderFields& allHeaderFields() const { return headers_; }
  std::optional<std::string> valueForHTTPHeaderField(std::string_view name) const { return headers_.value(name); }
  const std::optional<std::string>& httpVersion() const { return httpVersion_; }

  // The "Content-Length" as a number of bytes, or -1 when absent or not a number.
  std::int64_t expectedContentLength() const { return expectedContentLength_; }
  // The "Content-Type" without parameters, lower-cased; std::nullopt when absent.
  const std::optional<std::string>& MIMEType() const { return mimeType_; }
  // The "charset" parameter of the "Content-Type", lower-cased and unquoted.
  const std::optional<std::string>& textEncodingName() const { return textEncodingName_; }

  // The platform's lower-case phrase for a status code ("not found" for 404, "no error"
  // for 200); unknown codes fall back by class ("informational", "success",
  // "redirected", "client error", "server error"), and "server error" beyond.
  static std::string localizedStringForStatusCode(int statusCode);

 private:
  URL url_;
  int statusCode_;
  HTTPHeaderFields headers_;
  std::optional<std::string> httpVersion_;
  std::int64_t expectedContentLength_ = -1;
  std::optional<std::string> mimeType_;
  std::optional<std::string> textEncodingName_;
};

}  // namespace platform
