#include "platform/base/URL.h"

#include <system_error>

#include "platform/base/PercentEncoding.h"

namespace platform {

namespace {

bool isAlpha(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool isDigit(char c) { return c >= '0' && c <= '9'; }
bool isHex(char c) { return isDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }

// The characters a URL string may hold outside of "%XX" escapes.
bool isURLCharacter(char c) {
  if (isAlpha(c) || isDigit(c)) return true;
  switch (c) {
    case '-':
    case '.':
    case '_':
    case '~':  // unreserved
    case ':':
    case '/':
    case '?':
    case '#':
    case '[':
    case ']':
    case '@':  // gen-delims
    case '!':
    case '$':
    case '&':
    case '\'':
    case '(':
    case ')':
    case '*':
    case '+':
    case ',':
    case ';':
    case '=':  // sub-delims
      return true;
    default:
      return false;
  }
}

bool hasCharacters(std::string_view text, std::string_view characters) {
  return text.find_first_of(characters) != std::string_view::npos;
}

bool isSchemeCharacter(char c) { return isAlpha(c) || isDigit(c) || c == '+' || c == '-' || c == '.'; }

bool equalsIgnoringASCIICase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    char x = a[i], y = b[i];
    if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
    if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
    if (x != y) return false;
  }
  return true;
}

// Drops the last segment of `output`, with the "/" before it.
void removeLastSegment(std::string& output) {
  auto slash = output.rfind('/');
  output.erase(slash == std::string::npos ? 0 : slash);
}

// RFC 3986 section 5.2.4, in linear time.
std::string removeDotSegments(std::string_view input) {
  std::string output;
  output.reserve(input.size());
  while (!input.empty()) {
    if (input.starts_with("../")) {
      input.remove_prefix(3);
    } else if (input.starts_with("./")) {
      input.remove_prefix(2);
    } else if (input.starts_with("/./")) {
      input.remove_prefix(2);
    } else if (input == "/.") {
      output.push_back('/');
      break;
    } else if (input.starts_with("/../")) {
      input.remove_prefix(3);
      removeLastSegment(output);
    } else if (input == "/..") {
      removeLastSegment(output);
      output.push_back('/');
      break;
    } else if (input == "." || input == "..") {
      break;
    } else {
      auto end = input.find('/', 1);
      if (end == std::string_view::npos) end = input.size();
      output.append(input.substr(0, end));
      input.remove_prefix(end);
    }
  }
  return output;
}

}  // namespace

std::optional<URL> URL::fromString(std::string_view string) {
  if (string.empty()) return std::nullopt;
  return parse(string);
}

std::optional<URL> URL::fromString(std::string_view string, const URL& base) {
  auto reference = parse(string);
  if (!reference) return std::nullopt;
  if (reference->scheme_) {
    if (reference->opaque_) return reference;
    return compose(reference->scheme_, reference->authority_, removeDotSegments(reference->path_), reference->query_,
                   reference->fragment_);
  }
  if (!base.scheme_) return std::nullopt;

  std::optional<std::string> authority;
  std::string path;
  std::optional<std::string> query;
  if (reference->authority_) {
    authority = reference->authority_;
    path = removeDotSegments(reference->path_);
    query = reference->query_;
  } else {
    authority = base.authority_;
    if (reference->path_.empty()) {
      path = base.path_;
      query = reference->query_ ? reference->query_ : base.query_;
    } else {
      if (reference->path_.front() == '/') {
        path = removeDotSegments(reference->path_);
      } else {
        std::string merged;
        if (base.authority_ && base.path_.empty()) {
          merged = "/" + reference->path_;
        } else {
          auto slash = base.path_.rfind('/');
          merged = slash == std::string::npos ? std::string() : base.path_.substr(0, slash + 1);
          merged += reference->path_;
        }
        path = removeDotSegments(merged);
      }
      query = reference->query_;
    }
  }
  return compose(base.scheme_, std::move(authority), std::move(path), std::move(query), reference->fragment_);
}

URL URL::fileURL(const std::filesystem::path& path, bool isDirectory) {
  std::error_code error;
  std::filesystem::path absolute = std::filesystem::absolute(path, error);
  if (error) absolute = path;
  std::string encoded = PercentEncoding::encode(absolute.string(), PercentEncoding::pathAllowed());
  if (encoded.empty() || encoded.front() != '/') encoded.insert(encoded.begin(), '/');
  if (isDirectory && encoded.back() != '/') encoded.push_back('/');
  if (auto url = parse("file://" + encoded)) return *url;
  return *parse("file:///");
}

std::string URL::resourceSpecifier() const {
  if (!scheme_) return string_;
  return string_.substr(scheme_->size() + 1);
}

std::optional<std::string> URL::host() const {
  if (!host_) return std::nullopt;
  if (host_->size() >= 2 && host_->front() == '[' && host_->back() == ']') {
    return host_->substr(1, host_->size() - 2);
  }
  return host_;
}

std::optional<std::string> URL::path() const {
  if (opaque_) return std::nullopt;
  auto decoded = PercentEncoding::decode(path_);
  if (!decoded) return std::nullopt;
  if (decoded->size() > 1 && decoded->back() == '/') decoded->pop_back();
  return decoded;
}

const std::string& URL::percentEncodedPath() const {
  static const std::string none;
  return opaque_ ? none : path_;
}

std::vector<std::string> URL::pathComponents() const {
  std::vector<std::string> components;
  auto decoded = path();
  if (!decoded || decoded->empty()) return components;
  std::string_view rest = *decoded;
  if (rest.front() == '/') components.emplace_back("/");
  while (!rest.empty()) {
    auto slash = rest.find('/');
    auto piece = rest.substr(0, slash);
    if (!piece.empty()) components.emplace_back(piece);
    if (slash == std::string_view::npos) break;
    rest.remove_prefix(slash + 1);
  }
  return components;
}

bool URL::isFileURL() const { return scheme_ && equalsIgnoringASCIICase(*scheme_, "file"); }

URL URL::appendingPathComponent(std::string_view component, bool isDirectory) const {
  if (opaque_) return *this;
  while (!component.empty() && component.front() == '/') component.remove_prefix(1);
  std::string path = path_;
  if (path.empty() ? authority_.has_value() : path.back() != '/') path.push_back('/');
  path += PercentEncoding::encode(component, PercentEncoding::pathAllowed());
  if (isDirectory && path.back() != '/') path.push_back('/');
  if (auto url = compose(scheme_, authority_, std::move(path), query_, fragment_)) return *url;
  return *this;
}

std::optional<URL> URL::compose(std::optional<std::string> scheme, std::optional<std::string> authority,
                                std::string path, std::optional<std::string> query,
                                std::optional<std::string> fragment) {
  // Keep a path from reading as an authority or, without a scheme, as one.
  if (!authority && path.starts_with("//")) path.insert(0, "/.");
  if (!scheme && !authority) {
    auto colon = path.find(':');
    if (colon != std::string::npos && colon < path.find('/')) path.insert(0, "./");
  }
  std::string string;
  if (scheme) string += *scheme + ":";
  if (authority) string += "//" + *authority;
  string += path;
  if (query) string += "?" + *query;
  if (fragment) string += "#" + *fragment;
  return parse(string);
}

std::optional<URL> URL::parse(std::string_view string) {
  for (std::size_t i = 0; i < string.size(); ++i) {
    char c = string[i];
    if (c == '%') {
      if (string.size() - i < 3 || !isHex(string[i + 1]) || !isHex(string[i + 2])) return std::nullopt;
      i += 2;
    } else if (!isURLCharacter(c)) {
      return std::nullopt;
    }
  }

  URL url;
  url.string_ = std::string(string);
  std::string_view rest = string;

  auto schemeEnd = rest.find_first_of(":/?#");
  if (schemeEnd != std::string_view::npos && rest[schemeEnd] == ':' && schemeEnd > 0 && isAlpha(rest[0])) {
    bool valid = true;
    for (std::size_t i = 1; i < schemeEnd; ++i) valid = valid && isSchemeCharacter(rest[i]);
    if (valid) {
      url.scheme_ = std::string(rest.substr(0, schemeEnd));
      rest.remove_prefix(schemeEnd + 1);
    }
  }

  if (auto hash = rest.find('#'); hash != std::string_view::npos) {
    auto fragment = rest.substr(hash + 1);
    if (hasCharacters(fragment, "#[]")) return std::nullopt;
    url.fragment_ = std::string(fragment);
    rest = rest.substr(0, hash);
  }

  if (url.scheme_ && !rest.starts_with("/")) {
    if (hasCharacters(rest, "[]")) return std::nullopt;
    url.opaque_ = true;
    url.path_ = std::string(rest);
    return url;
  }

  if (auto question = rest.find('?'); question != std::string_view::npos) {
    auto query = rest.substr(question + 1);
    if (hasCharacters(query, "[]")) return std::nullopt;
    url.query_ = std::string(query);
    rest = rest.substr(0, question);
  }

  if (rest.starts_with("//")) {
    rest.remove_prefix(2);
    auto authorityEnd = rest.find('/');
    if (authorityEnd == std::string_view::npos) authorityEnd = rest.size();
    std::string_view authority = rest.substr(0, authorityEnd);
    url.authority_ = std::string(authority);
    rest.remove_prefix(authorityEnd);

    if (auto at = authority.find('@'); at != std::string_view::npos) {
      auto userInfo = authority.substr(0, at);
      if (hasCharacters(userInfo, "[]")) return std::nullopt;
      auto colon = userInfo.find(':');
      url.user_ = std::string(userInfo.substr(0, colon));
      if (colon != std::string_view::npos) url.password_ = std::string(userInfo.substr(colon + 1));
      authority.remove_prefix(at + 1);
    }
    if (hasCharacters(authority, "@")) return std::nullopt;

    std::string_view host, port;
    bool hasPort = false;
    if (authority.starts_with("[")) {
      auto close = authority.find(']');
      if (close == std::string_view::npos || close < 2) return std::nullopt;
      host = authority.substr(0, close + 1);
      if (hasCharacters(host.substr(1, close - 1), "[]")) return std::nullopt;
      auto after = authority.substr(close + 1);
      if (!after.empty()) {
        if (after.front() != ':') return std::nullopt;
        hasPort = true;
        port = after.substr(1);
      }
    } else {
      auto colon = authority.find(':');
      host = authority.substr(0, colon);
      if (colon != std::string_view::npos) {
        hasPort = true;
        port = authority.substr(colon + 1);
      }
      if (hasCharacters(host, "[]")) return std::nullopt;
    }
    if (hasPort && !port.empty()) {
      int value = 0;
      for (char c : port) {
        if (!isDigit(c)) return std::nullopt;
        value = value * 10 + (c - '0');
        if (value > 65535) return std::nullopt;
      }
      url.port_ = value;
    }
    url.host_ = std::string(host);
  } else if (!url.scheme_) {
    // A relative path whose first segment holds ":" would read as a scheme.
    auto colon = rest.find(':');
    if (colon != std::string_view::npos && colon < rest.find('/')) return std::nullopt;
  }

  if (hasCharacters(rest, "[]")) return std::nullopt;
  url.path_ = std::string(rest);
  return url;
}

}  // namespace platform
