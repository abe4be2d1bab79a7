// The base of every in-page message handler. A handler class declares a fixed table
// from message name to action (actionBlockDictionary(), built once per class); the base
// claims a message whose name is in the table and either runs the action at once or,
// while shouldBufferNotification() says so, holds the message with its ad view until
// flushBuffer() replays it. A plain ZUMTOLMHandler has no table and claims nothing.
//
// Handlers whose one message carries several operations keep a second table keyed by
// one parameter's value (subActionBlockDictionary()) and run it with runSubAction().
//
// Parameters are strings; handlers read them with the readers below: a key is present
// whatever its value, flags are "1" or "true" exactly, numbers and booleans are read as
// the platform reads strings, and a number that is not finite reads as the default.
//
// Main thread only.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include <nlohmann/json_fwd.hpp>

namespace platform {
class URL;
class URLRequest;
}  // namespace platform

class ZUMAdView;
class ZUMNotification;

class ZUMTOLMHandler {
 public:
  // An action: the handler, the ad view the message came from, the message's parameters.
  using ActionBlock = std::function<void(ZUMTOLMHandler&, ZUMAdView&, const nlohmann::ordered_json&)>;
  // Names compared exactly, case-sensitive.
  using ActionTable = std::map<std::string, ActionBlock, std::less<>>;

  static std::shared_ptr<ZUMTOLMHandler> create();
  virtual ~ZUMTOLMHandler();
  ZUMTOLMHandler(const ZUMTOLMHandler&) = delete;
  ZUMTOLMHandler& operator=(const ZUMTOLMHandler&) = delete;

  // The table of the handler's class; nullptr (none) in the base.
  virtual const ActionTable* actionBlockDictionary() const { return nullptr; }
  // The sub-action table of the classes that have one; nullptr otherwise.
  virtual const ActionTable* subActionBlockDictionary() const { return nullptr; }

  // false unless the request's URL is a message URL; then handleNotification() of its
  // message (false when the URL carries none).
  bool handleRequest(const platform::URLRequest& request, const std::shared_ptr<ZUMAdView>& adView);
  // Whether the handler claims the message: false when its name is not in the table;
  // otherwise the message is buffered or run, and the answer is true.
  bool handleNotification(const std::shared_ptr<const ZUMNotification>& notification,
                          const std::shared_ptr<ZUMAdView>& adView);
  // Whether a claimed message waits for a replay. The base: never.
  virtual bool shouldBufferNotification(const ZUMNotification& notification, const ZUMAdView& adView);
  // Replays the held messages in the order they were held; those whose condition still
  // holds are held again, in the same order.
  void flushBuffer();
  std::size_t bufferedNotificationCount() const { return bufferedNotifications_.size(); }

  // --- Reading parameters -----------------------------------------------------------
  static bool hasParameter(const nlohmann::ordered_json& parameters, std::string_view key);
  static bool flagParameter(const nlohmann::ordered_json& parameters, std::string_view key);
  static double doubleParameter(const nlohmann::ordered_json& parameters, std::string_view key, double missing = 0);
  static std::int64_t integerParameter(const nlohmann::ordered_json& parameters, std::string_view key,
                                       std::int64_t missing = 0);
  // The number when the key is present and its value begins with a number (after white
  // space: a sign, then a digit or a point and a digit) that reads as finite (in single
  // precision for the float form); std::nullopt otherwise, so that a malformed number
  // ("nan", "inf", "abc", "1e999") is refused rather than read as 0.
  [[nodiscard]] static std::optional<double> finiteDoubleParameter(const nlohmann::ordered_json& parameters,
                                                                   std::string_view key);
  [[nodiscard]] static std::optional<float> finiteFloatParameter(const nlohmann::ordered_json& parameters,
                                                                 std::string_view key);
  static bool boolParameter(const nlohmann::ordered_json& parameters, std::string_view key, bool missing = false);
  [[nodiscard]] static std::optional<platform::URL> URLParameter(const nlohmann::ordered_json& parameters,
                                                                 std::string_view key);

  // Builds a table entry that forwards to a member operation of the handler class T.
  template <class T>
  static ActionBlock action(void (T::*operation)(ZUMAdView&, const nlohmann::ordered_json&)) {
    return [operation](ZUMTOLMHandler& handler, ZUMAdView& adView, const nlohmann::ordered_json& parameters) {
      (static_cast<T&>(handler).*operation)(adView, parameters);
    };
  }

 protected:
  ZUMTOLMHandler() = default;

  // Runs the sub-action named by the parameter `key`; false when the parameter is
  // missing or names no sub-action (the caller then does what its class says).
  bool runSubAction(std::string_view key, ZUMAdView& adView, const nlohmann::ordered_json& parameters);

 private:
  std::vector<std::pair<std::shared_ptr<const ZUMNotification>, std::shared_ptr<ZUMAdView>>> bufferedNotifications_;
};
