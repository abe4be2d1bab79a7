// The banner's Fennick events ("bannerview" events through the logger of its slot's
// tree, and those of a load begun before that logger existed) and the view-hierarchy
// record its requests carry.
#include "ZUMBannerView.h"

#include <typeinfo>

#include <nlohmann/json.hpp>

#include "platform/base/DispatchQueue.h"
#include "platform/base/MainThreadChecker.h"
#include "platform/base/Symbols.h"
#include "sdk/foundation/ZUMBindWeak.h"
#include "sdk/foundation/ZUMThreading.h"
#include "sdk/foundation/ZUMUserDefaults.h"
#include "sdk/request/ZUMSlot.h"
#include "sdk/telemetry/ZUMBufferedFennickLogger.h"
#include "sdk/telemetry/ZUMFennickCommand.h"
#include "sdk/telemetry/ZUMFennickLogger.h"
#include "sdk/telemetry/ZUMLoggingHierarchy.h"

namespace {

using Json = nlohmann::ordered_json;

constexpr const char* kEventName = "bannerview";
constexpr std::int64_t kDefaultParentViewCount = 20;

// A view's class as hosts know it: without the platform's namespace.
std::string classNameOf(const platform::View& view) {
  std::string name = platform::demangledSymbol(typeid(view).name());
  if (name.rfind("platform::", 0) == 0) name.erase(0, 10);
  return name;
}

}  // namespace

std::string ZUMBannerView::className() const { return classNameOf(*this); }

// --- Logging -------------------------------------------------------------------------------------

void ZUMBannerView::bannerCreatedSlot(const std::shared_ptr<ZUMSlot>& slot) {
  platform::assertMainThread();
  // Below the slot, the root of the tree: a banner is no root, so nothing could be
  // linked below it.
  std::weak_ptr<ZUMBannerView> weak = self();
  rootLoggerObserver_ = ZUMLoggingHierarchy::sharedInstance()->linkObjectObservingRootLogger(
      slot, shared_from_this(), ZUMBindWeak(weak, &ZUMBannerView::rootObjectLoggerChanged));
  rootObjectLoggerChanged();
}

void ZUMBannerView::rootObjectLoggerChanged() {
  platform::assertMainThread();
  auto logger = ZUMLoggingHierarchy::sharedInstance()->loggerForObject(shared_from_this());
  if (logger == logger_.lock()) return;
  logger_ = logger;
  if (!logger) return;
  logger->reportEvent(Json{{kEventName, {{"ad_unit_id", adUnitID_}, {"class", className()}}}});
  if (bufferedLogger_) bufferedLogger_->reportBufferedEventsToLogger(*logger);
}

void ZUMBannerView::bannerAdLoadStarted() {
  if (!bufferedLogger_) return;
  const platform::Size size = bounds().size;
  bufferedLogger_->bufferEvent(
      Json{{kEventName, {{"loading_started", {{"size", {{"width", size.width}, {"height", size.height}}}}}}}});
}

void ZUMBannerView::bannerAdLoadSucceeded() { reportEvent("loading_succeeded", Json(1)); }

void ZUMBannerView::bannerAdLoadFailedWithError(const platform::ErrorPtr& error) {
  reportEvent("loading_failed", ZUMFennickErrorParameters(error));
}

void ZUMBannerView::reportEvent(const std::string& name, const std::optional<Json>& value) {
  auto logger = logger_.lock();
  if (!logger || !value) return;
  if (auto event = ZUMFennickEvent(kEventName, Json{{name, *value}})) logger->reportEvent(*event);
}

void ZUMBannerView::stopLogging() {
  if (rootLoggerObserver_) platform::NotificationCenter::defaultCenter().removeObserver(rootLoggerObserver_);
  // Known by its ownership, which the hierarchy can still name while the banner ends.
  ZUMLoggingHierarchy::sharedInstance()->removeObject(weak_from_this());
}

// --- View hierarchy ------------------------------------------------------------------------------

void ZUMBannerView::cacheViewHierarchyInformationForSlot(ZUMSlot&) {
  platform::assertMainThread();
  const std::int64_t limit =
      ZUMUserDefaults::integerForKey("/vantor/ads/ad_key_parent_view_count").value_or(kDefaultParentViewCount);
  Json parents = Json::array();
  const platform::View* child = this;
  auto parent = superview();
  for (std::int64_t level = 0; parent && level < limit; ++level) {
    const auto& siblings = parent->subviews();
    std::size_t index = 0;
    while (index < siblings.size() && siblings[index].get() != child) ++index;
    parents.push_back(Json{{"type", classNameOf(*parent)},
                           {"index_of_child", index},
                           {"is_hidden", parent->isHidden()},
                           {"clips_to_bounds", parent->clipsToBounds()}});
    child = parent.get();
    parent = parent->superview();
  }
  auto record = std::make_shared<const Json>(Json{{"creator_class", className()}, {"parents", std::move(parents)}});
  lockQueue_->async([locked = locked_, record] { locked->viewHierarchy = record; });
}

std::optional<Json> ZUMBannerView::viewHierarchyInformationForSlot(ZUMSlot&) {
  std::shared_ptr<const Json> record;
  lockQueue_->sync([&] { record = locked_->viewHierarchy; });
  if (!record) return std::nullopt;
  return *record;
}
