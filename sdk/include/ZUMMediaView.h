// The view in which the host places a native ad's media: it shows the view its media
// content offers (the placeholder image, or the video's ad view once loaded), fills
// itself with it, and sizes itself to the video once the player knows its size. The
// slot of the SDK's own media content follows this view's window for visibility.
//
// Holds its media content strongly and its native ad weakly. Main thread only.
#pragma once

#include <memory>

#include "ZUMMediaContentDelegate.h"
#include "platform/ui/View.h"

class ZUMMediaContentDisplaying;
class ZUMNativeAd;

class ZUMMediaView : public platform::View, public ZUMMediaContentDelegate {
 public:
  static std::shared_ptr<ZUMMediaView> create(const platform::Rect& frame = {});

  std::shared_ptr<ZUMNativeAd> nativeAd() const { return nativeAd_.lock(); }
  // Refuses a custom template ad and an ad without media content, with a log line, and
  // keeps what it shows; otherwise shows the ad's media content from the next turn of the
  // main queue (nullptr: nothing).
  void setNativeAd(const std::shared_ptr<ZUMNativeAd>& nativeAd);
  // The template id of custom template ads, which media views do not show.
  static constexpr const char* kCustomTemplateID = "3";
  const std::shared_ptr<ZUMMediaContentDisplaying>& mediaContent() const { return mediaContent_; }
  // Replaces the content and the view shown (nullptr: none).
  void setMediaContent(std::shared_ptr<ZUMMediaContentDisplaying> mediaContent);
  // The view shown now, a subview of this one; nullptr when none.
  const std::shared_ptr<platform::View>& mediaView() const { return mediaView_; }

  // An image's own size; the video's size once the player knows it; else the frame size
  // of the view shown.
  platform::Size intrinsicContentSize() const override;
  void didMoveToWindow() override;

  ZUMImplemented mediaContentDidLoadVideoWithSize(ZUMMediaContent& content, const platform::Size& size) override;

 protected:
  explicit ZUMMediaView(const platform::Rect& frame) : platform::View(frame) {}

 private:
  void showMediaContentOfNativeAd(const std::weak_ptr<ZUMNativeAd>& nativeAd);

  std::shared_ptr<platform::View> mediaView_;
  std::shared_ptr<ZUMMediaContentDisplaying> mediaContent_;
  std::weak_ptr<ZUMNativeAd> nativeAd_;
};
