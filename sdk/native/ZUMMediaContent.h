// The video of a native ad, played in a hidden page of its own: a slot of its own,
// configured like a banner that never refreshes, loads the native-video support page,
// which is handed the ad's "video" dictionary once it says it is ready ("jsLoaded"). Until
// the page has loaded, the content shows the ad's placeholder image; then the slot's ad
// view, whose video controller it offers to the host.
//
// Owns its slot (and so the ad view); is the slot's delegate, ad-load and ad-event
// delegate. The delegate is held weakly; the load time-out holds the content weakly.
// Main thread only; completions and the time-out run on the main queue.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include <nlohmann/json_fwd.hpp>

#include "ZUMMediaContentDisplaying.h"
#include "ZUMSlotAdEventDelegate.h"
#include "ZUMSlotAdLoadDelegate.h"
#include "ZUMSlotDelegate.h"
#include "platform/base/NotificationCenter.h"
#include "platform/base/URL.h"

namespace platform {
class ImageView;
}
class ZUMMediaContentDelegate;
class ZUMNativeAdImage;
class ZUMSlot;
class ZUMVideoOptions;

class ZUMMediaContent final : public ZUMMediaContentDisplaying,
                              public ZUMSlotDelegate,
                              public ZUMSlotAdLoadDelegate,
                              public ZUMSlotAdEventDelegate,
                              public std::enable_shared_from_this<ZUMMediaContent> {
 public:
  // "/vantor/ads/" + these.
  static constexpr const char* kVideoSupportURLName = "native_ad_video_support_url";
  static constexpr const char* kLoadTimeoutName = "zums:native_video_load_timeout";
  static constexpr const char* kScrollViewDisableName = "zum:media_view_scrollview_disable";
  // The support page on the ad server, and the time-out when no usable one is set.
  static constexpr const char* kVideoSupportPath = "/static/sdk/native/native_video_ads.html";
  static constexpr const char* kAdServer = "https://ads.adnetwork.example";
  static constexpr double kDefaultLoadTimeout = 10.0;

  // `videoDictionary` is passed to the page as it is; anything but a dictionary counts as
  // none. Options and dictionary are copied.
  static std::shared_ptr<ZUMMediaContent> create(const nlohmann::ordered_json* videoDictionary,
                                                 std::shared_ptr<ZUMNativeAdImage> placeholderImage,
                                                 const std::shared_ptr<ZUMVideoOptions>& videoOptions);
  ~ZUMMediaContent() override;
  ZUMMediaContent(const ZUMMediaContent&) = delete;
  ZUMMediaContent& operator=(const ZUMMediaContent&) = delete;

  // The user default when it forms an http(s) URL, else the ad server's page.
  static platform::URL videoSupportURL();
  // "vantor.qyra.nativeAds.renderVideo(<JSON>);" with the dictionary as pretty-printed
  // JSON made safe to embed in a script; nullopt when it cannot be written as JSON.
  [[nodiscard]] static std::optional<std::string> renderVideoScript(const nlohmann::ordered_json& configuration);
  // The load time-out in seconds: the user default when it is a positive number (a
  // string "2.5" too), else 10.
  static double loadTimeout();

  // --- ZUMMediaContentDisplaying --------------------------------------------------------
  void loadVideoWithCompletionHandler(CompletionHandler completion) override;
  std::shared_ptr<platform::View> mediaView() override;
  std::shared_ptr<ZUMVideoControlling> videoController() const override;

  std::shared_ptr<ZUMMediaContentDelegate> delegate() const { return delegate_.lock(); }
  void setDelegate(const std::shared_ptr<ZUMMediaContentDelegate>& delegate) { delegate_ = delegate; }
  const std::shared_ptr<ZUMSlot>& slot() const { return slot_; }
  bool hasLoaded() const { return hasLoaded_; }
  const nlohmann::ordered_json* configuration() const { return configuration_.get(); }
  const std::shared_ptr<ZUMNativeAdImage>& placeholderImage() const { return placeholderImage_; }
  const std::shared_ptr<ZUMVideoOptions>& videoOptions() const { return videoOptions_; }

  // --- The slot's callbacks -------------------------------------------------------------
  void slotFinishedLoadingAdContent(ZUMSlot& slot) override;
  void slotDidFailToLoadAdContentWithError(ZUMSlot& slot, const platform::ErrorPtr& error) override;
  ZUMImplemented slotDidLoadVideoWithSize(ZUMSlot& slot, const platform::Size& size) override;
  // The shown view's bounds in window coordinates, turned to the interface orientation,
  // while it is in a window of the main screen; else the zero rectangle.
  std::optional<platform::Rect> frameInInterface() override;

 private:
  ZUMMediaContent(const nlohmann::ordered_json* videoDictionary, std::shared_ptr<ZUMNativeAdImage> placeholderImage,
                  const std::shared_ptr<ZUMVideoOptions>& videoOptions);
  void setUp();
  void handleJavaScriptLoadedNotification();
  void loadDidTimeOut(std::uint64_t load);
  // Takes the pending handler, if any, and calls it with `error` on the main queue.
  void notifyVideoLoadCompletedWithError(platform::ErrorPtr error);
  // The view shown now, made on no demand: the ad view once loaded, else the placeholder
  // image view if it was made.
  std::shared_ptr<platform::View> shownView() const;

  std::unique_ptr<const nlohmann::ordered_json> configuration_;  // nullptr: none
  std::shared_ptr<ZUMNativeAdImage> placeholderImage_;
  std::shared_ptr<platform::ImageView> placeholderImageView_;
  bool hasLoaded_ = false;
  CompletionHandler completionHandler_;
  std::shared_ptr<ZUMVideoOptions> videoOptions_;
  std::weak_ptr<ZUMMediaContentDelegate> delegate_;
  std::shared_ptr<ZUMSlot> slot_;
  // Counts loads, so that the time-out of an earlier one leaves a later one alone.
  std::uint64_t loads_ = 0;
  platform::NotificationCenter::Token jsLoadedObserver_;
};
