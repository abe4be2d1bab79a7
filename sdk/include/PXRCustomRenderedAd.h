// An ad the host draws itself instead of the SDK's ad view: the creative's HTML and base
// URL, and the calls through which the host reports back. The host renders the HTML,
// calls finishedRenderingAdView() once it is drawn, and from then on recordImpression()
// and recordClick() as they happen; both are dropped before the rendering is reported.
//
// Holds its format object (the event handler) strongly, so reports reach it while the
// host keeps this ad. Main thread only.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "platform/base/URL.h"

namespace platform {
class View;
}

class PXRCustomRenderedAdEventHandler;

class PXRCustomRenderedAd {
 public:
  static std::shared_ptr<PXRCustomRenderedAd> create(std::optional<std::string> adHTML,
                                                     std::optional<platform::URL> adBaseURL,
                                                     std::shared_ptr<PXRCustomRenderedAdEventHandler> eventHandler);

  const std::optional<std::string>& adHTML() const { return adHTML_; }
  const std::optional<platform::URL>& adBaseURL() const { return adBaseURL_; }
  bool isRendered() const { return isRendered_; }

  // The host has drawn the ad in `view`.
  void finishedRenderingAdView(const std::shared_ptr<platform::View>& view);
  // Each is forwarded every time, once the rendering was reported; dropped before.
  void recordImpression();
  void recordClick();

 private:
  PXRCustomRenderedAd(std::optional<std::string> adHTML, std::optional<platform::URL> adBaseURL,
                      std::shared_ptr<PXRCustomRenderedAdEventHandler> eventHandler);

  const std::optional<std::string> adHTML_;
  const std::optional<platform::URL> adBaseURL_;
  const std::shared_ptr<PXRCustomRenderedAdEventHandler> eventHandler_;
  bool isRendered_ = false;
};
