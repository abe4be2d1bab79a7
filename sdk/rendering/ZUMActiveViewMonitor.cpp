#include "sdk/rendering/ZUMActiveViewMonitor.h"

#include <algorithm>
#include <cmath>

#include <nlohmann/json.hpp>

#include "ZUMMobileAds.h"
#include "ZUMRequest.h"
#include "platform/base/DispatchQueue.h"
#include "platform/ui/Application.h"
#include "platform/ui/Screen.h"
#include "platform/ui/View.h"
#include "platform/ui/Window.h"
#include "sdk/foundation/ZUMClock.h"
#include "sdk/foundation/ZUMDevice.h"
#include "sdk/foundation/ZUMThreading.h"
#include "sdk/foundation/ZUMValues.h"
#include "sdk/request/ZUMSDKCoreController.h"

using Json = nlohmann::ordered_json;

namespace {

double finiteOrZero(double value) { return std::isfinite(value) ? value : 0.0; }

// The screen below the status bar, in screen coordinates.
platform::Rect applicationFrame() {
  platform::Rect frame = platform::Screen::main().bounds();
  const double statusBar = platform::Application::shared().statusBarFrame().height();
  frame.origin.y += statusBar;
  frame.size.height = std::max(0.0, frame.size.height - statusBar);
  return frame;
}

// The window is shown, lies at least partly on its screen, and the application is active.
bool isSubviewOfVisibleWindow(const std::shared_ptr<platform::View>& view) {
  const auto window = view ? view->window() : nullptr;
  if (!window || window->isHidden() || !platform::Application::shared().isActive()) return false;
  return !window->frame().intersection(window->screen().bounds()).isEmpty();
}

}  // namespace

Json ZUMEdgeDictionaryFromRect(const platform::Rect& rect) {
  return Json{{"top", finiteOrZero(rect.minY())},
              {"bottom", finiteOrZero(rect.maxY())},
              {"left", finiteOrZero(rect.minX())},
              {"right", finiteOrZero(rect.maxX())}};
}

double ZUMActiveViewSamplingInterval() {
  auto controller = ZUMSDKCoreController::sharedInstance();
  return controller ? controller->activeViewSamplingInterval() : kZUMDefaultActiveViewSamplingInterval;
}

std::shared_ptr<ZUMActiveViewMonitor> ZUMActiveViewMonitor::create(const std::shared_ptr<platform::View>& view,
                                                                   std::optional<std::string> adFormat,
                                                                   std::optional<Json> configuration) {
  auto viewMonitor = ZUMViewMonitor::create(view);
  if (!viewMonitor) return nullptr;
  std::shared_ptr<ZUMActiveViewMonitor> monitor(
      new ZUMActiveViewMonitor(viewMonitor, std::move(adFormat), std::move(configuration)));
  viewMonitor->setDelegate(monitor);
  return monitor;
}

ZUMActiveViewMonitor::ZUMActiveViewMonitor(std::shared_ptr<ZUMViewMonitor> viewMonitor,
                                           std::optional<std::string> adFormat, std::optional<Json> configuration)
    : viewMonitor_(std::move(viewMonitor)),
      adFormat_(std::move(adFormat)),
      configuration_(configuration ? std::make_unique<const Json>(std::move(*configuration)) : nullptr),
      queue_(ZUMDispatchQueueCreate("com.vantor.morvane.active-view-monitor")) {}

ZUMActiveViewMonitor::~ZUMActiveViewMonitor() { viewMonitor_->stopMonitoring(); }

void ZUMActiveViewMonitor::startMonitoring() {
  viewMonitor_->startMonitoringWithSamplingInterval(ZUMActiveViewSamplingInterval());
}

void ZUMActiveViewMonitor::sample() { viewMonitor_->sample(); }

void ZUMActiveViewMonitor::stopMonitoring() { viewMonitor_->stopMonitoring(); }

void ZUMActiveViewMonitor::viewMonitorDidRefresh(ZUMViewMonitor& monitor) {
  auto delegate = this->delegate();
  const platform::Rect rect = monitor.monitoredViewVisibleBounds();
  const bool visible = monitor.monitoredViewVisible();
  queue_->async([self = shared_from_this(), rect, visible] {
    self->visibleBounds_ = rect;
    self->visible_ = visible;
  });
  if (delegate) delegate->activeViewMonitorDidRefresh(*this);
}

platform::Rect ZUMActiveViewMonitor::monitoredViewVisibleBounds() const {
  return queue_->syncResult([&] { return visibleBounds_; });
}

bool ZUMActiveViewMonitor::monitoredViewVisible() const {
  return queue_->syncResult([&] { return visible_; });
}

std::shared_ptr<ZUMActiveViewMonitorDelegate> ZUMActiveViewMonitor::delegate() const {
  return queue_->syncResult([&] { return delegate_.lock(); });
}

void ZUMActiveViewMonitor::setDelegate(const std::shared_ptr<ZUMActiveViewMonitorDelegate>& delegate) {
  queue_->async([self = shared_from_this(), weak = std::weak_ptr<ZUMActiveViewMonitorDelegate>(delegate)] {
    self->delegate_ = weak;
  });
}

Json ZUMActiveViewMonitor::activeViewStateWithID(std::uint64_t activeViewID, bool isMRAIDEnabled, bool unloaded) const {
  const platform::Rect visibleBounds = monitoredViewVisibleBounds();
  const bool visible = monitoredViewVisible();
  const auto view = monitoredView();
  const auto window = view ? view->window() : nullptr;
  Json state = Json::object();
  state["adBox"] =
      ZUMEdgeDictionaryFromRect(view ? view->convertRectToView(view->bounds(), nullptr) : platform::Rect::zero());
  state["globalVisibleBox"] = ZUMEdgeDictionaryFromRect(visibleBounds);
  state["viewBox"] = ZUMEdgeDictionaryFromRect(window ? window->bounds() : platform::Rect::zero());
  state["screenDimension"] = ZUMEdgeDictionaryFromRect(applicationFrame());
  state["screenOrientation"] = static_cast<std::int64_t>(platform::Application::shared().statusBarOrientation());
  state["ad_type_mraid"] = ZUMStringFromBOOL(isMRAIDEnabled);
  state["isSubViewOfVisibleWindow"] = ZUMStringFromBOOL(isSubviewOfVisibleWindow(view));
  state["isVisible"] = ZUMStringFromBOOL(visible);
  state["qyraVersion"] = ZUMRequest::sdkVersion();
  if (adFormat_) state["adFormat"] = *adFormat_;
  if (configuration_) state["activeViewJSON"] = *configuration_;
  state["timestamp"] = ZUMMonotonicTimeInMilliseconds();
  state["hashCode"] = activeViewID;
  if (unloaded) state["doneReasonCode"] = "u";
  auto ads = ZUMMobileAds::sharedInstance();
  state["appMuted"] = ads->applicationMuted();
  state["appVolume"] = ads->applicationVolume();
  auto device = ZUMDevice::sharedInstance();
  device->updateDynamicParameters();
  state["deviceVolume"] = device->audioVolume();
  return Json{{"units", Json::array({std::move(state)})}};
}
