#include "sdk/presentation/ZUMBrowserViewController.h"

#include <cassert>
#include <cmath>

#include <nlohmann/json.hpp>

#include "platform/base/RunLoop.h"
#include "platform/net/URLRequest.h"
#include "platform/ui/ActivityIndicatorView.h"
#include "platform/ui/Application.h"
#include "platform/ui/BarButtonItem.h"
#include "platform/ui/Bitmap.h"
#include "platform/ui/Device.h"
#include "platform/ui/Image.h"
#include "platform/ui/Toolbar.h"
#include "sdk/foundation/ZUMDevice.h"
#include "sdk/foundation/ZUMStatisticDictionary.h"
#include "sdk/presentation/ZUMBrowserAdViewDelegate.h"
#include "sdk/rendering/ZUMAdView.h"
#include "sdk/rendering/ZUMOpener.h"
#include "sdk/rendering/ZUMWebViewConfiguration.h"
#include "sdk/request/ZUMAd.h"
#include "sdk/request/ZUMSlot.h"

namespace {

constexpr double kToolbarHeight = 44.0;
constexpr double kLandscapePhoneToolbarHeight = 30.0;
constexpr double kButtonWidth = 27.0;
constexpr double kSpinnerSide = 20.0;
constexpr int kArrowPixels = 54;
constexpr double kArrowScale = 2.0;

enum class ArrowDirection { Left, Right };

std::shared_ptr<platform::Image> drawArrow(ArrowDirection direction) {
  platform::Bitmap bitmap(kArrowPixels, kArrowPixels);
  const double tip = 14, base = kArrowPixels - 18, half = 13, middle = kArrowPixels / 2.0;
  for (int y = 0; y < kArrowPixels; ++y) {
    for (int x = 0; x < kArrowPixels; ++x) {
      const double along = direction == ArrowDirection::Left ? x : kArrowPixels - 1 - x;
      if (along < tip || along > base) continue;
      if (std::fabs(y - middle) > half * (along - tip) / (base - tip)) continue;
      bitmap.setPixel(x, y, platform::Bitmap::Pixel{64, 64, 64, 255});
    }
  }
  return platform::Image::create(std::move(bitmap), kArrowScale);
}

}  // namespace

std::shared_ptr<platform::Image> ZUMBrowserToolbarImageA() { return drawArrow(ArrowDirection::Left); }
std::shared_ptr<platform::Image> ZUMBrowserToolbarImageB() { return drawArrow(ArrowDirection::Right); }

std::shared_ptr<ZUMBrowserViewController> ZUMBrowserViewController::create() {
  return std::shared_ptr<ZUMBrowserViewController>(new ZUMBrowserViewController());
}

ZUMBrowserViewController::~ZUMBrowserViewController() {
  if (adView_) adView_->setDelegate(nullptr);
}

void ZUMBrowserViewController::viewDidLoad() {
  ZUMViewController::viewDidLoad();
  view()->setBackgroundColor(platform::Color::white());
}

void ZUMBrowserViewController::viewWillAppear(bool animated) {
  ZUMViewController::viewWillAppear(animated);
  if (adView_) return;  // made once, at the first appearance
  const bool pad = platform::Device::current().userInterfaceIdiom() == platform::Device::UserInterfaceIdiom::Pad;
  const double toolbarHeight =
      !pad && ZUMDevice::sharedInstance()->orientationLandscape() ? kLandscapePhoneToolbarHeight : kToolbarHeight;
  const auto bounds = view()->bounds();
  const double pageHeight = bounds.size.height - toolbarHeight + 1.0;
  makePageView(pageHeight);
  if (URLToLoad_) {
    load(std::exchange(URLToLoad_, std::nullopt), std::exchange(referringURLToLoad_, std::nullopt));
  }
  toolbar_ = platform::Toolbar::create({0, pageHeight, bounds.size.width, toolbarHeight});
  toolbar_->setAutoresizingMask(platform::AutoresizingFlexibleWidth | platform::AutoresizingFlexibleTopMargin);
  toolbar_->setAutoresizesSubviews(true);
  toolbar_->setTintColor(platform::Color::black());
  view()->addSubview(toolbar_);
  createToolbarButtons();
  refreshToolbar();
}

void ZUMBrowserViewController::makePageView(double pageHeight) {
  ZUMWebViewConfiguration configuration;
  configuration.setDataDetectorType(~std::uint64_t{0});
  configuration.setScalesPageToFit(true);
  adView_ = ZUMAdView::create({0, 0, view()->bounds().size.width, pageHeight}, configuration);
  adView_->setViewController(std::static_pointer_cast<platform::ViewController>(shared_from_this()));
  adView_->setShowDebug(false);
  adView_->setAutoresizingMask(platform::AutoresizingFlexibleWidth | platform::AutoresizingFlexibleHeight);
  view()->addSubview(adView_);
  adViewDelegate_ = ZUMBrowserAdViewDelegate::create();
  adView_->setDelegate(adViewDelegate_);
}

void ZUMBrowserViewController::load(const std::optional<platform::URL>& url,
                                    const std::optional<platform::URL>& referringURL) {
  if (!url) return;
  if (!adView_) {
    URLToLoad_ = url;
    referringURLToLoad_ = referringURL;
    return;
  }
  platform::URLRequest request(*url);
  // Only the host travels: the referring page's path and query stay private.
  if (referringURL && referringURL->host()) request.setValue(*referringURL->host(), "Referer");
  adView_->loadRequest(request);
}

std::shared_ptr<platform::BarButtonItem> ZUMBrowserViewController::buttonWithImage(
    std::shared_ptr<platform::Image> image, const char* name, double width, bool enabled,
    void (ZUMBrowserViewController::*action)()) {
  std::weak_ptr<ZUMBrowserViewController> weak = std::static_pointer_cast<ZUMBrowserViewController>(shared_from_this());
  auto item = platform::BarButtonItem::create(std::move(image), platform::BarButtonItem::Style::Plain, weak,
                                              [weak, action](platform::BarButtonItem&) {
                                                if (auto self = weak.lock()) ((*self).*action)();
                                              });
  item->setWidth(width);
  item->setEnabled(enabled);
  item->setIsAccessibilityElement(true);
  item->setAccessibilityLabel(name);
  return item;
}

void ZUMBrowserViewController::createToolbarButtons() {
  using Item = platform::BarButtonItem;
  std::weak_ptr<ZUMBrowserViewController> weak = std::static_pointer_cast<ZUMBrowserViewController>(shared_from_this());
  const auto system = [&](Item::SystemItem kind, const char* name, void (ZUMBrowserViewController::*action)()) {
    auto item = Item::create(kind, weak, [weak, action](Item&) {
      if (auto self = weak.lock()) ((*self).*action)();
    });
    item->setIsAccessibilityElement(true);
    item->setAccessibilityLabel(name);
    return item;
  };
  flexibleSpaceButton_ = Item::create(Item::SystemItem::FlexibleSpace);
  backButton_ =
      buttonWithImage(ZUMBrowserToolbarImageA(), "Back", kButtonWidth, false, &ZUMBrowserViewController::back);
  forwardButton_ =
      buttonWithImage(ZUMBrowserToolbarImageB(), "Forward", kButtonWidth, false, &ZUMBrowserViewController::forward);
  spinner_ = platform::ActivityIndicatorView::create(platform::ActivityIndicatorView::Style::White);
  spinner_->setFrame({0, 0, kSpinnerSide, kSpinnerSide});
  spinner_->setAutoresizingMask(platform::AutoresizingFlexibleLeftMargin | platform::AutoresizingFlexibleRightMargin);
  spinnerContainingButton_ = Item::create(spinner_);
  spinnerContainingButton_->setWidth(kSpinnerSide);
  spinnerContainingButton_->setIsAccessibilityElement(true);
  spinnerContainingButton_->setAccessibilityLabel("Spinner");
  reloadButton_ = system(Item::SystemItem::Refresh, "Reload", &ZUMBrowserViewController::reload);
  reloadButton_->setWidth(kButtonWidth);
  safariButton_ = system(Item::SystemItem::Action, "View in Safari", &ZUMBrowserViewController::openInSafari);
  safariButton_->setWidth(kButtonWidth);
  safariButton_->setEnabled(false);
  doneButton_ = system(Item::SystemItem::Done, "Done", &ZUMBrowserViewController::doneButtonPressed);
}

void ZUMBrowserViewController::refreshToolbar() {
  if (!adView_ || !toolbar_) return;
  backButton_->setEnabled(adView_->canGoBack());
  forwardButton_->setEnabled(adView_->canGoForward());
  const bool loading = adView_->isLoading();
  if (loading) {
    spinner_->startAnimating();
  } else {
    spinner_->stopAnimating();
  }
  safariButton_->setEnabled(!loading);
  toolbar_->setItems({backButton_, flexibleSpaceButton_, forwardButton_, flexibleSpaceButton_,
                      loading ? spinnerContainingButton_ : reloadButton_, flexibleSpaceButton_, safariButton_,
                      flexibleSpaceButton_, doneButton_});
}

void ZUMBrowserViewController::back() {
  if (adView_ && adView_->canGoBack()) adView_->goBack();
}

void ZUMBrowserViewController::forward() {
  if (adView_ && adView_->canGoForward()) adView_->goForward();
}

void ZUMBrowserViewController::reload() {
  if (adView_) adView_->reload();
}

void ZUMBrowserViewController::stop() {
  if (adView_) adView_->stopLoading();
}

void ZUMBrowserViewController::doneButtonPressed() { relinquishScreenWithCompletion(nullptr); }

void ZUMBrowserViewController::openInSafari() {
  const auto url = adView_ ? adView_->URL() : std::nullopt;
  auto opener = ZUMOpener::create();
  opener->setViewController(std::static_pointer_cast<platform::ViewController>(shared_from_this()));
  opener->setSlot(slot());
  opener->openApp(url);
  auto ad = slot() ? slot()->ad() : nullptr;
  if (ad) ad->statistics()->setObject(true, "pcbo", true);
}

void ZUMBrowserViewController::didRotateFromInterfaceOrientation(platform::InterfaceOrientation from) {
  platform::ViewController::didRotateFromInterfaceOrientation(from);
  if (adView_) adView_->didRotateToOrientation(platform::Application::shared().statusBarOrientation());
}
