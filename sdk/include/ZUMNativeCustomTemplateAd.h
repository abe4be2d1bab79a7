// A native ad whose assets a template on the ad server defines (ad type "3"): the app
// names the template ids it renders, reads string and image assets by key, renders them
// itself, and reports clicks by asset key and the impression by a call. A click may run
// the app's own handler instead of the SDK's click action: the ad's page answers such a
// click with the in-page message "nativeAdCustomClick" naming its "asset".
//
// It adopts the network-side protocol of custom template ads, so that the first-party
// network can hand one over as a mediated ad; it can also stand for another network's
// custom template ad (createWithMediatedNativeAd): the network's template id and assets,
// clicks passed to the network and reported through the mediated wrapper.
//
// Main thread, but for the two click handlers, which are read and written on the ad's
// own serial queue and always run on the main queue.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "ZUMAdLoaderDelegate.h"
#include "ZUMMediatedNativeCustomTemplateAd.h"
#include "ZUMNativeAd.h"

namespace platform {
class DispatchQueue;
class Notification;
class View;
}  // namespace platform
class ZUMMediaContent;
class ZUMMediatedNativeAdImpl;
class ZUMMediaView;
class ZUMNativeAdImage;
class ZUMNativeAdImageLoadQueue;
class ZUMNativeCustomTemplateAd;
class ZUMVideoController;

// The delegate protocol of custom template ads.
class ZUMNativeCustomTemplateAdLoaderDelegate : public virtual ZUMAdLoaderDelegate {
 public:
  // The template ids the app can render: strings of digits, or numbers.
  virtual std::optional<nlohmann::ordered_json> nativeCustomTemplateIDsForAdLoader(ZUMAdLoader& /*loader*/) {
    return std::nullopt;
  }
  virtual void adLoaderDidReceiveNativeCustomTemplateAd(ZUMAdLoader& loader,
                                                        const std::shared_ptr<ZUMNativeCustomTemplateAd>& ad) = 0;
};

// It is also a mediated custom template ad, so that the SDK's own network hands it to a
// waterfall as it is.
class ZUMNativeCustomTemplateAd : public ZUMNativeAd, public ZUMMediatedNativeCustomTemplateAd {
 public:
  using ClickHandler = std::function<void(const std::string& assetKey)>;
  using OneShotHandler = std::function<void()>;

  static constexpr const char* kVideoMediaViewKey = "_videoMediaView";

  // nullptr when "custom_template_id" is neither a string nor a number.
  static std::shared_ptr<ZUMNativeCustomTemplateAd> create(const Json& dictionary,
                                                           const ZUMAdConfiguration::Options& options);
  // The ad standing for another network's custom template ad (the wrapper's `ad`);
  // nullptr when that is no custom template ad.
  static std::shared_ptr<ZUMNativeCustomTemplateAd> createWithMediatedNativeAd(
      const std::shared_ptr<ZUMMediatedNativeAdImpl>& mediatedAd, const ZUMAdConfiguration::Options& options);
  // Registers the kind's class object under its ad loader class name.
  static void registerClass();
  ~ZUMNativeCustomTemplateAd() override;

  // --- App-facing ----------------------------------------------------------------------
  std::string templateID() const override { return templateID_; }
  // Sorted regardless of case.
  std::vector<std::string> availableAssetKeys() const override;
  std::optional<std::string> stringForKey(const std::string& key) const override;
  std::shared_ptr<ZUMNativeAdImage> imageForKey(const std::string& key) const override;
  // The video's media view once it has loaded and while its controller has video.
  std::shared_ptr<ZUMMediaView> mediaView() const;
  const std::shared_ptr<ZUMVideoController>& videoController() const { return videoController_; }
  void performClickOnAssetWithKey(const std::string& key) override;
  // `handler` runs once, when the page answers this click with a custom click; a second
  // click with a handler while one waits is refused.
  void performClickOnAssetWithKey(const std::string& key, OneShotHandler handler);
  void recordImpression();
  void setCustomClickHandler(ClickHandler handler);
  ClickHandler customClickHandler() const;
  std::string description() const;

  // --- ZUMMediatedNativeAd (the same operations as ZUMNativeAd's) -----------------------
  std::shared_ptr<ZUMMediatedNativeAdDelegate> mediatedNativeAdDelegate() override {
    return ZUMNativeAd::mediatedNativeAdDelegate();
  }
  std::optional<Json> extraAssets() const override { return ZUMNativeAd::extraAssets(); }

  // --- ZUMNativeAd ---------------------------------------------------------------------
  std::string adFormatTemplateID() const override { return "3"; }
  bool hasValidConfigurationForRequestParameters(const Json& parameters) const override;
  std::set<std::string> requiredAssets() const override;
  std::shared_ptr<ZUMMediaContentDisplaying> mediaContent() const override;
  void loadAssetsWithCompletionHandler(AssetCompletion completion) override;
  void adLoaderDidReceiveAd(ZUMAdLoader& loader) override;
  std::optional<std::string> loadableClassName() const override;
  // Hears the custom-click message of the new slot's ad view only.
  void setSlot(const std::shared_ptr<ZUMSlot>& slot) override;
  // A one-shot handler waiting for a click the page will not answer is dropped.
  void pageWillNotAnswerClicks() override;

 private:
  ZUMNativeCustomTemplateAd(const Json& dictionary, const ZUMAdConfiguration::Options& options);
  explicit ZUMNativeCustomTemplateAd(const std::shared_ptr<ZUMMediatedNativeAdImpl>& mediatedAd);
  void readMediatedAssets(const ZUMMediatedNativeCustomTemplateAd& networkAd);
  void readAssets(const Json& dictionary);
  void loadImages(const std::map<std::string, std::shared_ptr<ZUMNativeAdImage>>& images);
  void loadVideo();
  void setImage(const std::shared_ptr<ZUMNativeAdImage>& image, const std::string& key);
  std::weak_ptr<ZUMNativeCustomTemplateAd> selfWeak();
  void dropOneShotHandler();  // on lockQueue_
  void clickVideoMediaView();
  void observeCustomClicks();
  void removeCustomClickObserver();
  void handleNativeAdCustomClick(const platform::Notification& notification);

  bool disableImageLoading_ = false;
  std::shared_ptr<platform::DispatchQueue> lockQueue_;
  std::map<std::string, std::shared_ptr<ZUMNativeAdImage>> optionalImages_;
  std::map<std::string, std::shared_ptr<ZUMNativeAdImage>> requiredImages_;
  std::shared_ptr<ZUMNativeAdImageLoadQueue> imageLoads_;  // made by the first loadImages()
  std::map<std::string, std::shared_ptr<ZUMNativeAdImage>> imageAssets_;
  std::map<std::string, std::string> stringAssets_;
  std::shared_ptr<ZUMMediaContent> mediaContent_;
  std::shared_ptr<ZUMMediaView> mediaView_;
  std::set<std::string> availableAssetKeys_;
  std::shared_ptr<ZUMVideoController> videoController_;
  ClickHandler customClickHandler_;              // on lockQueue_
  OneShotHandler deprecatedCustomClickHandler_;  // on lockQueue_
  std::string templateID_;
  std::weak_ptr<platform::View> observedAdView_;
  // The network's ad this one stands for (nullptr for the SDK's own ads).
  std::shared_ptr<ZUMMediatedNativeCustomTemplateAd> networkAd_;
};
