// A parsed URL, as the platform's URL class gives it: an immutable value made from a
// string (RFC 3986 syntax), optionally resolved against a base URL. A string holding a
// character that a URL cannot hold (a space, a quote, a byte above 0x7F, a lone "%")
// does not make a URL.
//
// Components are returned as written in the string (still percent-encoded), except
// path() and pathComponents(), which are decoded as the platform decodes them. An
// absent component (no "?" at all) is std::nullopt; a present but empty one ("?" at the
// end) is an empty string.
//
// Like the platform, a URL whose text after "scheme:" does not begin with "/" (such as
// "mailto:a@b?x" or "tolm:click") is opaque: it has a scheme, a resource specifier and a
// fragment, but no host, path or query.
//
// A value type: copy it freely, use it from any thread.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

class URL {
 public:
  // Parses an absolute URL ("https://h/p?q#f") or a relative reference ("p?q", "/p",
  // "//h/p"). std::nullopt for an empty string or one that is not a URL.
  [[nodiscard]] static std::optional<URL> fromString(std::string_view string);
  // Resolves `string` against `base` (RFC 3986 section 5.2; dot segments removed). The
  // result is absolute when `base` has a scheme; std::nullopt when `string` is not a URL,
  // or when it is relative and `base` has no scheme. An empty string gives the base
  // without its fragment.
  [[nodiscard]] static std::optional<URL> fromString(std::string_view string, const URL& base);
  // A "file://" URL for a file-system path (made absolute against the working
  // directory); a directory URL ends in "/".
  static URL fileURL(const std::filesystem::path& path, bool isDirectory = false);

  // The whole URL: the string it was made from, or the resolved string.
  const std::string& absoluteString() const { return string_; }

  // As written; a scheme is not lowercased.
  const std::optional<std::string>& scheme() const { return scheme_; }
  // Everything after "scheme:" (the whole string when there is no scheme).
  std::string resourceSpecifier() const;

  // The authority's parts. host() is present (perhaps empty) whenever the URL has an
  // authority ("//"); an IPv6 literal comes without its brackets.
  const std::optional<std::string>& user() const { return user_; }
  const std::optional<std::string>& password() const { return password_; }
  std::optional<std::string> host() const;
  std::optional<int> port() const { return port_; }

  // The path, percent-decoded, with a trailing "/" removed unless the path is "/".
  // Empty when the URL has an empty path ("tolm://host?x"); std::nullopt for an opaque
  // URL and when the path does not decode to UTF-8.
  std::optional<std::string> path() const;
  // The path as written, still percent-encoded; empty for an opaque URL.
  const std::string& percentEncodedPath() const;
  // The decoded path split at "/": "/" first when the path begins with one, empty
  // pieces skipped ("/a/b/" -> {"/", "a", "b"}). Empty when path() is empty or absent.
  std::vector<std::string> pathComponents() const;

  // As written, without the "?" or "#".
  const std::optional<std::string>& query() const { return query_; }
  const std::optional<std::string>& fragment() const { return fragment_; }

  // True for "file" URLs (any case).
  bool isFileURL() const;

  // This URL with `component` (percent-encoded as a path piece, "/" kept) added to its
  // path after a "/"; query and fragment stay. A directory component ends in "/".
  // Opaque URLs are returned unchanged.
  URL appendingPathComponent(std::string_view component, bool isDirectory = false) const;

  // Two URLs are equal when their strings are.
  bool operator==(const URL& other) const { return string_ == other.string_; }

 private:
  URL() = default;
  [[nodiscard]] static std::optional<URL> parse(std::string_view string);
  [[nodiscard]] static std::optional<URL> compose(std::optional<std::string> scheme,
                                                  std::optional<std::string> authority, std::string path,
                                                  std::optional<std::string> query,
                                                  std::optional<std::string> fragment);

  std::string string_;
  std::optional<std::string> scheme_;
  std::optional<std::string> authority_;  // raw, between "//" and the path
  std::optional<std::string> user_;
  std::optional<std::string> password_;
  std::optional<std::string> host_;  // raw, brackets of an IP literal included
  std::optional<int> port_;
  std::string path_;  // raw; for an opaque URL, the text before "#"
  std::optional<std::string> query_;
  std::optional<std::string> fragment_;
  bool opaque_ = false;
};

}  // namespace platform
