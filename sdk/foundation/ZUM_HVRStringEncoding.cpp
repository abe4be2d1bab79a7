#include "sdk/foundation/ZUM_HVRStringEncoding.h"

const ZUM_HVRStringEncoding& ZUM_HVRStringEncoding::rfc4648Base64StringEncoding() {
  static const ZUM_HVRStringEncoding encoding("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/");
  return encoding;
}

const ZUM_HVRStringEncoding& ZUM_HVRStringEncoding::rfc4648Base64WebsafeStringEncoding() {
  static const ZUM_HVRStringEncoding encoding("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-_");
  return encoding;
}

std::string ZUM_HVRStringEncoding::encode(std::string_view data) const {
  return encode(reinterpret_cast<const std::uint8_t*>(data.data()), data.size());
}

std::string ZUM_HVRStringEncoding::encode(const std::uint8_t* data, std::size_t length) const {
  std::string text;
  text.reserve((length + 2) / 3 * 4);
  std::size_t i = 0;
  for (; i + 3 <= length; i += 3) {
    std::uint32_t group = (std::uint32_t{data[i]} << 16) | (std::uint32_t{data[i + 1]} << 8) | data[i + 2];
    text += alphabet_[(group >> 18) & 63];
    text += alphabet_[(group >> 12) & 63];
    text += alphabet_[(group >> 6) & 63];
    text += alphabet_[group & 63];
  }
  std::size_t rest = length - i;
  if (rest > 0) {
    std::uint32_t group = std::uint32_t{data[i]} << 16;
    if (rest == 2) group |= std::uint32_t{data[i + 1]} << 8;
    text += alphabet_[(group >> 18) & 63];
    text += alphabet_[(group >> 12) & 63];
    text += rest == 2 ? alphabet_[(group >> 6) & 63] : '=';
    text += '=';
  }
  return text;
}
