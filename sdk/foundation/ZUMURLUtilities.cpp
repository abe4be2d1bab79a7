#include "sdk/foundation/ZUMURLUtilities.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>
#include <cstring>
#include <functional>
#include <tuple>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include <nlohmann/json.hpp>
#include <unicode/locid.h>
#include <unicode/uchar.h>
#include <unicode/unistr.h>

#include "platform/base/ASCIIString.h"
#include "platform/base/JSONObjectIndex.h"
#include "platform/base/PercentEncoding.h"
#include "platform/base/PropertyList.h"
#include "sdk/foundation/ZUMNetwork.h"
#include "sdk/foundation/ZUMRegularExpression.h"

using nlohmann::ordered_json;

namespace {

icu::UnicodeString unicode(std::string_view text) {
  return icu::UnicodeString::fromUTF8(
      icu::StringPiece(text.data(), static_cast<int32_t>(std::min<size_t>(text.size(), INT32_MAX))));
}

std::string lowercased(std::string_view text) {
  std::string result;
  unicode(text).toLower(icu::Locale::getRoot()).toUTF8String(result);
  return result;
}

bool equalIgnoringCase(std::string_view a, std::string_view b) {
  return unicode(a).caseCompare(unicode(b), U_FOLD_CASE_DEFAULT) == 0;
}

std::vector<std::string_view> split(std::string_view text, std::string_view separators) {
  std::vector<std::string_view> pieces;
  std::size_t start = 0;
  while (true) {
    std::size_t end = text.find_first_of(separators, start);
    if (end == std::string_view::npos) {
      pieces.push_back(text.substr(start));
      return pieces;
    }
    pieces.push_back(text.substr(start, end - start));
    start = end + 1;
  }
}

// Key and value of a piece that splits at "=" into exactly two parts.
std::optional<std::pair<std::string_view, std::string_view>> pair(std::string_view piece) {
  std::size_t equals = piece.find('=');
  if (equals == std::string_view::npos || piece.find('=', equals + 1) != std::string_view::npos) {
    return std::nullopt;
  }
  return std::make_pair(piece.substr(0, equals), piece.substr(equals + 1));
}

// What a byte of a query is to the one pass that reads it.
enum QueryByte : unsigned char { kPlainByte = 0, kSeparatorByte = 1, kEqualsByte = 2, kPercentByte = 4, kHighByte = 8 };

constexpr std::array<unsigned char, 256> kQueryBytes = [] {
  std::array<unsigned char, 256> classes{};
  classes[static_cast<unsigned char>('&')] = kSeparatorByte;
  classes[static_cast<unsigned char>(';')] = kSeparatorByte;
  classes[static_cast<unsigned char>('=')] = kEqualsByte;
  classes[static_cast<unsigned char>('%')] = kPercentByte;
  for (std::size_t byte = 0x80; byte < 0x100; ++byte) classes[byte] = kHighByte;
  return classes;
}();

// Sixteen bytes of text as one vector (the compiler's vector extension: one register
// where the machine has them, plain code elsewhere).
using Bytes16 = unsigned char __attribute__((vector_size(16)));

Bytes16 load16(const char* bytes) {
  Bytes16 vector;
  std::memcpy(&vector, bytes, sizeof vector);
  return vector;
}

// One bit per lane of a comparison's result (a match is all ones), lane 0 lowest.
std::uint32_t laneBits(Bytes16 found) {
#if defined(__SSE2__)
  // One instruction where the machine has it: the top bit of every lane.
  __m128i lanes;
  std::memcpy(&lanes, &found, sizeof lanes);
  return static_cast<std::uint32_t>(_mm_movemask_epi8(lanes));
#else
  if constexpr (std::endian::native == std::endian::little) {
    // The top bit of each byte of a half, gathered into its top byte by one multiply.
    std::uint64_t halves[2];
    std::memcpy(halves, &found, sizeof halves);
    constexpr std::uint64_t kTopBits = 0x8080808080808080ull, kGather = 0x0002040810204081ull;
    return static_cast<std::uint32_t>(((halves[0] & kTopBits) * kGather) >> 56) |
           static_cast<std::uint32_t>(((halves[1] & kTopBits) * kGather) >> 56) << 8;
  } else {
    std::uint32_t bits = 0;
    for (int lane = 0; lane < 16; ++lane) bits |= static_cast<std::uint32_t>(found[lane] != 0) << lane;
    return bits;
  }
#endif
}

// The sum of the sixteen lanes, in a few steps rather than a step per lane.
std::size_t laneSum(Bytes16 lanes) {
  std::uint64_t halves[2];
  std::memcpy(halves, &lanes, sizeof halves);
  constexpr std::uint64_t kEvenBytes = 0x00FF00FF00FF00FFull, kAllPairs = 0x0001000100010001ull;
  std::size_t sum = 0;
  for (std::uint64_t half : halves) {
    const std::uint64_t pairs = (half & kEvenBytes) + ((half >> 8) & kEvenBytes);  // four sums of two lanes
    sum += static_cast<std::size_t>((pairs * kAllPairs) >> 48);                    // their total (at most 2040)
  }
  return sum;
}

// Calls `visit(at)` for each byte of the text that is not plain, in order. The text is
// read sixteen bytes a step and each step's bytes found by their bits, so a query costs
// a step per sixteen bytes and a call per separator, "=" or escape, never a second look
// at a byte. The last step reads the last sixteen bytes again, its lanes already seen
// ignored; only a text shorter than sixteen bytes is copied.
template <typename Visit>
void forEachQuerySyntaxByte(std::string_view text, Visit&& visit) {
  const auto syntax = [](Bytes16 v) {
    return laneBits((v == '&') | (v == ';') | (v == '=') | (v == '%') | (v >= 0x80));
  };
  const auto visitBits = [&](std::size_t base, std::uint32_t bits) {
    for (; bits != 0; bits &= bits - 1) visit(base + static_cast<std::size_t>(std::countr_zero(bits)));
  };
  const std::size_t size = text.size();
  if (size < 16) {
    char padded[16] = {};  // zero bytes are plain
    if (size > 0) std::memcpy(padded, text.data(), size);
    visitBits(0, syntax(load16(padded)));
    return;
  }
  std::size_t at = 0;
  for (; size - at >= 16; at += 16) visitBits(at, syntax(load16(text.data() + at)));
  if (at < size)
    visitBits(size - 16, syntax(load16(text.data() + size - 16)) >> (16 - (size - at)) << (16 - (size - at)));
}

// A key or value as it decodes: the text itself when it holds no escape (checked for
// UTF-8 only when it has bytes above 0x7F), else its decoding in `buffer`; false when it
// does not decode.
bool decodedPart(std::string_view text, unsigned char classes, std::string& buffer, std::string_view& part) {
  if ((classes & kPercentByte) == 0) {
    if ((classes & kHighByte) != 0 && !platform::PercentEncoding::isValidUTF8(text)) return false;
    part = text;
    return true;
  }
  if (!platform::PercentEncoding::decode(text, buffer)) return false;
  part = buffer;
  return true;
}

// A dictionary of strings built in first-seen order, where a later value of a key
// replaces the earlier one in its place; its keys are found through an index, so a
// message of many pairs costs linear time, not quadratic.
class StringDictionaryBuilder {
 public:
  // Fills `dictionary`, an empty dictionary, made by the caller so that it is returned
  // without a move.
  StringDictionaryBuilder(ordered_json& dictionary, std::size_t expected)
      : members_(&dictionary.get_ref<ordered_json::object_t&>()), keys_(*members_) {
    members_->reserve(expected);
  }

  // `key` and `value` are copied: the caller's buffers are used again for the next pair.
  void set(std::string_view key, std::string_view value) {
    if (auto* existing = keys_.find(key)) {
      existing->get_ref<std::string&>().assign(value);
      return;
    }
    // Both strings made straight from the text, each in one step.
    members_->emplace_back(std::piecewise_construct, std::forward_as_tuple(key), std::forward_as_tuple(value));
    keys_.added();
  }

  // The same with a value still percent-encoded: a new key's value decodes straight into
  // its place, with no copy from a buffer. Nothing changes when the value does not decode.
  void setDecoding(std::string_view key, std::string_view encodedValue, std::string& buffer) {
    if (auto* existing = keys_.find(key)) {
      if (platform::PercentEncoding::decode(encodedValue, buffer)) existing->get_ref<std::string&>().swap(buffer);
      return;
    }
    auto& member = members_->emplace_back(std::piecewise_construct, std::forward_as_tuple(key),
                                          std::forward_as_tuple(std::string_view()));
    if (!platform::PercentEncoding::decode(encodedValue, member.second.get_ref<std::string&>())) {
      members_->pop_back();
      return;
    }
    keys_.added();
  }

 private:
  ordered_json::object_t* members_;
  platform::JSONObjectIndex keys_;
};

std::string valueDescription(const ordered_json& value) {
  if (value.is_string()) return value.get<std::string>();
  if (auto text = platform::stringValue(value)) return *text;
  if (value.is_null()) return "";
  return value.dump(-1, ' ', false, ordered_json::error_handler_t::replace);
}

const platform::PercentEncoding::AllowedSet& keyAllowed() {
  static const auto set = platform::PercentEncoding::queryAllowed().removing("&=#;+");
  return set;
}

}  // namespace

std::string_view ZUMQueryTextOfURL(const platform::URL& url, std::string& storage) {
  if (url.query()) return *url.query();
  // The whole resource specifier counts, fragment included: a message URL such as
  // "tolm://x/m#f?a=1" keeps its parameters behind the fragment.
  storage = url.resourceSpecifier();
  const std::size_t question = storage.find('?');
  if (question == std::string::npos) return {};
  return std::string_view(storage).substr(question + 1);
}

std::size_t ZUMQueryPieceCount(std::string_view query) {
  std::size_t separators = 0;
  std::size_t at = 0;
  while (query.size() - at >= 16) {
    // Counted per lane, sixteen bytes a step, for at most 255 steps before a lane could wrap.
    Bytes16 lanes = {};
    for (std::size_t steps = std::min<std::size_t>((query.size() - at) / 16, 255); steps > 0; --steps, at += 16) {
      const Bytes16 v = load16(query.data() + at);
      lanes -= reinterpret_cast<Bytes16>((v == '&') | (v == ';'));  // a match is all ones: -1
    }
    separators += laneSum(lanes);
  }
  // The last bytes as in forEachQuerySyntaxByte: the last sixteen read again, the lanes
  // already counted left out.
  const std::size_t rest = query.size() - at;
  if (rest == 0) return 1 + separators;
  char padded[16] = {};
  const char* last = padded;
  if (query.size() >= 16) {
    last = query.data() + query.size() - 16;
  } else {
    std::memcpy(padded, query.data(), rest);
  }
  const Bytes16 v = load16(last);
  std::uint32_t bits = laneBits((v == '&') | (v == ';'));
  if (query.size() >= 16) bits >>= 16 - rest;
  for (; bits != 0; bits &= bits - 1) ++separators;  // a few bits: no call to a library count
  return 1 + separators;
}

ordered_json ZUMQueryParametersFromURL(const std::optional<platform::URL>& url, bool lowercaseKeys) {
  if (!url) return ordered_json::object();
  std::string storage;
  return ZUMQueryParametersFromString(ZUMQueryTextOfURL(*url, storage), lowercaseKeys);
}

ordered_json ZUMQueryParametersFromString(std::string_view query, bool lowercaseKeys) {
  ordered_json dictionary(ordered_json::value_t::object);  // made directly, not from an initializer list
  StringDictionaryBuilder parameters(dictionary, ZUMQueryPieceCount(query));
  // One pass over the text, from one separator, "=" or escape to the next; a pair
  // without escapes is copied straight from the text into the dictionary, an escaped
  // value decodes straight into its place. Escaped keys, and escaped values replacing
  // earlier ones, decode into these buffers.
  std::string keyBuffer, valueBuffer;
  std::size_t start = 0;
  std::size_t equals = std::string_view::npos;  // the piece's first "="
  std::size_t equalsCount = 0;
  unsigned char classes[2] = {};  // of the key, of the value (an "=" adds its own bit)
  const auto endPiece = [&](std::size_t end) {
    std::string_view key, value;
    if (equalsCount == 1 && decodedPart(query.substr(start, equals - start), classes[0], keyBuffer, key)) {
      const std::string_view encodedValue = query.substr(equals + 1, end - equals - 1);
      if (lowercaseKeys) {
        keyBuffer = lowercased(key);
        key = keyBuffer;
      }
      if ((classes[1] & kPercentByte) != 0) {
        parameters.setDecoding(key, encodedValue, valueBuffer);
      } else if (decodedPart(encodedValue, classes[1], valueBuffer, value)) {
        parameters.set(key, value);
      }
    }
    start = end + 1;
    equalsCount = 0;
    classes[0] = classes[1] = 0;
  };
  forEachQuerySyntaxByte(query, [&](std::size_t at) {
    const unsigned char byte = kQueryBytes[static_cast<unsigned char>(query[at])];
    if (byte == kSeparatorByte) {
      endPiece(at);
      return;
    }
    // No branch on which of "=", "%" or a high byte it is: their order in a piece is
    // the page's to choose.
    const bool isEquals = byte == kEqualsByte;
    if (isEquals && equalsCount == 0) equals = at;
    classes[equalsCount != 0] |= byte;
    equalsCount += isEquals;
  });
  endPiece(query.size());
  return dictionary;
}

std::optional<std::vector<std::string>> ZUMQueryValuesForKey(const std::optional<platform::URL>& url,
                                                             std::string_view key) {
  if (!url || !url->query()) return std::nullopt;
  std::vector<std::string> values;
  for (std::string_view piece : split(*url->query(), "&")) {
    auto keyValue = pair(piece);
    if (!keyValue) continue;
    auto name = platform::PercentEncoding::decode(keyValue->first);
    if (!name || *name != key) continue;
    if (auto value = platform::PercentEncoding::decode(keyValue->second)) values.push_back(std::move(*value));
  }
  if (values.empty()) return std::nullopt;
  return values;
}

std::optional<std::string> ZUMQueryValueForKey(const std::optional<platform::URL>& url, std::string_view key) {
  auto values = ZUMQueryValuesForKey(url, key);
  if (!values) return std::nullopt;
  return values->front();
}

std::optional<platform::URL> ZUMURLByAppendingQueryParameters(const platform::URL& url,
                                                              const ordered_json& parameters) {
  if (!parameters.is_object() || parameters.empty()) return url;
  const std::string& whole = url.absoluteString();
  std::size_t hash = whole.find('#');
  std::string head = whole.substr(0, hash);
  std::string fragment = hash == std::string::npos ? "" : whole.substr(hash);

  // Everything from "adurl=" on, the fragment included, goes back on last.
  std::optional<std::string> adurlTail;
  for (std::size_t at = head.find("adurl="); at != std::string::npos; at = head.find("adurl=", at + 1)) {
    if (at > 0 && (head[at - 1] == '&' || head[at - 1] == '?')) {
      adurlTail = head.substr(at) + fragment;
      head.resize(at - 1);
      break;
    }
  }

  auto addSeparator = [&head] {
    if (head.find('?') == std::string::npos)
      head += '?';
    else if (head.back() != '?' && head.back() != '&')
      head += '&';
  };
  for (const auto& [key, value] : parameters.items()) {
    addSeparator();
    head += platform::PercentEncoding::encode(key, keyAllowed());
    std::string encoded = ZUMPercentEncodedString(valueDescription(value));
    if (!encoded.empty()) head += "=" + encoded;
  }
  if (adurlTail) {
    addSeparator();
    head += *adurlTail;
  } else {
    head += fragment;
  }
  return platform::URL::fromString(head);
}

std::optional<std::string> ZUMURLInnerPathString(const platform::URL& url) {
  auto components = url.pathComponents();
  if (components.size() < 4) return std::nullopt;
  return components[2] + "/" + components[3];
}

std::string ZUMURLStringWithoutFragment(const platform::URL& url) {
  const std::string& whole = url.absoluteString();
  return whole.substr(0, whole.find('#'));
}

std::string ZUMLowercasedScheme(const platform::URL& url) {
  return platform::asciiLowercased(url.scheme().value_or(""));
}

bool ZUMURLOpensInAnotherApplication(const platform::URL& url) {
  const auto scheme = ZUMLowercasedScheme(url);
  return !scheme.empty() && scheme != "file" && scheme != "about" && scheme != "javascript" && scheme != "data";
}

bool ZUMURLHasScheme(const std::optional<platform::URL>& url, std::string_view scheme) {
  return url && url->scheme() && equalIgnoringCase(*url->scheme(), scheme);
}

bool ZUMURLHasHost(const std::optional<platform::URL>& url, std::string_view host) {
  if (!url) return false;
  auto urlHost = url->host();
  return urlHost && equalIgnoringCase(*urlHost, host);
}

bool ZUMURLMatchesAnyPattern(const std::optional<platform::URL>& url, const std::vector<std::string>& patterns) {
  if (!url) return false;
  for (const std::string& pattern : patterns) {
    auto expression = ZUMRegularExpression::create(pattern, ZUMRegularExpression::kCaseInsensitive);
    if (expression && expression->matches(url->absoluteString())) return true;
  }
  return false;
}

std::optional<std::string> ZUMStringByRemovingTrailingSlash(std::optional<std::string> string) {
  if (string && !string->empty() && string->back() == '/') string->pop_back();
  return string;
}

std::string ZUMPercentEncodedString(std::string_view string) {
  static const platform::PercentEncoding::AllowedSet allowed =
      platform::PercentEncoding::alphanumerics().adding("-._~");
  return platform::PercentEncoding::encode(string, allowed);
}

std::optional<std::vector<platform::URL>> ZUMURLsFromStrings(const std::vector<std::string>& strings) {
  std::vector<platform::URL> urls;
  for (const std::string& string : strings) {
    if (auto url = platform::URL::fromString(string)) urls.push_back(std::move(*url));
  }
  if (urls.empty()) return std::nullopt;
  return urls;
}

std::optional<std::vector<std::string>> ZUMStringsFromURLs(const std::vector<platform::URL>& urls) {
  if (urls.empty()) return std::nullopt;
  std::vector<std::string> strings;
  strings.reserve(urls.size());
  for (const auto& url : urls) strings.push_back(url.absoluteString());
  return strings;
}

std::vector<platform::URL> ZUMURLsFromWhitespaceSeparatedString(std::optional<std::string_view> string) {
  std::vector<platform::URL> urls;
  if (!string) return urls;
  for (std::string_view piece : split(*string, " \t\n\r\f\v")) {
    if (piece.empty()) continue;
    if (auto url = platform::URL::fromString(piece)) urls.push_back(std::move(*url));
  }
  return urls;
}

std::optional<platform::URLRequest> ZUMURLRequestWithBody(const std::optional<platform::URL>& url,
                                                          std::optional<std::string> body,
                                                          std::optional<platform::HTTPHeaderFields> headers,
                                                          std::optional<std::string> contentType) {
  if (!url) return std::nullopt;
  platform::URLRequest request(*url);
  if (headers) request.setAllHTTPHeaderFields(std::move(*headers));
  std::string userAgent = ZUMNetwork::sharedInstance()->userAgentString();
  if (!userAgent.empty()) request.setValue(std::move(userAgent), "User-Agent");
  if (body && contentType) {
    request.setHTTPMethod("POST");
    request.setValue(std::to_string(body->size()), "Content-Length");
    request.setValue(std::move(*contentType), "Content-Type");
    request.setHTTPBody(std::move(body));
  }
  return request;
}
