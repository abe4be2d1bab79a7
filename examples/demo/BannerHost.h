// A host that shows a banner: one screen with a 320x50 banner at its top, loaded once and
// then refreshed on the ad's own timer. Every delegate callback is printed as it comes,
// with the virtual time and the thread it came on.
//
// Main thread only.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "ZUMBannerView.h"

namespace platform {
class ViewController;
class Window;
}  // namespace platform

class BannerHost final : public ZUMBannerViewDelegate, public std::enable_shared_from_this<BannerHost> {
 public:
  using Say = std::function<void(const std::string& who, const std::string& what)>;
  BannerHost(Say say, std::string adUnitID);

  // The screen, with the banner placed at its top.
  void launch();
  void loadBanner();
  // Prints the banner's slot state when it changed since the last look.
  void noteSlotState();

  std::size_t received() const { return received_; }
  std::size_t failed() const { return failed_; }

  // ZUMBannerViewDelegate
  ZUMImplemented adViewDidReceiveAd(ZUMBannerView& banner) override;
  ZUMImplemented adViewDidFailToReceiveAdWithError(ZUMBannerView& banner, const ZUMRequestErrorPtr& error) override;

 private:
  void say(const std::string& who, const std::string& what) { say_(who, what); }

  Say say_;
  std::string adUnitID_;
  std::shared_ptr<platform::Window> window_;
  std::shared_ptr<platform::ViewController> root_;
  std::shared_ptr<ZUMBannerView> banner_;
  std::int64_t lastSlotState_ = -1;
  std::size_t received_ = 0;
  std::size_t failed_ = 0;
};
