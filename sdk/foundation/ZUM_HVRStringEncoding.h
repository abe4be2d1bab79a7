// Binary-to-text encodings of RFC 4648: base64 in its standard alphabet and in the
// URL- and file-safe alphabet ("-" and "_" for "+" and "/"), padded with "=".
//
//   ZUM_HVRStringEncoding::rfc4648Base64WebsafeStringEncoding().encode(bytes)
//
// The encodings are immutable process-wide objects; use them from any thread.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

class ZUM_HVRStringEncoding {
 public:
  static const ZUM_HVRStringEncoding& rfc4648Base64StringEncoding();
  static const ZUM_HVRStringEncoding& rfc4648Base64WebsafeStringEncoding();

  // `data` as text of this encoding's alphabet.
  std::string encode(std::string_view data) const;
  std::string encode(const std::uint8_t* data, std::size_t length) const;

  ZUM_HVRStringEncoding(const ZUM_HVRStringEncoding&) = delete;
  ZUM_HVRStringEncoding& operator=(const ZUM_HVRStringEncoding&) = delete;

 private:
  explicit ZUM_HVRStringEncoding(const char* alphabet) : alphabet_(alphabet) {}
  const char* alphabet_;  // 64 characters
};
