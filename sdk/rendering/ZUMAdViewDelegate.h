// The base delegate of a web ad view: it owns the ad's opener and the ordered chain of
// in-page message handlers, decides for every navigation of the page whether the web
// view may load it or whether it is a message, a click, a composer request or a deep
// link, and routes in-page messages through the chain.
//
// The chain. At creation the delegate registers the fourteen handlers of an ad view in
// a fixed order (ZUMTOLMHandlerPlace); a place whose handler class is not registered
// (ZUMRegisterTOLMHandlerMaker) stays empty. Subclasses append theirs after these.
// A message is parsed off the main thread, in arrival order for this delegate, then
// offered on the main queue to a snapshot of the chain taken when it arrived; the first
// handler that claims it ends the walk. An unclaimed message is posted, from the main
// operation queue, as a notification named after it (object: the ad view; user info:
// the parameters), unless its name is reserved for the SDK's or the platform's own
// notifications (ZUMIsReservedNotificationName), which is logged and dropped.
//
// Main thread only.
#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <string_view>
#include <vector>

#include "platform/base/URL.h"
#include "sdk/rendering/ZUMAdViewDelegateProtocol.h"
#include "sdk/rendering/ZUMCSITOLMHandlerDelegate.h"

namespace platform {
class DispatchQueue;
}

class ZUMAdView;
class ZUMAdViewDelegate;
class ZUMNotification;
class ZUMOpener;
class ZUMTOLMHandler;

// The places of an ad view's handlers, in the order they are asked.
enum class ZUMTOLMHandlerPlace : std::size_t {
  ActiveView,
  Opener,  // with the delegate's opener
  Default,
  MRAID,  // with the delegate's opener
  VideoPlayer,
  RewardBasedVideoAd,
  Orientation,
  VideoMetadata,
  AdRefresh,  // with the delegate's opener
  NativeAdVideoClick,
  TCache,
  Analytics,
  DelayPageClose,
  CSI,  // the delegate is its CSI delegate
  Count,
};

// Makes the handler of one place for a new ad-view delegate.
using ZUMTOLMHandlerMaker = std::function<std::shared_ptr<ZUMTOLMHandler>(ZUMAdViewDelegate& delegate)>;
// Registers the handler class of a place (an empty maker leaves it empty). Delegates
// made afterwards use it. Any thread.
void ZUMRegisterTOLMHandlerMaker(ZUMTOLMHandlerPlace place, ZUMTOLMHandlerMaker maker);

// Whether a page's message name would pass for one of the SDK's or the platform's own
// notifications: the SDK's names, and any name that begins "UI", "NS", "ZUM", "kZUM",
// "kAd", "zum" or "delay_page_close" or ends "Notification" (any case).
bool ZUMIsReservedNotificationName(std::string_view name);

class ZUMAdViewDelegate : public ZUMAdViewDelegateProtocol,
                          public ZUMCSITOLMHandlerDelegate,
                          public std::enable_shared_from_this<ZUMAdViewDelegate> {
 public:
  static std::shared_ptr<ZUMAdViewDelegate> create();
  ~ZUMAdViewDelegate() override;
  ZUMAdViewDelegate(const ZUMAdViewDelegate&) = delete;
  ZUMAdViewDelegate& operator=(const ZUMAdViewDelegate&) = delete;

  const std::shared_ptr<ZUMOpener>& opener() const { return opener_; }
  const std::vector<std::shared_ptr<ZUMTOLMHandler>>& TOLMHandlers() const { return TOLMHandlers_; }
  void addTOLMHandler(const std::shared_ptr<ZUMTOLMHandler>& handler);
  bool hasLoadedAtLeastOnce() const { return hasLoadedAtLeastOnce_; }

  // Whether link navigations of the page count as clicks; a subclass may keep them in
  // the page.
  virtual bool handlesClicks() const { return true; }
  bool shouldTreatNavigationTypeAsClick(platform::WebViewNavigationType navigationType) const;
  void handleDeeplinkPlusURL(const platform::URL& url);
  // Snapshots the chain, parses the message off the main thread (after this delegate's
  // earlier messages) and offers it to the snapshot on the main queue.
  void handleTOLMURL(const platform::URL& url, const std::shared_ptr<ZUMAdView>& adView);

  // The navigation policy: true loads in the web view.
  bool adViewDelegateAdViewShouldStartLoadWithRequest(ZUMAdView& adView, const platform::URLRequest& request,
                                                      platform::WebViewNavigationType navigationType);

  // --- ZUMAdViewDelegateProtocol ------------------------------------------------------
  // The policy; an allowed request joins the ad view's record in the URL stash.
  std::optional<bool> adViewShouldStartLoadWithRequest(ZUMAdView& adView, const platform::URLRequest& request,
                                                       platform::WebViewNavigationType navigationType) override;
  // Pushes the status bar's orientation into the page, with its event.
  void adViewDidFinishLoad(ZUMAdView& adView) override;
  // Every handler, in order, replays its held messages.
  void adViewDidMoveToPlacement(ZUMAdView& adView, const std::shared_ptr<ZUMSlotPlacement>& placement) override;

  // --- ZUMCSITOLMHandlerDelegate --------------------------------------------------------
  // The base has no registry of its own.
  std::shared_ptr<ZUMCSI> CSIForTOLMHandler(ZUMTOLMHandler&) override { return nullptr; }

 protected:
  ZUMAdViewDelegate();
  // Registers the handlers of the places; called once by create() (and subclasses').
  void registerHandlers();

 private:
  void walkChain(const std::vector<std::shared_ptr<ZUMTOLMHandler>>& handlers,
                 const std::shared_ptr<const ZUMNotification>& notification, const std::shared_ptr<ZUMAdView>& adView);

  const std::shared_ptr<ZUMOpener> opener_;
  std::vector<std::shared_ptr<ZUMTOLMHandler>> TOLMHandlers_;
  // Messages of this delegate are parsed here, one at a time, so they reach the main
  // queue in the order they arrived.
  const std::shared_ptr<platform::DispatchQueue> parseQueue_;
  bool hasLoadedAtLeastOnce_ = false;
};
