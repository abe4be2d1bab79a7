#include "sdk/presentation/ZUMViewController.h"

#include <utility>

#include <nlohmann/json.hpp>

#include "platform/base/DispatchQueue.h"
#include "platform/base/MainThreadChecker.h"
#include "platform/base/RunLoop.h"
#include "platform/ui/Color.h"
#include "platform/ui/View.h"
#include "platform/ui/Window.h"
#include "sdk/foundation/ZUMClock.h"
#include "sdk/foundation/ZUMLogger.h"
#include "sdk/foundation/ZUMStatisticDictionary.h"
#include "sdk/presentation/ZUMIntermission.h"
#include "sdk/presentation/ZUMModalOverlayPresenter.h"
#include "sdk/request/ZUMAd.h"
#include "sdk/request/ZUMSlot.h"

ZUMViewController::ZUMViewController() { setModalTransitionStyle(platform::ModalTransitionStyle::CoverVertical); }

std::shared_ptr<ZUMViewController> ZUMViewController::create() {
  return std::shared_ptr<ZUMViewController>(new ZUMViewController());
}

ZUMViewController::~ZUMViewController() {
  // Gone before its dismissal finished: the session hears it now, not whenever it next
  // looks at its members.
  if (auto session = std::exchange(intermission_, nullptr)) session->participantDidRelinquishScreen(*this);
  if (auto completion = std::exchange(dismissalCompletion_, nullptr)) completion();
  recordDismissal();
}

std::shared_ptr<ZUMViewController> ZUMViewController::self() {
  return std::static_pointer_cast<ZUMViewController>(shared_from_this());
}

void ZUMViewController::setSupportedOrientations(platform::InterfaceOrientationMask mask) {
  if (mask != 0) supported_ = mask;
}

void ZUMViewController::setPresenter(std::shared_ptr<ZUMOverlayPresenting> presenter) {
  presenter_ = std::move(presenter);
  if (presenter_) presenter_->setPresentedViewController(self());
}

// --- Presenting -------------------------------------------------------------------------------

void ZUMViewController::addToCurrentIntermission() {
  intermission_ = ZUMIntermission::intermissionForSlot(slot());
  if (intermission_) intermission_->addParticipant(self());
}

void ZUMViewController::presentFromViewController(const std::shared_ptr<platform::ViewController>& host,
                                                  std::function<void()> completion) {
  platform::assertMainThread();
  if (!host) {
    ZUMLogger::sharedInstance()->logPublicMessage("No UIViewController supplied to the ad. Cannot continue.");
    return;
  }
  if (!presenter_) setPresenter(ZUMModalOverlayPresenter::create());
  if (!presenter_->isReadyToPresent()) return;
  view()->setUserInteractionEnabled(false);
  retainCycle_ = self();
  addToCurrentIntermission();
  presenter_->presentFromViewController(host, [me = self(), completion = std::move(completion)] {
    me->finishAppearing();
    if (completion) completion();
  });
  // A presentation the platform refused (the host presents another controller, or is
  // not on screen) shows nothing: give the session back instead of holding it forever.
  const auto shownView = viewIfLoaded();
  if (!presentingViewController() && !(shownView && shownView->window())) relinquishScreenWithCompletion(nullptr);
}

void ZUMViewController::finishAppearing() { view()->setUserInteractionEnabled(true); }

// --- Relinquishing ----------------------------------------------------------------------------

void ZUMViewController::relinquishScreenWithCompletion(std::function<void()> completion) {
  platform::assertMainThread();
  view()->setUserInteractionEnabled(false);
  auto me = self();  // the dismissal's completion keeps the controller until it has run
  retainCycle_.reset();
  if (intermission_) intermission_->participantWillRelinquishScreen(*this);
  auto done = [me, completion = std::move(completion)] {
    me->finishDismissal();
    if (completion) completion();
  };
  if (presenter_) {
    presenter_->dismissWithCompletionHandler(std::move(done));
  } else if (presentingViewController()) {
    // Presented by the platform directly: its own dismissal.
    platform::ViewController::dismissViewControllerAnimated(true, std::move(done));
  } else {
    done();
  }
}

void ZUMViewController::finishDismissal() {
  if (auto session = std::exchange(intermission_, nullptr)) session->participantDidRelinquishScreen(*this);
  if (auto completion = std::exchange(dismissalCompletion_, nullptr)) completion();
  // Dismissed by the platform directly, it would otherwise keep itself for ever; the
  // reference goes on a later turn, since the caller may still be using it.
  if (retainCycle_) platform::DispatchQueue::main()->async([self = std::exchange(retainCycle_, nullptr)] {});
}

void ZUMViewController::recordDismissal() {
  auto slot = this->slot();
  auto ad = slot ? slot->ad() : nullptr;
  auto statistics = ad ? ad->statistics() : nullptr;
  if (!statistics) return;
  const std::uint64_t now = ZUMMonotonicTimeInMilliseconds();
  statistics->setObject(now, "tlanding_page_load_dismiss", true);
  if (auto clicked = statistics->objectForKey("tclickcurr")) {
    statistics->addObject(nlohmann::ordered_json::array({*clicked, now}), "tclick", true);
  }
}

// --- Platform ----------------------------------------------------------------------------------

void ZUMViewController::presentViewController(std::shared_ptr<platform::ViewController> controller, bool animated,
                                              Completion completion) {
  auto target = presenter_ ? presenter_->presentationViewController() : nullptr;
  if (target && target.get() != this) {
    target->presentViewController(std::move(controller), animated, std::move(completion));
  } else {
    platform::ViewController::presentViewController(std::move(controller), animated, std::move(completion));
  }
}

void ZUMViewController::dismissViewControllerAnimated(bool animated, Completion completion) {
  // Without a presenter the platform's own dismissal, so a dismissal request is never lost.
  auto target = presenter_ ? presenter_->presentationViewController() : nullptr;
  if (!presenter_ || target.get() == this) {
    platform::ViewController::dismissViewControllerAnimated(animated, std::move(completion));
  } else if (target) {
    target->dismissViewControllerAnimated(animated, std::move(completion));
  }
}

void ZUMViewController::viewDidLoad() {
  auto v = view();
  v->setAutoresizingMask(platform::AutoresizingFlexibleWidth | platform::AutoresizingFlexibleHeight);
  v->setOpaque(true);
  v->setBackgroundColor(platform::Color::black());
  v->setClipsToBounds(true);
}

void ZUMViewController::viewWillAppear(bool animated) {
  platform::ViewController::viewWillAppear(animated);
  if (isBeingPresented() && !intermission_) addToCurrentIntermission();
}

void ZUMViewController::viewWillDisappear(bool animated) {
  platform::ViewController::viewWillDisappear(animated);
  if (isBeingDismissed() && intermission_) intermission_->participantWillRelinquishScreen(*this);
}

void ZUMViewController::viewDidDisappear(bool animated) {
  platform::ViewController::viewDidDisappear(animated);
  if (isBeingDismissed()) finishDismissal();
}
