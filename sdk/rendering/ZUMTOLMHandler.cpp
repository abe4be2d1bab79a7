#include "sdk/rendering/ZUMTOLMHandler.h"

#include <cmath>
#include <limits>

#include <nlohmann/json.hpp>

#include "platform/base/MainThreadChecker.h"
#include "platform/base/RunLoop.h"
#include "platform/base/StringConversions.h"
#include "platform/base/URL.h"
#include "platform/net/URLRequest.h"
#include "sdk/foundation/ZUMValues.h"
#include "sdk/rendering/ZUMAdView.h"
#include "sdk/rendering/ZUMNotification.h"

std::shared_ptr<ZUMTOLMHandler> ZUMTOLMHandler::create() {
  return std::shared_ptr<ZUMTOLMHandler>(new ZUMTOLMHandler());
}

ZUMTOLMHandler::~ZUMTOLMHandler() = default;

bool ZUMTOLMHandler::handleRequest(const platform::URLRequest& request, const std::shared_ptr<ZUMAdView>& adView) {
  if (!ZUMNotification::isNotificationURL(request.url())) return false;
  auto notification = ZUMNotification::createWithNotificationURL(request.url());
  return notification && handleNotification(notification, adView);
}

bool ZUMTOLMHandler::handleNotification(const std::shared_ptr<const ZUMNotification>& notification,
                                        const std::shared_ptr<ZUMAdView>& adView) {
  platform::assertMainThread();
  if (!notification || !adView) return false;
  const ActionTable* table = actionBlockDictionary();
  if (!table) return false;
  const auto entry = table->find(notification->name());
  if (entry == table->end()) return false;
  if (shouldBufferNotification(*notification, *adView)) {
    bufferedNotifications_.emplace_back(notification, adView);
  } else {
    entry->second(*this, *adView, notification->parameters());
  }
  return true;
}

bool ZUMTOLMHandler::shouldBufferNotification(const ZUMNotification&, const ZUMAdView&) { return false; }

void ZUMTOLMHandler::flushBuffer() {
  platform::assertMainThread();
  auto held = std::exchange(bufferedNotifications_, {});
  for (const auto& [notification, adView] : held) handleNotification(notification, adView);
}

bool ZUMTOLMHandler::runSubAction(std::string_view key, ZUMAdView& adView, const nlohmann::ordered_json& parameters) {
  const ActionTable* table = subActionBlockDictionary();
  const auto value = ZUMStringForKey(parameters, key);
  if (!table || !value) return false;
  const auto entry = table->find(*value);
  if (entry == table->end()) return false;
  entry->second(*this, adView, parameters);
  return true;
}

bool ZUMTOLMHandler::hasParameter(const nlohmann::ordered_json& parameters, std::string_view key) {
  return parameters.is_object() && parameters.contains(key);
}

bool ZUMTOLMHandler::flagParameter(const nlohmann::ordered_json& parameters, std::string_view key) {
  const auto value = ZUMStringForKey(parameters, key);
  return value && (*value == "1" || *value == "true");
}

double ZUMTOLMHandler::doubleParameter(const nlohmann::ordered_json& parameters, std::string_view key, double missing) {
  const auto value = ZUMStringForKey(parameters, key);
  if (!value) return missing;
  const double number = platform::stringDoubleValue(*value);
  return std::isfinite(number) ? number : missing;
}

std::optional<double> ZUMTOLMHandler::finiteDoubleParameter(const nlohmann::ordered_json& parameters,
                                                            std::string_view key) {
  const auto value = ZUMStringForKey(parameters, key);
  if (!value) return std::nullopt;
  // Text that does not begin with a number ("nan", "inf", "abc") is no number here.
  std::size_t i = value->find_first_not_of(" \t\n\r\f\v");
  if (i != std::string::npos && ((*value)[i] == '+' || (*value)[i] == '-')) ++i;
  if (i != std::string::npos && i < value->size() && (*value)[i] == '.') ++i;
  if (i == std::string::npos || i >= value->size() || (*value)[i] < '0' || (*value)[i] > '9') return std::nullopt;
  const double number = platform::stringDoubleValue(*value);
  if (!std::isfinite(number)) return std::nullopt;
  return number;
}

std::optional<float> ZUMTOLMHandler::finiteFloatParameter(const nlohmann::ordered_json& parameters,
                                                          std::string_view key) {
  const auto number = finiteDoubleParameter(parameters, key);
  if (!number || std::fabs(*number) > std::numeric_limits<float>::max()) return std::nullopt;
  return static_cast<float>(*number);
}

std::int64_t ZUMTOLMHandler::integerParameter(const nlohmann::ordered_json& parameters, std::string_view key,
                                              std::int64_t missing) {
  const auto value = ZUMStringForKey(parameters, key);
  return value ? platform::stringIntegerValue(*value) : missing;
}

bool ZUMTOLMHandler::boolParameter(const nlohmann::ordered_json& parameters, std::string_view key, bool missing) {
  const auto value = ZUMStringForKey(parameters, key);
  return value ? platform::stringBoolValue(*value) : missing;
}

std::optional<platform::URL> ZUMTOLMHandler::URLParameter(const nlohmann::ordered_json& parameters,
                                                          std::string_view key) {
  const auto value = ZUMStringForKey(parameters, key);
  return value ? platform::URL::fromString(*value) : std::nullopt;
}
