// The container in which an app that lays out a native ad itself places the ad's
// AdChoices content (its attribution badge): given the ad, it shows the ad's
// adChoicesContentView centred in its bounds and takes that view's size as its own.
// Custom template ads have no AdChoices content and are refused (logged; nothing
// changes).
//
// Holds its content view strongly, its ad weakly. Main thread only.
#pragma once

#include <memory>

#include "platform/ui/View.h"

class ZUMNativeAd;

class ZUMAdChoicesView : public platform::View {
 public:
  static std::shared_ptr<ZUMAdChoicesView> create(const platform::Rect& frame = {});

  std::shared_ptr<ZUMNativeAd> nativeAd() const { return nativeAd_.lock(); }
  void setNativeAd(const std::shared_ptr<ZUMNativeAd>& nativeAd);
  const std::shared_ptr<platform::View>& adChoicesContentView() const { return adChoicesContentView_; }
  // A new content view replaces the old one, which leaves this view.
  void setAdChoicesContentView(const std::shared_ptr<platform::View>& view);

  // The content view's (none without one).
  platform::Size intrinsicContentSize() const override;
  void layoutSubviews() override;

 protected:
  explicit ZUMAdChoicesView(const platform::Rect& frame) : platform::View(frame) {}

 private:
  std::shared_ptr<platform::View> adChoicesContentView_;
  std::weak_ptr<ZUMNativeAd> nativeAd_;
};
