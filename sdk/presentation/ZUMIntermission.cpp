#include "sdk/presentation/ZUMIntermission.h"

#include <algorithm>
#include <utility>

#include "platform/base/DispatchQueue.h"
#include "platform/base/MainThreadChecker.h"
#include "platform/base/OperationQueue.h"
#include "platform/base/RunLoop.h"
#include "platform/ui/Application.h"
#include "sdk/foundation/ZUMBindWeak.h"
#include "sdk/presentation/ZUMIntermitting.h"
#include "sdk/request/ZUMAd.h"
#include "sdk/request/ZUMFullScreenNotifications.h"
#include "sdk/request/ZUMMRAIDEventHandling.h"
#include "sdk/request/ZUMSlot.h"

namespace {

// The page of the slot's MRAID ad learns whether it can be seen.
void updateMRAIDVisibility(const std::shared_ptr<ZUMSlot>& slot, bool visible) {
  auto ad = slot ? slot->ad() : nullptr;
  if (auto handler = ad ? ad->MRAIDEventHandler() : nullptr) handler->updateVisibility(visible);
}

}  // namespace

ZUMIntermission::ZUMIntermission(const std::shared_ptr<ZUMSlot>& slot)
    : deactivationQueue_(platform::OperationQueue::create("com.vantor.morvane.intermission-deactivation")),
      slot_(slot) {
  deactivationQueue_->setMaxConcurrentOperationCount(1);
}

std::shared_ptr<ZUMIntermission> ZUMIntermission::create(const std::shared_ptr<ZUMSlot>& slot) {
  if (!slot) return nullptr;
  return std::shared_ptr<ZUMIntermission>(new ZUMIntermission(slot));
}

std::shared_ptr<ZUMIntermission> ZUMIntermission::intermissionForSlot(const std::shared_ptr<ZUMSlot>& slot) {
  if (!slot) return nullptr;
  if (auto existing = std::static_pointer_cast<ZUMIntermission>(slot->intermission())) return existing;
  auto intermission = create(slot);
  slot->setIntermission(intermission);
  return intermission;
}

ZUMIntermission::~ZUMIntermission() {
  deactivationQueue_->cancelAllOperations();
  cleanUp();
  if (activeCount_ != 0) {
    willEnd();
    didEnd();
  } else if (deactivatingCount_ != 0) {
    didEnd();
  }
  platform::NotificationCenter::defaultCenter().removeObserver(foregroundObserver_);
}

// --- Members ------------------------------------------------------------------------------

bool ZUMIntermission::contains(const Members& members, const ZUMIntermitting* identity) {
  return std::any_of(members.begin(), members.end(), [identity](const Member& m) { return m.identity == identity; });
}

void ZUMIntermission::remove(Members& members, const ZUMIntermitting* identity) {
  std::erase_if(members, [identity](const Member& m) { return m.identity == identity; });
}

std::vector<std::shared_ptr<ZUMIntermitting>> ZUMIntermission::activeParticipants() const {
  std::vector<std::shared_ptr<ZUMIntermitting>> live;
  for (const auto& member : active_) {
    if (auto participant = member.participant.lock()) live.push_back(std::move(participant));
  }
  return live;
}

bool ZUMIntermission::isActiveParticipant(const ZUMIntermitting& participant) const {
  return contains(active_, &participant);
}

void ZUMIntermission::cleanUp() {
  const std::int64_t storedActive = activeCount_;
  const std::int64_t storedDeactivating = deactivatingCount_;
  auto gone = [](const Member& m) { return m.participant.expired(); };
  std::erase_if(active_, gone);
  std::erase_if(deactivating_, gone);
  activeCount_ = static_cast<std::int64_t>(active_.size());
  deactivatingCount_ = static_cast<std::int64_t>(deactivating_.size());
  if (storedActive <= activeCount_ && storedDeactivating <= deactivatingCount_) return;

  if (storedActive > activeCount_ && activeCount_ == 0) willEnd();
  if (deactivatingCount_ == 0) {
    deactivationQueue_->setSuspended(false);
    if (activeCount_ == 0) didEnd();
  }
}

// --- Participants ---------------------------------------------------------------------------

void ZUMIntermission::addParticipant(const std::shared_ptr<ZUMIntermitting>& participant) {
  platform::assertMainThread();
  cleanUp();
  if (!participant) return;
  if (activeCount_ == 0 && deactivatingCount_ == 0) begin();
  // A set: joining twice counts once.
  if (contains(active_, participant.get())) return;
  active_.push_back({participant, participant.get()});
  ++activeCount_;
}

void ZUMIntermission::participantWillRelinquishScreen(const ZUMIntermitting& participant) {
  platform::assertMainThread();
  cleanUp();
  deactivationQueue_->setSuspended(true);
  if (!contains(active_, &participant)) return;
  auto it = std::find_if(active_.begin(), active_.end(), [&](const Member& m) { return m.identity == &participant; });
  if (!contains(deactivating_, &participant)) {
    deactivating_.push_back(*it);
    ++deactivatingCount_;
  }
  active_.erase(it);
  --activeCount_;
  if (activeCount_ == 0) willEnd();
}

void ZUMIntermission::participantDidRelinquishScreen(const ZUMIntermitting& participant) {
  platform::assertMainThread();
  cleanUp();
  if (contains(active_, &participant)) participantWillRelinquishScreen(participant);
  if (contains(deactivating_, &participant)) {
    remove(deactivating_, &participant);
    --deactivatingCount_;
    if (activeCount_ == 0 && deactivatingCount_ == 0) didEnd();
  }
  if (deactivatingCount_ == 0) deactivationQueue_->setSuspended(false);
}

void ZUMIntermission::participantWillOverrideStatusBarVisibility(const ZUMIntermitting& /*participant*/) {
  statusBarOverridden_ = true;
}

// --- Beginning and end ----------------------------------------------------------------------

void ZUMIntermission::begin() {
  auto& center = platform::NotificationCenter::defaultCenter();
  center.post(kZUMAdModalViewControllerWillPresentFullScreenNotification, shared_from_this());
  auto slot = this->slot();
  if (slot) slot->adWillPresentScreen();

  auto& application = platform::Application::shared();
  publisherIdleTimerDisabled_ = application.isIdleTimerDisabled();
  application.setIdleTimerDisabled(true);
  statusBarWasOriginallyHidden_ = application.isStatusBarHidden();
  // Per run: a run in which no presenter hid the status bar leaves it alone at its end.
  statusBarOverridden_ = false;
  updateMRAIDVisibility(slot, false);

  if (!foregroundObserver_) {
    std::weak_ptr<ZUMIntermission> weak = weak_from_this();
    foregroundObserver_ = center.addObserver(platform::kApplicationWillEnterForegroundNotification, nullptr, nullptr,
                                             ZUMBindWeak(weak, &ZUMIntermission::applicationWillEnterForeground));
  }
}

void ZUMIntermission::willEnd() {
  auto& application = platform::Application::shared();
  application.setIdleTimerDisabled(publisherIdleTimerDisabled_);
  if (statusBarOverridden_) application.setStatusBarHidden(statusBarWasOriginallyHidden_);
  if (auto slot = this->slot()) slot->adWillDismissScreen();
}

void ZUMIntermission::didEnd() {
  auto& center = platform::NotificationCenter::defaultCenter();
  center.removeObserver(std::exchange(foregroundObserver_, nullptr));
  // While the session is being destroyed the notification goes without an object.
  center.post(kZUMAdModalViewControllerDidDismissFullScreenNotification, weak_from_this().lock());
  if (auto slot = this->slot()) {
    slot->adDidDismissScreen();
    updateMRAIDVisibility(slot, slot->monitoredViewVisible());
  }
}

// Each dismissal is queued; the queue is suspended from a participant's will-relinquish
// until nobody deactivates, so the next starts only once the previous has finished.
void ZUMIntermission::applicationWillEnterForeground() {
  std::weak_ptr<ZUMIntermission> weakSelf = weak_from_this();
  for (const auto& participant : activeParticipants()) {
    if (!participant->shouldDismissOnApplicationEnteringForeground()) continue;
    std::weak_ptr<ZUMIntermitting> weakParticipant = participant;
    deactivationQueue_->addOperation([weakSelf, weakParticipant] {
      platform::DispatchQueue::main()->sync([&] {
        auto self = weakSelf.lock();
        auto participant = weakParticipant.lock();
        if (self && participant && self->isActiveParticipant(*participant)) {
          participant->relinquishScreenWithCompletion(nullptr);
        }
      });
    });
  }
}
