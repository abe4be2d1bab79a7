// The view in which a native ad's page opens a second HTML page (the overlay page) over
// the host's ad view, and through which the two pages exchange messages. The ad's page
// drives it with in-page messages that reach it as notifications of its ad view:
//
//   from the ad page       "loadHtml"              loads "overlayHtml" with "baseUrl" ("id")
//                          "showOverlay"           shows this view
//                          "hideOverlay"           hides it
//                          "sendMessageToNativeJs" passed to the overlay page as "sendMessageToSdk"
//   from the overlay page  "hideOverlay"           hides this view
//                          "sendMessageToSdk"      passed to the ad page as "sendMessageToNativeJs",
//                                                  with the overlay's "id" when it has none
//
// Each name is heard only from the ad view it was given and from its own overlay page,
// never from another sender (the page chooses the names, so another ad's page could use
// them too). An ad view that several ads share speaks to each of them in turn: given a
// test of whether a message is for this overlay's ad, the ad page's messages are heard
// only when they are. Base URLs are http(s) or "about:blank" only. Once the overlay page has
// loaded, the ad page hears "sendMessageToNativeJs" with {"messageType": "htmlLoaded"}
// and the overlay's "id".
//
// Holds its ad view, its overlay page and the overlay page's message handler strongly;
// it is the overlay page's delegate (held weakly there). Main thread only.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include <nlohmann/json_fwd.hpp>

#include "platform/ui/View.h"
#include "sdk/rendering/ZUMAdViewDelegateProtocol.h"

namespace platform {
class Notification;
}

class ZUMAdView;
class ZUMAdViewDelegate;

class ZUMOverlayView final : public platform::View, public ZUMAdViewDelegateProtocol {
 public:
  static std::shared_ptr<ZUMOverlayView> create(const platform::Rect& frame = {});
  ~ZUMOverlayView() override;

  const std::shared_ptr<ZUMAdView>& adView() const { return adView_; }
  // Whether the ad page's message is for this overlay's ad; nullptr: always.
  using AddressedTest = std::function<bool(const platform::Notification&)>;
  // A change drops the overlay page, hides this view and moves every observation of the
  // ad page to the new ad view (none for nullptr). `addressed` replaces the earlier test.
  void setAdView(const std::shared_ptr<ZUMAdView>& adView, AddressedTest addressed = nullptr);

  // Loads "overlayHtml" (a string) with "baseUrl" ("about:blank" when absent) into the
  // overlay page, made when there is none. Without HTML, or with a base URL that is not
  // http(s) or "about:blank", nothing is made or loaded (logged).
  void loadOverlayWithUserInfo(const nlohmann::ordered_json& userInfo);
  // Posts "sendMessageToSdk" with the dictionary into the overlay page, made when there
  // is none.
  void sendMessageToOverlayWithUserInfo(const nlohmann::ordered_json& userInfo);
  // Makes a fresh overlay page over this view, in place of any other.
  void addOverlaySubview();
  void removeOverlaySubview();

  // The overlay page, if any.
  const std::shared_ptr<ZUMAdView>& overlayView() const { return overlayView_; }
  // The "id" of the loaded overlay.
  const std::optional<std::string>& overlayIdentifier() const { return overlayIdentifier_; }

  // --- The overlay page's delegate: each callback goes to the page's message handler first.
  std::optional<bool> adViewShouldStartLoadWithRequest(ZUMAdView& adView, const platform::URLRequest& request,
                                                       platform::WebViewNavigationType navigationType) override;
  void adViewDidStartLoad(ZUMAdView& adView) override;
  void adViewDidFinishLoad(ZUMAdView& adView) override;
  void adViewDidFailLoadWithError(ZUMAdView& adView, const platform::ErrorPtr& error) override;

 private:
  explicit ZUMOverlayView(const platform::Rect& frame);
  std::shared_ptr<ZUMOverlayView> self();
  using Handler = void (ZUMOverlayView::*)(const platform::Notification&);
  enum class Page { Ad, Overlay };
  void observe(const char* name, Page page, Handler handler);
  void stopObservingAdView();
  // The ad page's messages reach `handler` only when they are for this overlay's ad.
  void relay(Page page, Handler handler, const platform::Notification& notification);

  // The ad page's messages.
  void handleLoadOverlayView(const platform::Notification& notification);
  void handleShowOverlayView(const platform::Notification& notification);
  void handleHideOverlayView(const platform::Notification& notification);
  void handleSendMessageToOverlayView(const platform::Notification& notification);
  // The overlay page's messages.
  void handleHideOverlayNotification(const platform::Notification& notification);
  void handleSendMessageToAdViewNotification(const platform::Notification& notification);

  std::shared_ptr<ZUMAdView> overlayView_;
  std::unique_ptr<nlohmann::ordered_json> loadOverlayUserInfo_;
  std::shared_ptr<ZUMAdViewDelegate> adViewDelegate_;
  std::optional<std::string> overlayIdentifier_;
  std::shared_ptr<ZUMAdView> adView_;
  AddressedTest addressed_;
};
