#include "sdk/presentation/ZUMMRAIDResizeOverlayPresenter.h"

#include <string>

#include "platform/base/DispatchQueue.h"
#include "platform/base/MainThreadChecker.h"
#include "platform/base/OperationQueue.h"
#include "platform/ui/View.h"
#include "sdk/foundation/ZUMDevice.h"
#include "sdk/presentation/ZUMUnclickableView.h"
#include "sdk/presentation/ZUMViewController.h"
#include "sdk/request/ZUMMRAIDEventHandling.h"

namespace {

// The check after a frame change waits this long for the frame to settle.
constexpr platform::TimeInterval kSettleDelay = 0.1;
// A frame that never reads back as set is checked as it stands after this many waits.
constexpr int kSettleChecks = 3;

std::string describe(const std::optional<ZUMMRAIDResizeProperties>& properties) {
  return properties ? properties->description() : "(null)";
}

// One axis of adjustedContentFrame: the shift that brings [min, max) inside [lo, hi).
double shiftInside(double min, double max, double lo, double hi) {
  if (min < lo) return lo - min;
  if (max > hi) return hi - max;
  return 0;
}

}  // namespace

std::shared_ptr<ZUMMRAIDResizeOverlayPresenter> ZUMMRAIDResizeOverlayPresenter::create(
    std::shared_ptr<platform::View> referenceView) {
  if (!referenceView) return nullptr;
  return std::shared_ptr<ZUMMRAIDResizeOverlayPresenter>(new ZUMMRAIDResizeOverlayPresenter(std::move(referenceView)));
}

void ZUMMRAIDResizeOverlayPresenter::reportError(const std::string& message, const std::string& action) const {
  if (auto handler = MRAIDEventHandler_.lock()) handler->handleError(message, action);
}

// --- Validation ------------------------------------------------------------------------------------

platform::Rect ZUMMRAIDResizeOverlayPresenter::adjustedContentFrame(const platform::Rect& frame,
                                                                    const platform::Rect& bounds) {
  platform::Rect adjusted = frame.standardized();
  adjusted.origin.x += shiftInside(adjusted.minX(), adjusted.maxX(), bounds.minX(), bounds.maxX());
  adjusted.origin.y += shiftInside(adjusted.minY(), adjusted.maxY(), bounds.minY(), bounds.maxY());
  return adjusted;
}

bool ZUMMRAIDResizeOverlayPresenter::resizePropertiesAreValid(const ZUMMRAIDResizeProperties& properties,
                                                              const platform::View* view) {
  const auto application = ZUMDevice::sharedInstance()->standardizedOrientedApplicationFrame();
  const auto bounds = view ? view->convertRectFromView(application, nullptr) : application;
  const auto frame = properties.frame();
  const auto position = properties.customClosePosition();
  if (ZUMMRAIDResizeProperties::isContentFrameValid(frame, bounds, properties.allowOffscreen(), position)) return true;
  return !properties.allowOffscreen() &&
         ZUMMRAIDResizeProperties::isContentFrameValid(adjustedContentFrame(frame, bounds), bounds, false, position);
}

bool ZUMMRAIDResizeOverlayPresenter::setResizeProperties(const std::optional<ZUMMRAIDResizeProperties>& properties) {
  platform::assertMainThread();
  if (properties && resizePropertiesAreValid(*properties, referenceView_.get())) {
    resizeProperties_ = properties;
    return true;
  }
  reportError("Received invalid resize properties " + describe(properties), "setResizeProperties");
  return false;
}

bool ZUMMRAIDResizeOverlayPresenter::isReadyToPresent() const {
  if (!resizeProperties_) return false;
  if (resizePropertiesAreValid(*resizeProperties_, referenceView_.get())) {
    return ZUMTransparentOverlayPresenter::isReadyToPresent();
  }
  reportError("Tried to resize with invalid resize properties " + describe(resizeProperties_), "resize");
  return false;
}

// --- Placing ---------------------------------------------------------------------------------------

platform::Rect ZUMMRAIDResizeOverlayPresenter::contentFrame() const {
  if (!resizeProperties_) return platform::Rect::zero();
  const auto& crop = cropView();
  auto frame = crop->convertRectFromView(resizeProperties_->frame(), referenceView_.get());
  const auto bounds = crop->bounds();
  if (!resizeProperties_->allowOffscreen() &&
      !ZUMMRAIDResizeProperties::isContentFrameValid(frame, bounds, false, resizeProperties_->customClosePosition())) {
    frame = adjustedContentFrame(frame, bounds);
  }
  return frame;
}

void ZUMMRAIDResizeOverlayPresenter::composeTransparentInterstitialViewsForPresentation() {
  ZUMTransparentOverlayPresenter::composeTransparentInterstitialViewsForPresentation();
  auto controller = presentedViewController();
  if (!controller) return;
  controller->view()->setAutoresizingMask(0);
  controller->view()->setFrame(contentFrame());
}

void ZUMMRAIDResizeOverlayPresenter::updateTransparentInterstitialOrientation() {
  ZUMTransparentOverlayPresenter::updateTransparentInterstitialOrientation();
  repositionContentIfNeeded();
}

void ZUMMRAIDResizeOverlayPresenter::repositionContentIfNeeded() {
  platform::assertMainThread();
  reposition(kSettleChecks);
}

void ZUMMRAIDResizeOverlayPresenter::reposition(int settleChecksLeft) {
  auto controller = presentedViewController();
  if (!controller || !resizeProperties_) return;
  const auto frame = contentFrame();
  auto view = controller->view();
  if (view->frame() != frame && settleChecksLeft > 0) {
    view->setFrame(frame);
    std::weak_ptr<ZUMMRAIDResizeOverlayPresenter> weak =
        std::static_pointer_cast<ZUMMRAIDResizeOverlayPresenter>(shared_from_this());
    platform::DispatchQueue::main()->after(kSettleDelay, [weak, settleChecksLeft] {
      if (auto self = weak.lock()) self->reposition(settleChecksLeft - 1);
    });
    return;
  }
  if (ZUMMRAIDResizeProperties::isContentFrameValid(frame, cropView()->bounds(), resizeProperties_->allowOffscreen(),
                                                    resizeProperties_->customClosePosition())) {
    return;
  }
  std::weak_ptr<ZUMViewController> weakController = controller;
  std::weak_ptr<ZUMMRAIDEventHandling> sink = MRAIDEventHandler_;
  platform::OperationQueue::main()->addOperation([weakController, sink] {
    if (auto handler = sink.lock())
      handler->handleError("Resize properties became invalid after device rotation.", "resize");
    if (auto strong = weakController.lock()) strong->relinquishScreenWithCompletion(nullptr);
  });
}
