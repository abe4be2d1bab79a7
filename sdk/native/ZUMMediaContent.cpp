#include "sdk/native/ZUMMediaContent.h"

#include <nlohmann/json.hpp>

#include "ZUMExtras.h"
#include "ZUMMediaContentDelegate.h"
#include "ZUMNativeAdImage.h"
#include "ZUMRequest.h"
#include "ZUMVideoOptions.h"
#include "platform/base/ASCIIString.h"
#include "platform/base/DispatchQueue.h"
#include "platform/base/MainThreadChecker.h"
#include "platform/ui/ImageView.h"
#include "platform/ui/Screen.h"
#include "platform/ui/ScrollView.h"
#include "platform/ui/Window.h"
#include "sdk/errors/ZUMErrors.h"
#include "sdk/foundation/ZUMBindWeak.h"
#include "sdk/foundation/ZUMGeometry.h"
#include "sdk/foundation/ZUMJSONAdditions.h"
#include "sdk/foundation/ZUMUserDefaults.h"
#include "sdk/rendering/ZUMAdView.h"
#include "sdk/rendering/ZUMAdViewVideoController.h"
#include "sdk/rendering/ZUMSlotActiveView.h"
#include "sdk/rendering/ZUMSlotEventHandler.h"
#include "sdk/request/ZUMSlot.h"

namespace {

using Json = nlohmann::ordered_json;

// The page's message that it can take the video.
constexpr const char* kJavaScriptLoadedMessage = "jsLoaded";

bool isWebURL(const platform::URL& url) {
  const auto& scheme = url.scheme();
  return scheme &&
         (platform::equalsIgnoringASCIICase(*scheme, "https") || platform::equalsIgnoringASCIICase(*scheme, "http"));
}

}  // namespace

std::shared_ptr<ZUMMediaContent> ZUMMediaContent::create(const Json* videoDictionary,
                                                         std::shared_ptr<ZUMNativeAdImage> placeholderImage,
                                                         const std::shared_ptr<ZUMVideoOptions>& videoOptions) {
  platform::assertMainThread();
  auto content =
      std::shared_ptr<ZUMMediaContent>(new ZUMMediaContent(videoDictionary, std::move(placeholderImage), videoOptions));
  content->setUp();
  return content;
}

ZUMMediaContent::ZUMMediaContent(const Json* videoDictionary, std::shared_ptr<ZUMNativeAdImage> placeholderImage,
                                 const std::shared_ptr<ZUMVideoOptions>& videoOptions)
    : configuration_(videoDictionary && videoDictionary->is_object() ? std::make_unique<const Json>(*videoDictionary)
                                                                     : nullptr),
      placeholderImage_(std::move(placeholderImage)),
      videoOptions_(videoOptions ? std::static_pointer_cast<ZUMVideoOptions>(videoOptions->copy()) : nullptr),
      slot_(ZUMSlot::create(platform::Rect::zero())) {}

void ZUMMediaContent::setUp() {
  const auto me = shared_from_this();
  slot_->setAdLoadDelegate(me);
  slot_->setSlotDelegate(me);
  slot_->setAdEventDelegate(me);
  slot_->setReloadable(false);
  const auto adView = std::dynamic_pointer_cast<ZUMAdView>(slot_->adView());
  if (!adView) return;  // no rendering area: the load will fail as the slot reports it
  adView->configureAsBannerAdView();
  jsLoadedObserver_ = platform::NotificationCenter::defaultCenter().addObserver(
      kJavaScriptLoadedMessage, adView, nullptr,
      ZUMBindWeak(weak_from_this(), &ZUMMediaContent::handleJavaScriptLoadedNotification));
}

ZUMMediaContent::~ZUMMediaContent() {
  if (const auto& activeView = slot_->activeView()) activeView->finishActiveViewReporting();
  if (jsLoadedObserver_) platform::NotificationCenter::defaultCenter().removeObserver(jsLoadedObserver_);
}

platform::URL ZUMMediaContent::videoSupportURL() {
  if (auto text = ZUMUserDefaults::stringForKey(ZUMUserDefaults::keyForName(kVideoSupportURLName))) {
    if (auto url = platform::URL::fromString(*text); url && isWebURL(*url)) return *url;
  }
  return *platform::URL::fromString(std::string(kAdServer) + kVideoSupportPath);
}

std::optional<std::string> ZUMMediaContent::renderVideoScript(const Json& configuration) {
  platform::ErrorPtr error;
  const auto json = zum_JSONStringPretty(configuration, true, &error);
  if (!json) return std::nullopt;
  return "vantor.qyra.nativeAds.renderVideo(" + ZUMScriptSafeJSON(*json) + ");";
}

double ZUMMediaContent::loadTimeout() {
  const auto seconds = ZUMUserDefaults::doubleForKey(ZUMUserDefaults::keyForName(kLoadTimeoutName));
  return seconds && *seconds > 0 ? *seconds : kDefaultLoadTimeout;
}

// --- Loading ------------------------------------------------------------------------------------

void ZUMMediaContent::loadVideoWithCompletionHandler(CompletionHandler completion) {
  platform::assertMainThread();
  if (completionHandler_) {
    if (!completion) return;
    platform::DispatchQueue::main()->async([completion = std::move(completion)] {
      completion(ZUMMakeErrorWithDescription(kZUMErrorInternalError, "Video load request already in progress."));
    });
    return;
  }
  completionHandler_ = std::move(completion);
  if (!configuration_) {
    notifyVideoLoadCompletedWithError(
        ZUMMakeErrorWithDescription(kZUMErrorInternalError, "Failed to load video. Empty video configuration."));
    return;
  }
  if (hasLoaded_) {
    notifyVideoLoadCompletedWithError(nullptr);
    return;
  }
  platform::DispatchQueue::main()->after(loadTimeout(),
                                         ZUMBindWeak(weak_from_this(), &ZUMMediaContent::loadDidTimeOut, ++loads_));
  auto extras = ZUMExtras::create();
  extras->setAdditionalParameters(Json{{"_requestUrl", videoSupportURL().absoluteString()}});
  auto request = ZUMRequest::create();
  request->registerAdNetworkExtras(extras);
  slot_->loadRequest(request);
}

void ZUMMediaContent::loadDidTimeOut(std::uint64_t load) {
  if (load != loads_ || hasLoaded_) return;
  notifyVideoLoadCompletedWithError(ZUMMakeErrorWithDescription(kZUMErrorTimeout, "Video load has timed out."));
}

void ZUMMediaContent::handleJavaScriptLoadedNotification() {
  platform::assertMainThread();
  if (!configuration_) return;
  auto script = renderVideoScript(*configuration_);
  if (!script) {
    const std::string text = configuration_->dump(-1, ' ', false, Json::error_handler_t::replace);
    notifyVideoLoadCompletedWithError(ZUMMakeErrorWithDescription(
        kZUMErrorInternalError, "Vast video response (" + text + ") can't be JSON encoded."));
    return;
  }
  platform::DispatchQueue::main()->async(
      [weak = std::weak_ptr<platform::View>(slot_->adView()), script = std::move(*script)] {
        if (auto adView = std::dynamic_pointer_cast<ZUMAdView>(weak.lock())) {
          adView->executeJavaScriptAsynchronouslyFromString(script);
        }
      });
}

void ZUMMediaContent::notifyVideoLoadCompletedWithError(platform::ErrorPtr error) {
  auto completion = std::exchange(completionHandler_, nullptr);
  if (!completion) return;
  platform::DispatchQueue::main()->async(
      [completion = std::move(completion), error = std::move(error)] { completion(error); });
}

// --- The slot's callbacks -----------------------------------------------------------------------

void ZUMMediaContent::slotFinishedLoadingAdContent(ZUMSlot& slot) {
  platform::assertMainThread();
  hasLoaded_ = true;
  if (videoOptions_) {
    if (auto controller = videoController()) controller->setInitialStateWithVideoOptions(videoOptions_);
  }
  notifyVideoLoadCompletedWithError(nullptr);
  ZUMSlotEventHandler::forSlot(slot)->MRAIDAdDidLoad();
  ZUMSlotActiveView::forSlot(slot)->startActiveViewReporting();
}

void ZUMMediaContent::slotDidFailToLoadAdContentWithError(ZUMSlot&, const platform::ErrorPtr& error) {
  platform::assertMainThread();
  notifyVideoLoadCompletedWithError(error);
}

ZUMImplemented ZUMMediaContent::slotDidLoadVideoWithSize(ZUMSlot&, const platform::Size& size) {
  platform::assertMainThread();
  if (auto delegate = delegate_.lock()) delegate->mediaContentDidLoadVideoWithSize(*this, size);
  return kZUMImplemented;
}

std::optional<platform::Rect> ZUMMediaContent::frameInInterface() {
  const auto view = shownView();
  const auto window = view ? view->window() : nullptr;
  if (!window || &window->screen() != &platform::Screen::main()) return platform::Rect::zero();
  return ZUMRectInInterfaceOrientation(view->convertRectToView(view->bounds(), nullptr));
}

// --- What the host shows ------------------------------------------------------------------------

std::shared_ptr<platform::View> ZUMMediaContent::mediaView() {
  platform::assertMainThread();
  if (hasLoaded_) {
    const auto adView = std::dynamic_pointer_cast<ZUMAdView>(slot_->adView());
    const bool disableScrolling =
        ZUMUserDefaults::boolForKey(ZUMUserDefaults::keyForName(kScrollViewDisableName)).value_or(false);
    if (adView && disableScrolling) {
      if (auto scrollView = adView->scrollView()) scrollView->setScrollEnabled(false);
    }
    return slot_->adView();
  }
  if (!placeholderImageView_) {
    if (!placeholderImage_ || !placeholderImage_->image()) return nullptr;
    placeholderImageView_ = platform::ImageView::create(placeholderImage_->image());
    placeholderImageView_->setContentMode(platform::ContentMode::ScaleAspectFit);
  }
  return placeholderImageView_;
}

std::shared_ptr<platform::View> ZUMMediaContent::shownView() const {
  if (hasLoaded_) return slot_->adView();
  return placeholderImageView_;
}

std::shared_ptr<ZUMVideoControlling> ZUMMediaContent::videoController() const {
  if (!hasLoaded_) return nullptr;
  const auto adView = std::dynamic_pointer_cast<ZUMAdView>(slot_->adView());
  return adView ? adView->videoController() : nullptr;
}
