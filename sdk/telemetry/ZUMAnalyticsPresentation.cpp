#include "sdk/telemetry/ZUMAnalyticsPresentation.h"

#include "sdk/telemetry/ZUMAnalytics.h"

ZUMPresentationAnalytics::Screen ZUMAnalyticsPresentation::currentScreen() {
  Screen screen;
  if (auto analytics = ZUMAnalytics::sharedInstance()) analytics->getScreenName(screen.name, screen.screenClass);
  return screen;
}

void ZUMAnalyticsPresentation::setScreenName(const std::string& name) {
  if (auto analytics = ZUMAnalytics::sharedInstance()) analytics->setScreenName(name, std::nullopt);
}
