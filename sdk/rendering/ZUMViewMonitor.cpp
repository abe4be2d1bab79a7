#include "sdk/rendering/ZUMViewMonitor.h"

#include "platform/base/DispatchQueue.h"
#include "platform/base/MainThreadChecker.h"
#include "platform/base/RunLoop.h"
#include "platform/ui/View.h"
#include "sdk/foundation/ZUMApplication.h"
#include "sdk/foundation/ZUMGeometry.h"
#include "sdk/foundation/ZUMScheduler.h"
#include "sdk/foundation/ZUMThreading.h"

std::shared_ptr<ZUMViewMonitor> ZUMViewMonitor::create(const std::shared_ptr<platform::View>& view) {
  if (!view) return nullptr;
  return std::shared_ptr<ZUMViewMonitor>(new ZUMViewMonitor(view));
}

ZUMViewMonitor::ZUMViewMonitor(const std::shared_ptr<platform::View>& view)
    : view_(view), queue_(ZUMDispatchQueueCreate("com.vantor.morvane.view-monitor")) {}

ZUMViewMonitor::~ZUMViewMonitor() {
  if (scheduler_) scheduler_->stop();
}

void ZUMViewMonitor::startMonitoringWithSamplingInterval(double seconds) {
  ZUMRunOnMainThread([weak = weak_from_this(), seconds] {
    auto self = weak.lock();
    if (!self || self->scheduler_) return;
    self->scheduler_ = ZUMScheduler::create(seconds);
    self->scheduler_->taskIDScheduledOnQueue(platform::DispatchQueue::main(), [weak] {
      if (auto live = weak.lock()) live->sampleOnMainThread();
    });
    self->scheduler_->start();
  });
}

void ZUMViewMonitor::stopMonitoring() {
  ZUMRunOnMainThread([weak = weak_from_this()] {
    auto self = weak.lock();
    if (!self) return;
    if (auto scheduler = std::exchange(self->scheduler_, nullptr)) scheduler->stop();
  });
}

bool ZUMViewMonitor::isMonitoring() const {
  platform::assertMainThread();
  return scheduler_ != nullptr;
}

void ZUMViewMonitor::sample() {
  ZUMRunOnMainThread([weak = weak_from_this()] {
    if (auto self = weak.lock()) self->sampleOnMainThread();
  });
}

void ZUMViewMonitor::sampleOnMainThread() {
  auto view = view_.lock();
  const platform::Rect rect = ZUMVisibleRectInWindow(view);
  const bool visible = rect != platform::Rect::zero();
  queue_->async([self = shared_from_this(), rect, visible] {
    self->visibleBounds_ = rect;
    self->visible_ = visible;
  });
  if (!view) stopMonitoring();
  if (auto delegate = this->delegate()) delegate->viewMonitorDidRefresh(*this);
}

platform::Rect ZUMViewMonitor::monitoredViewVisibleBounds() const {
  return queue_->syncResult([&] { return visibleBounds_; });
}

bool ZUMViewMonitor::monitoredViewVisible() const {
  if (!ZUMApplication::sharedInstance()->active()) return false;
  return queue_->syncResult([&] { return visible_; });
}

std::shared_ptr<ZUMViewMonitorDelegate> ZUMViewMonitor::delegate() const {
  return queue_->syncResult([&] { return delegate_.lock(); });
}

void ZUMViewMonitor::setDelegate(const std::shared_ptr<ZUMViewMonitorDelegate>& delegate) {
  queue_->async(
      [self = shared_from_this(), weak = std::weak_ptr<ZUMViewMonitorDelegate>(delegate)] { self->delegate_ = weak; });
}
