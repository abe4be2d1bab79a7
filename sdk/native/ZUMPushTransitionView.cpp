#include "sdk/native/ZUMPushTransitionView.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "platform/base/DispatchQueue.h"
#include "platform/base/MainThreadChecker.h"
#include "platform/ui/Coder.h"
#include "platform/ui/LayoutConstraint.h"
#include "platform/ui/Transition.h"
#include "sdk/foundation/ZUMBindWeak.h"
#include "sdk/foundation/ZUMGeometry.h"
#include "sdk/foundation/ZUMLogger.h"

namespace {

double usableDuration(double seconds, double fallback, const char* what) {
  if (std::isfinite(seconds) && seconds >= ZUMPushTransitionView::kMinimumDuration) {
    return std::min(seconds, ZUMPushTransitionView::kMaximumDuration);
  }
  ZUMLog(kZUMLogLevelDebug, std::string("Unusable ") + what + " duration; the default is used.");
  return fallback;
}

}  // namespace

ZUMPushTransitionView::ZUMPushTransitionView(const platform::Rect& frame) : platform::View(frame) {}

std::shared_ptr<ZUMPushTransitionView> ZUMPushTransitionView::create(const platform::Rect& frame) {
  std::shared_ptr<ZUMPushTransitionView> view(new ZUMPushTransitionView(frame));
  view->commonInit();
  return view;
}

std::shared_ptr<ZUMPushTransitionView> ZUMPushTransitionView::create(const platform::Coder& coder) {
  std::shared_ptr<ZUMPushTransitionView> view(new ZUMPushTransitionView(platform::Rect::zero()));
  if (!view->initWithCoder(coder)) return nullptr;
  view->commonInit();
  return view;
}

void ZUMPushTransitionView::commonInit() {
  platform::assertMainThread();
  setClipsToBounds(true);
  clippingView_ = platform::View::create();
  clippingView_->setClipsToBounds(true);
  addSubview(clippingView_);
  ZUMCenterInSuperview(clippingView_);
}

void ZUMPushTransitionView::setViews(std::vector<std::shared_ptr<platform::View>> views) {
  platform::assertMainThread();
  std::erase(views, nullptr);
  views_ = std::move(views);
  currentViewIndex_ = 0;
  setCurrentView(views_.empty() ? nullptr : views_.front());
  ++animationGroupIdentifier_;
  dispatchAnimation();
}

void ZUMPushTransitionView::setAnimationDuration(double seconds) {
  platform::assertMainThread();
  animationDuration_ = usableDuration(seconds, kDefaultAnimationDuration, "animation");
  ++animationGroupIdentifier_;
  dispatchAnimation();
}

void ZUMPushTransitionView::setPresentationDuration(double seconds) {
  platform::assertMainThread();
  presentationDuration_ = usableDuration(seconds, kDefaultPresentationDuration, "presentation");
  ++animationGroupIdentifier_;
  dispatchAnimation();
}

void ZUMPushTransitionView::setCurrentView(const std::shared_ptr<platform::View>& view) {
  if (view == currentView_) return;
  if (currentView_) {
    clippingView_->removeConstraints(currentViewConstraints_);
    currentViewConstraints_.clear();
    currentView_->removeFromSuperview();
  }
  currentView_ = view;
  if (!view) return;
  clippingView_->addSubview(view);
  view->setTranslatesAutoresizingMaskIntoConstraints(false);
  using Attribute = platform::LayoutConstraint::Attribute;
  for (const Attribute attribute : {Attribute::CenterX, Attribute::CenterY}) {
    auto constraint = platform::LayoutConstraint::create(view, attribute, platform::LayoutConstraint::Relation::Equal,
                                                         clippingView_, attribute, 1.0, 0.0);
    clippingView_->addConstraint(constraint);
    currentViewConstraints_.push_back(constraint);
  }
  const platform::Rect area = clippingView_->bounds();
  view->setCenter({area.midX(), area.midY()});
}

void ZUMPushTransitionView::dispatchAnimation() {
  if (views_.size() < 2) return;
  auto self = std::static_pointer_cast<ZUMPushTransitionView>(shared_from_this());
  platform::DispatchQueue::main()->after(animationDuration_ + presentationDuration_,
                                         ZUMBindWeak(self, &ZUMPushTransitionView::step, animationGroupIdentifier_));
}

void ZUMPushTransitionView::step(std::int64_t generation) {
  if (generation == animationGroupIdentifier_) animate();
}

void ZUMPushTransitionView::animate() {
  if (views_.empty()) return;
  dispatchAnimation();
  currentViewIndex_ = (currentViewIndex_ + 1) % views_.size();
  setCurrentView(views_[currentViewIndex_]);
  platform::LayerTransitions::add(*clippingView_,
                                  {platform::TransitionType::Push, platform::TransitionSubtype::FromTop,
                                   animationDuration_, platform::TimingFunction::EaseInEaseOut},
                                  kZUMPushTransitionKey);
}
