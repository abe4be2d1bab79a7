#include "sdk/rendering/ZUMTOLMHandler.h"

#include <nlohmann/json.hpp>

#include "platform/net/URLRequest.h"
#include "sdk/foundation/ZUMValues.h"
#include "sdk/rendering/ZUMAdView.h"
#include "sdk/rendering/ZUMNotification.h"

std::shared_ptr<ZUMTOLMHandler> ZUMTOLMHandler::create() { return std::shared_ptr<ZUMTOLMHandler>(new ZUMTOLMHandler()); }

ZUMTOLMHandler::~ZUMTOLMHandler() = default;

bool ZUMTOLMHandler::handleRequest(const platform::URLRequest& request, const std::shared_ptr<ZUMAdView>& adView) {
  if (!ZUMNotification::isNotificationURL(request.url())) return false;
  auto notification = ZUMNotification::createWithNotificationURL(request.url());
  return notification && handleNotification(notification, adView);
}

bool ZUMTOLMHandler::handleNotification(const std::shared_ptr<const ZUMNotification>& notification,
                                        const std::shared_ptr<ZUMAdView>& adView) {
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
