#include "sdk/presentation/ZUMIntermission.h"

#include <functional>
#include <utility>

#include "platform/base/DispatchQueue.h"
#include "sdk/presentation/ZUMIntermitting.h"
#include "sdk/presentation/ZUMPresentationTestSupport.h"
#include "sdk/request/ZUMAd.h"
#include "testing/AppControls.h"

namespace {

using presentation_testing::Log;

// A participant that gives the screen back like a platform dismissal: a while later.
struct Participant : ZUMIntermitting, std::enable_shared_from_this<Participant> {
  Participant(std::string name, std::shared_ptr<Log> log) : name(std::move(name)), log(std::move(log)) {}
  void join(const std::shared_ptr<ZUMSlot>& slot) {
    session = ZUMIntermission::intermissionForSlot(slot);
    session->addParticipant(shared_from_this());
  }
  void presentFromViewController(const std::shared_ptr<platform::ViewController>&, std::function<void()>) override {}
  bool shouldDismissOnApplicationEnteringForeground() override { return dismissOnForeground; }
  void relinquishScreenWithCompletion(std::function<void()> completion) override {
    log->push_back(name + ".relinquish");
    session->participantWillRelinquishScreen(*this);
    platform::DispatchQueue::main()->after(0.3, [self = shared_from_this(), completion] {
      self->log->push_back(self->name + ".gone");
      std::exchange(self->session, nullptr)->participantDidRelinquishScreen(*self);
      if (completion) completion();
    });
  }
  std::shared_ptr<ZUMIntermission> intermission() const override { return session; }

  std::string name;
  std::shared_ptr<Log> log;
  bool dismissOnForeground = true;
  std::shared_ptr<ZUMIntermission> session;
};

class ZUMIntermissionTest : public presentation_testing::PresentationTest {
 protected:
  std::shared_ptr<Participant> participant(const std::string& name) {
    auto p = std::make_shared<Participant>(name, log);
    p->join(slot);
    return p;
  }
};

TEST_F(ZUMIntermissionTest, NeedsASlotAndIsSharedThroughIt) {
  EXPECT_EQ(ZUMIntermission::create(nullptr), nullptr);
  auto session = ZUMIntermission::intermissionForSlot(slot);
  EXPECT_EQ(ZUMIntermission::intermissionForSlot(slot), session);
  EXPECT_EQ(session->slot(), slot);
}

// Two participants (an interstitial, then a sheet over it): one begin, one end, and the
// host's idle timer and status bar exactly as they were.
TEST_F(ZUMIntermissionTest, TwoParticipantsMakeOneSessionThatRestoresTheHost) {
  struct Row {
    bool idleDisabled, statusHidden, overridden;
  };
  for (const Row row : {Row{false, false, true}, Row{true, true, true}, Row{false, true, false}}) {
    SCOPED_TRACE(::testing::Message() << row.idleDisabled << row.statusHidden << row.overridden);
    auto& application = platform::Application::shared();
    application.setIdleTimerDisabled(row.idleDisabled);
    application.setStatusBarHidden(row.statusHidden);
    log->clear();

    auto a = participant("A");
    EXPECT_TRUE(application.isIdleTimerDisabled());
    auto b = participant("B");
    EXPECT_EQ(a->session, b->session);
    if (row.overridden) a->session->participantWillOverrideStatusBarVisibility(*a);
    application.setStatusBarHidden(!row.statusHidden);  // a presenter, or the host, changes it

    a->relinquishScreenWithCompletion(nullptr);
    EXPECT_TRUE(application.isIdleTimerDisabled()) << "B still holds the screen";
    b->relinquishScreenWithCompletion(nullptr);
    EXPECT_EQ(application.isIdleTimerDisabled(), row.idleDisabled);
    EXPECT_EQ(application.isStatusBarHidden(), row.overridden ? row.statusHidden : !row.statusHidden);
    env.advance(1);
    EXPECT_EQ(*log, (Log{"willPresent", "slot.willPresent", "A.relinquish", "B.relinquish", "slot.willDismiss",
                         "A.gone", "B.gone", "didDismiss", "slot.didDismiss"}));
  }
}

TEST_F(ZUMIntermissionTest, DidRelinquishAloneStillEndsAndTheSessionCanRunAgain) {
  auto& application = platform::Application::shared();
  auto a = participant("A");
  auto session = a->session;
  session->participantWillOverrideStatusBarVisibility(*a);
  session->participantDidRelinquishScreen(*a);
  EXPECT_FALSE(application.isIdleTimerDisabled());
  a->join(slot);
  application.setStatusBarHidden(true);  // the host's own choice, this time
  session->participantDidRelinquishScreen(*a);
  EXPECT_TRUE(application.isStatusBarHidden()) << "no presenter hid it in this run";
  EXPECT_EQ(*log, (Log{"willPresent", "slot.willPresent", "slot.willDismiss", "didDismiss", "slot.didDismiss",
                       "willPresent", "slot.willPresent", "slot.willDismiss", "didDismiss", "slot.didDismiss"}));
}

// The MRAID page is told it cannot be seen while the session runs, then what the slot
// last measured.
TEST_F(ZUMIntermissionTest, HidesTheAdFromMRAIDVisibilityWhileItRuns) {
  auto page = std::make_shared<presentation_testing::MRAIDPage>(log);
  slot->setAd(ZUMAd::create());
  slot->ad()->setMRAIDEventHandler(page);
  slot->setMonitoredViewVisible(true);
  auto a = participant("A");
  a->session->participantDidRelinquishScreen(*a);
  EXPECT_EQ(*log, (Log{"willPresent", "slot.willPresent", "hidden", "slot.willDismiss", "didDismiss", "slot.didDismiss",
                       "visible"}));
}

TEST_F(ZUMIntermissionTest, AParticipantThatVanishesEndsTheSession) {
  // Noticed at the next call: another participant's relinquish ...
  auto a = participant("A");
  auto b = participant("B");
  b.reset();
  a->relinquishScreenWithCompletion(nullptr);
  env.advance(1);
  EXPECT_EQ(*log, (Log{"willPresent", "slot.willPresent", "A.relinquish", "slot.willDismiss", "A.gone", "didDismiss",
                       "slot.didDismiss"}));

  // ... or a join, which then begins anew ...
  log->clear();
  a = participant("A");
  auto session = a->session;
  a.reset();
  b = participant("B");
  EXPECT_EQ(*log, (Log{"willPresent", "slot.willPresent", "slot.willDismiss", "didDismiss", "slot.didDismiss",
                       "willPresent", "slot.willPresent"}));

  // ... also when it vanished while giving the screen back.
  log->clear();
  session->participantWillRelinquishScreen(*b);
  b.reset();
  session->addParticipant(nullptr);
  EXPECT_EQ(*log, (Log{"slot.willDismiss", "didDismiss", "slot.didDismiss"}));

  // When the session itself goes first, it ends what is left.
  log->clear();
  a = participant("A");
  session.reset();
  a->session->participantWillRelinquishScreen(*a);
  a->session.reset();
  EXPECT_EQ(*log, (Log{"willPresent", "slot.willPresent", "slot.willDismiss", "didDismiss", "slot.didDismiss"}));
}

// Returning to the foreground dismisses those that ask for it, each after the previous
// has completely finished; those that don't stay, and one already leaving is skipped.
TEST_F(ZUMIntermissionTest, ForegroundDismissesOneAfterAnother) {
  auto a = participant("A");
  auto stays = participant("S");
  stays->dismissOnForeground = false;
  auto b = participant("B");
  auto c = participant("C");
  testenv::AppControls::background();
  testenv::AppControls::foreground();
  c->relinquishScreenWithCompletion(nullptr);  // leaves by itself before its turn
  env.advance(5);
  EXPECT_EQ(*log, (Log{"willPresent", "slot.willPresent", "C.relinquish", "C.gone", "A.relinquish", "A.gone",
                       "B.relinquish", "B.gone"}));
  ASSERT_EQ(a->session, nullptr);
  EXPECT_EQ(stays->session->activeParticipants(), std::vector<std::shared_ptr<ZUMIntermitting>>{stays});
}

}  // namespace
