// What the app-install and content template views share: the view policy each makes for
// itself with its kind's names, the ad it shows (kept as the policy's ad, which has the
// ad as its delegate), the outlets that the host connects (each the policy's asset view
// under its asset name), the media view fed with the ad's media content, and the layout
// and superview callbacks passed on to the policy.
//
// Holds its policy strongly and its outlets weakly. Main thread only.
#pragma once

#include <memory>

#include "platform/ui/View.h"

namespace platform {
class Coder;
}
class ZUMAdChoicesView;
class ZUMMediaView;
class ZUMNativeAdvancedAd;
class ZUMNativeAdViewPolicy;
struct ZUMNativeAdvancedAdKind;

class ZUMNativeAdvancedAdView : public platform::View {
 public:
  const std::shared_ptr<ZUMNativeAdViewPolicy>& nativeAdViewPolicy() const { return nativeAdViewPolicy_; }

  std::shared_ptr<ZUMMediaView> mediaView() const;
  // Also feeds the new media view the ad's media content.
  void setMediaView(const std::shared_ptr<ZUMMediaView>& view);
  std::shared_ptr<ZUMAdChoicesView> adChoicesView() const;
  void setAdChoicesView(const std::shared_ptr<ZUMAdChoicesView>& view);

  void layoutSubviews() override;
  void didMoveToSuperview() override;

 protected:
  ZUMNativeAdvancedAdView(const platform::Rect& frame, const ZUMNativeAdvancedAdKind& kind,
                          const char* mediaViewAssetName, const char* adChoicesViewAssetName);
  // Finishes a kind's new view: the archive's frame and flags when made from `coder`
  // (nullptr without a usable frame), then its policy, made once the view is owned.
  template <class T>
  static std::shared_ptr<T> finishMaking(std::shared_ptr<T> view, const platform::Coder* coder) {
    if (coder && !view->initWithCoder(*coder)) return nullptr;
    view->commonInit();
    return view;
  }

  // The kinds' typed ad accessors go through these.
  std::shared_ptr<ZUMNativeAdvancedAd> nativeAd() const;
  void setNativeAd(const std::shared_ptr<ZUMNativeAdvancedAd>& ad);
  // Connects one outlet: the policy's asset view under `assetName`, kept in `field`.
  void setAssetView(const char* assetName, const std::shared_ptr<platform::View>& view,
                    std::weak_ptr<platform::View>& field);

 private:
  // Reports whether the ad's video is shown here (unless it has ended), then gives the
  // media view the ad's media content on a coming turn.
  void updateMediaView();

  void commonInit();

  const ZUMNativeAdvancedAdKind& kind_;
  const char* mediaViewAssetName_;
  const char* adChoicesViewAssetName_;
  std::shared_ptr<ZUMNativeAdViewPolicy> nativeAdViewPolicy_;
  std::weak_ptr<platform::View> mediaView_;
  std::weak_ptr<platform::View> adChoicesView_;
};
