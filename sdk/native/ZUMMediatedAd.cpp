#include "sdk/native/ZUMMediatedAd.h"

#include "platform/base/MainThreadChecker.h"

void ZUMMediatedAd::addClickHandler(Handler handler) {
  if (handler) clickHandlers_.push_back(std::move(handler));
}

void ZUMMediatedAd::addImpressionHandler(Handler handler) {
  if (handler) impressionHandlers_.push_back(std::move(handler));
}

void ZUMMediatedAd::reportClick() { runClickHandlers(); }

void ZUMMediatedAd::reportImpression() { runImpressionHandlers(); }

void ZUMMediatedAd::runClickHandlers() const { run(clickHandlers_); }

void ZUMMediatedAd::runImpressionHandlers() const { run(impressionHandlers_); }

void ZUMMediatedAd::run(const std::vector<Handler>& handlers) {
  platform::assertMainThread();
  // A handler may add another: run the ones there are now.
  const std::vector<Handler> snapshot = handlers;
  for (const auto& handler : snapshot) handler();
}
