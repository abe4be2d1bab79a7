#include "sdk/foundation/ZUMURLUtilities.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>
#include <cstring>
#include <functional>
#include <tuple>

#include <nlohmann/json.hpp>
#include <unicode/locid.h>
#include <unicode/uchar.h>
#include <unicode/unistr.h>

#include "platform/base/ASCIIString.h"
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

// Where the first byte at or after `at` that is not plain is; `size` when there is none.
// Sixteen bytes are looked at in each step, so a pair costs a step or two per separator,
// "=" or escape in it, however long its plain runs.
std::size_t nextQuerySyntax(const char* text, std::size_t at, std::size_t size) {
  for (; at < size; at += 16) {
    Bytes16 v;
    if (size - at >= 16) {
      v = load16(text + at);
    } else {
      char tail[16] = {};  // zero bytes are plain
      std::memcpy(tail, text + at, size - at);
      v = load16(tail);
    }
    const auto found = (v == '&') | (v == ';') | (v == '=') | (v == '%') | (v >= 0x80);
    if constexpr (std::endian::native == std::endian::little) {
      std::uint64_t halves[2];
      std::memcpy(halves, &found, sizeof halves);
      if (halves[0] != 0) return at + static_cast<std::size_t>(std::countr_zero(halves[0]) / 8);
      if (halves[1] != 0) return at + 8 + static_cast<std::size_t>(std::countr_zero(halves[1]) / 8);
    } else {
      for (std::size_t lane = 0; lane < 16; ++lane) {
        if (found[lane] != 0) return at + lane;
      }
    }
  }
  return size;
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
// replaces the earlier one in its place. Small dictionaries are searched directly; from
// kIndexFrom keys on, an open-addressing index of positions finds them, so a message of
// many pairs costs linear time, not quadratic. The index is flat (hash and position in
// one array, at most half full) so that a look-up touches one slot and one key.
class StringDictionaryBuilder {
 public:
  explicit StringDictionaryBuilder(std::size_t expected) : members_(&dictionary_.get_ref<ordered_json::object_t&>()) {
    members_->reserve(expected);
  }

  // `key` and `value` are copied: the caller's buffers are used again for the next pair.
  void set(std::string_view key, std::string_view value) {
    if (auto* existing = find(key)) {
      existing->get_ref<std::string&>().assign(value);
      return;
    }
    // Made empty and filled: the library's conversion from a string first tears down the
    // value it replaces, a call per pair.
    members_->emplace_back(std::piecewise_construct, std::forward_as_tuple(key),
                           std::forward_as_tuple(ordered_json::value_t::string))
        .second.get_ref<std::string&>()
        .assign(value);
    const std::size_t count = members_->size();
    if (count < kIndexFrom) return;
    if (2 * count > slots_.size()) {
      rebuildIndex();
    } else {
      insert(hashOf(member(count - 1).first), count - 1);
    }
  }

  ordered_json take() { return std::move(dictionary_); }

 private:
  static constexpr std::size_t kIndexFrom = 16;
  struct Slot {
    std::size_t hash = 0;
    std::size_t position = 0;  // 1 + the member's position; 0: empty
  };

  static std::size_t hashOf(std::string_view key) { return std::hash<std::string_view>{}(key); }
  ordered_json::object_t::value_type& member(std::size_t position) {
    return *(members_->begin() + static_cast<std::ptrdiff_t>(position));
  }

  void insert(std::size_t hash, std::size_t position) {
    const std::size_t mask = slots_.size() - 1;
    std::size_t at = hash & mask;
    while (slots_[at].position != 0) at = (at + 1) & mask;
    slots_[at] = {hash, position + 1};
  }

  void rebuildIndex() {
    std::size_t size = 64;
    while (size < 4 * members_->size()) size *= 2;
    slots_.assign(size, Slot{});
    for (std::size_t position = 0; position < members_->size(); ++position) {
      insert(hashOf(member(position).first), position);
    }
  }

  ordered_json* find(std::string_view key) {
    if (!slots_.empty()) {
      const std::size_t hash = hashOf(key);
      const std::size_t mask = slots_.size() - 1;
      for (std::size_t at = hash & mask; slots_[at].position != 0; at = (at + 1) & mask) {
        auto& candidate = member(slots_[at].position - 1);
        if (slots_[at].hash == hash && candidate.first == key) return &candidate.second;
      }
      return nullptr;
    }
    for (auto& [name, value] : *members_) {
      if (sameKey(name, key)) return &value;
    }
    return nullptr;
  }

  // Keys of one message often share their length and first byte ("k1", "k2"): the last
  // byte tells most of them apart without a call.
  static bool sameKey(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    if (a.empty()) return true;
    return a.back() == b.back() && std::memcmp(a.data(), b.data(), a.size()) == 0;
  }

  ordered_json dictionary_ = ordered_json::object();
  ordered_json::object_t* members_;
  std::vector<Slot> slots_;
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
    for (int lane = 0; lane < 16; ++lane) separators += lanes[lane];
  }
  for (; at < query.size(); ++at) separators += query[at] == '&' || query[at] == ';';
  return 1 + separators;
}

ordered_json ZUMQueryParametersFromURL(const std::optional<platform::URL>& url, bool lowercaseKeys) {
  if (!url) return ordered_json::object();
  std::string storage;
  return ZUMQueryParametersFromString(ZUMQueryTextOfURL(*url, storage), lowercaseKeys);
}

ordered_json ZUMQueryParametersFromString(std::string_view query, bool lowercaseKeys) {
  StringDictionaryBuilder parameters(ZUMQueryPieceCount(query));
  // One pass over the text, from one separator, "=" or escape to the next; a pair
  // without escapes is copied straight from the text into the dictionary. Escaped parts
  // decode into these buffers.
  std::string keyBuffer, valueBuffer;
  const char* const text = query.data();
  const std::size_t size = query.size();
  std::size_t at = 0;
  for (;;) {
    const std::size_t start = at;
    std::size_t equals = std::string_view::npos;
    bool moreEquals = false;
    unsigned char keyClasses = 0, valueClasses = 0;
    for (; (at = nextQuerySyntax(text, at, size)) < size; ++at) {
      const unsigned char byte = kQueryBytes[static_cast<unsigned char>(text[at])];
      if (byte == kSeparatorByte) break;
      if (byte == kEqualsByte) {
        if (equals != std::string_view::npos) moreEquals = true;
        else equals = at;
        continue;
      }
      (equals == std::string_view::npos ? keyClasses : valueClasses) |= byte;
    }
    std::string_view key, value;
    if (equals != std::string_view::npos && !moreEquals &&
        decodedPart(query.substr(start, equals - start), keyClasses, keyBuffer, key) &&
        decodedPart(query.substr(equals + 1, at - equals - 1), valueClasses, valueBuffer, value)) {
      if (lowercaseKeys) {
        parameters.set(lowercased(key), value);
      } else {
        parameters.set(key, value);
      }
    }
    if (at >= size) break;
    ++at;
  }
  return parameters.take();
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
    if (head.find('?') == std::string::npos) head += '?';
    else if (head.back() != '?' && head.back() != '&') head += '&';
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
