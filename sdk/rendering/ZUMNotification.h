// One message from a page. A page sends a message by navigating to a URL whose scheme
// is "tolm" (any case): the URL's path without its first character is the message's
// name, and the pairs of its query are the message's string parameters:
//
//   tolm://anyhost/click?x=10;y=20&u=a%20b   ->  click {"x": "10", "y": "20", "u": "a b"}
//
// Immutable once made, so it crosses threads freely (parsed on a global queue, handled
// on the main queue).
#pragma once

#include <cstddef>
#include <memory>
#include <optional>
#include <string>

#include <nlohmann/json_fwd.hpp>

#include "platform/base/URL.h"

class ZUMNotification {
  struct Token {};
  // A message and its parameters, made in one allocation.
  struct Storage;

 public:
  // Whether the URL's scheme, lowercased, is "tolm"; false without URL or scheme.
  static bool isNotificationURL(const std::optional<platform::URL>& url);

  // What one message may carry: the URL's whole text, and the pieces of its query
  // (pairs or not). A larger message is dropped with a log line, before it is read, so
  // a hostile page cannot hold the thread that parses it. Real ads' messages (clicks,
  // tracking URLs, small JSON) take a few KiB; the platform reads no longer navigation
  // (platform::WebPage::kMaxNavigationURLBytes).
  static constexpr std::size_t kMaximumURLBytes = 256u << 10;
  static constexpr std::size_t kMaximumParameterCount = 100'000;

  // The message a URL carries; nullptr when it is not a message URL or its name would be
  // empty, or when it carries more than the limits above (both logged). The host is ignored. The name is the URL's (percent-decoded) path without its
  // first character ("/a/b" gives "a/b"); no path, "/", or a path that does not decode
  // to UTF-8 gives no message. The parameters are ZUMQueryParametersFromURL(url, false):
  // "&" and ";" separate pairs, only pieces of exactly two "="-parts count, key and
  // value are percent-decoded as UTF-8 (a pair that fails is dropped), keys keep their
  // case and a later duplicate wins.
  static std::shared_ptr<const ZUMNotification> createWithNotificationURL(const std::optional<platform::URL>& url);

  // nullptr when `name` is absent or empty. `parameters` should be a dictionary of
  // strings: anything else gives an empty one, and entries whose value is not a string
  // are left out, so every parameter value is a string.
  static std::shared_ptr<const ZUMNotification> create(const std::optional<std::string>& name,
                                                       const nlohmann::ordered_json& parameters);

  ZUMNotification(Token, std::string&& name, const nlohmann::ordered_json& parameters);
  ZUMNotification(const ZUMNotification&) = delete;
  ZUMNotification& operator=(const ZUMNotification&) = delete;

  // Never empty.
  const std::string& name() const { return name_; }
  // A dictionary from string to string; empty, never null, without parameters.
  const nlohmann::ordered_json& parameters() const { return parameters_; }

  // "<ZUMNotification: 0x...> name:click parameters:{...}" (parameters as compact JSON).
  std::string description() const;

 private:
  static std::shared_ptr<const ZUMNotification> make(std::string&& name, nlohmann::ordered_json&& parameters);

  const std::string name_;
  const nlohmann::ordered_json& parameters_;  // owned by the Storage that holds this
};
