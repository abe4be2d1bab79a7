// One table per message of the small handlers that live in rendering: whether the
// handler claims it, what it does, and what a malformed message gets.
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "ZUMSlotAdEventDelegate.h"
#include "ZUMSlotDelegate.h"
#include "platform/base/NotificationCenter.h"
#include "platform/base/SystemLog.h"
#include "platform/base/UserDefaults.h"
#include "sdk/csi/ZUMCSI.h"
#include "sdk/csi/ZUMCSIConfiguration.h"
#include "sdk/csi/ZUMCSITimeRecorder.h"
#include "sdk/csi/ZUMCSIVariableTiming.h"
#include "sdk/rendering/ZUMActiveViewTOLMHandler.h"
#include "sdk/rendering/ZUMAdRefreshTOLMHandler.h"
#include "sdk/rendering/ZUMAdView.h"
#include "sdk/rendering/ZUMAdViewActiveViewReporter.h"
#include "sdk/rendering/ZUMAdViewSlotRendering.h"
#include "sdk/rendering/ZUMAnalyticsTOLMHandler.h"
#include "sdk/rendering/ZUMAppEventTOLMHandler.h"
#include "sdk/rendering/ZUMBannerAdViewDelegate.h"
#include "sdk/rendering/ZUMCSITOLMHandler.h"
#include "sdk/rendering/ZUMDelayPageCloseTOLMHandler.h"
#include "sdk/rendering/ZUMDelayPageLoadTOLMHandler.h"
#include "sdk/rendering/ZUMNativeAdVideoClickTOLMHandler.h"
#include "sdk/rendering/ZUMNotification.h"
#include "sdk/rendering/ZUMOpener.h"
#include "sdk/rendering/ZUMRewardBasedVideoAdTOLMHandler.h"
#include "sdk/rendering/ZUMRewardBasedVideoAdTOLMHandlerDelegate.h"
#include "sdk/request/ZUMAdFormats.h"
#include "sdk/request/ZUMSlot.h"
#include "sdk/request/ZUMSlotPlacement.h"
#include "testing/TestEnvironment.h"

class ZUMAdReward {
 public:
  explicit ZUMAdReward(std::string text) : text(std::move(text)) {}
  std::string text;
};

namespace {

using Json = nlohmann::ordered_json;
using Log = std::vector<std::string>;

std::shared_ptr<const ZUMNotification> message(const std::string& text) {
  return ZUMNotification::createWithNotificationURL(*platform::URL::fromString("tolm://page/" + text));
}

// Every call any of the handlers' collaborators receives, as one line each.
struct Recorder : ZUMAdViewActiveViewMonitoring,
                  ZUMActiveViewTOLMHandlerDelegate,
                  ZUMCSITOLMHandlerDelegate,
                  ZUMDelayLoadDelegate,
                  ZUMRewardBasedVideoAdTOLMHandlerDelegate,
                  ZUMSlotDelegate,
                  ZUMAdFormats {
  void activeViewVisibilityChanged(bool) override {}
  bool activeViewMonitoringStarted(std::uint64_t r) override { return add("started " + std::to_string(r)), accepts; }
  void activeViewMonitoringDidStop(std::uint64_t r) override { add("stopped " + std::to_string(r)); }
  void activeViewTOLMHandlerDidReceiveVisibilityNotification(ZUMTOLMHandler&, bool v, std::uint64_t id) override {
    add("visible " + std::to_string(id) + " " + std::to_string(v));
  }
  void activeViewTOLMHandlerDidReceiveUntrackNotification(ZUMTOLMHandler&, std::uint64_t id) override {
    add("untrack " + std::to_string(id));
  }
  std::shared_ptr<ZUMCSI> CSIForTOLMHandler(ZUMTOLMHandler&) override { return csi; }
  void loadHandlerDidChangeDelay(ZUMTOLMHandler&, std::int64_t from, std::int64_t to) override {
    add(std::to_string(from) + "->" + std::to_string(to));
  }
  void loadHandlerDidCancel(ZUMTOLMHandler&) override { add("cancel"); }
  void rewardBasedVideoAdTOLMHandlerDidReceiveRewardNotificationWithRewardItem(
      const std::shared_ptr<ZUMAdReward>& reward) override {
    add(reward ? "reward " + reward->text : "grant without a reward");
  }
  void rewardBasedVideoAdTOLMHandlerDidReceiveStartVideoNotification() override { add("video start"); }
  ZUMImplemented slotDidReceiveAppEvent(ZUMSlot&, const std::string& name,
                                        const std::optional<std::string>& info) override {
    add("app event " + name + " " + info.value_or("-"));
    return kZUMImplemented;
  }
  std::shared_ptr<ZUMAdReward> makeReward(const Json& dictionary) override {
    return dictionary.contains("rb_amount") ? std::make_shared<ZUMAdReward>(dictionary.dump()) : nullptr;
  }
  std::shared_ptr<ZUMAdReward> makeReward(const std::optional<std::string>& type,
                                          const std::optional<platform::Decimal>& amount) override {
    return type && amount ? std::make_shared<ZUMAdReward>(*type + " " + amount->stringValue()) : nullptr;
  }
  void add(std::string line) { log.push_back(std::move(line)); }
  Log take() { return std::exchange(log, {}); }

  Log log;
  bool accepts = true;
  std::shared_ptr<ZUMCSI> csi = ZUMCSI::create();
};

struct Placement : ZUMSlotPlacement {};

class ZUMSmallTOLMHandlersTest : public testenv::PlatformTest {
 protected:
  void SetUp() override {
    // Every registry reports, so timings can be read back.
    EXPECT_TRUE(platform::UserDefaults::standard().setObject("1", kZUMCSIReportingProbabilityKey));
    ZUMSlotRendering::setShared(std::make_shared<ZUMAdViewSlotRendering>());
    ZUMAdFormats::setShared(recorder);
    slot = ZUMSlot::create({0, 0, 320, 50});
    slot->setSlotDelegate(recorder);
    adView = std::dynamic_pointer_cast<ZUMAdView>(slot->adView());
    adView->activeViewReporter().setObserver(recorder);
    adView->setRewardBasedVideoAdTOLMHandlerDelegate(recorder);
  }
  void TearDown() override {
    ZUMSlotRendering::setShared(nullptr);
    ZUMAdFormats::setShared(nullptr);
  }
  // Offers the message to the handler; the answer is whether it claimed it.
  bool send(ZUMTOLMHandler& handler, const std::string& text) {
    const bool claimed = handler.handleNotification(message(text), adView);
    env.runUntilIdle();
    return claimed;
  }

  std::shared_ptr<Recorder> recorder = std::make_shared<Recorder>();
  std::shared_ptr<ZUMSlot> slot;
  std::shared_ptr<ZUMAdView> adView;
};

TEST_F(ZUMSmallTOLMHandlersTest, ActiveViewMessages) {
  const struct {
    const char* message;
    bool reporting;  // the reporter reports before the message
    Log expected;
  } rows[] = {
      {"trackActiveViewUnit", false, {"started 2"}},
      {"untrackActiveViewUnit?hashCode=7", true, {"stopped 2"}},
      {"untrackActiveViewUnit?hashCode=7", false, {"untrack 7"}},
      {"untrackActiveViewUnit", false, {}},
      {"untrackActiveViewUnit?hashCode=-3", false, {}},
      {"untrackActiveViewUnit?hashCode=0", false, {"untrack 0"}},
      {"visibilityChanged?hashCode=5&isVisible=1", false, {"visible 5 1"}},
      {"visibilityChanged?hashCode=5&isVisible=true", false, {"visible 5 0"}},
      {"visibilityChanged?hashCode=5", false, {}},
      {"visibilityChanged?isVisible=1", false, {}},
      {"visibilityChanged?hashCode=99999999999999999999&isVisible=1", false, {"visible 9223372036854775807 1"}},
  };
  platform::SystemLog::Capture capture(true);
  for (const auto& row : rows) {
    auto handler = ZUMActiveViewTOLMHandler::create();
    handler->setDelegate(recorder);
    if (row.reporting) adView->activeViewReporter().start();
    recorder->take();
    EXPECT_TRUE(send(*handler, row.message)) << row.message;
    EXPECT_EQ(recorder->take(), row.expected) << row.message;
    adView->activeViewReporter().stop();
  }
  EXPECT_TRUE(capture.contains("negative unit id dropped"));
  // A start the owner refuses leaves the reporter off, so an untrack goes to the delegate.
  recorder->accepts = false;
  auto handler = ZUMActiveViewTOLMHandler::create();
  handler->setDelegate(recorder);
  send(*handler, "trackActiveViewUnit");
  send(*handler, "untrackActiveViewUnit?hashCode=1");
  EXPECT_EQ(recorder->take(), (Log{"started 2", "untrack 1"}));
  EXPECT_FALSE(send(*handler, "activeView"));
}

TEST_F(ZUMSmallTOLMHandlersTest, RefreshMessages) {
  const struct {
    const char* message;
    const char* protection;  // the user default's value, "" for none
    bool reloadableBefore;
    bool reloadableAfter;
  } rows[] = {
      {"refresh?action=pause", "", true, false},    {"refresh?action=resume", "", false, true},
      {"refresh?action=stop", "", true, true},      {"refresh", "", false, false},
      {"refresh?action=pause", "true", true, true}, {"refresh?action=pause", "0", true, false},
  };
  auto handler = ZUMAdRefreshTOLMHandler::create(slot->adViewDelegate()->opener());
  for (const auto& row : rows) {
    auto& defaults = platform::UserDefaults::standard();
    if (*row.protection)
      EXPECT_TRUE(defaults.setObject(row.protection, "/vantor/ads/enable_refresh_tolm_protection"));
    else
      defaults.removeObjectForKey("/vantor/ads/enable_refresh_tolm_protection");
    slot->setReloadable(row.reloadableBefore);
    EXPECT_TRUE(send(*handler, row.message)) << row.message;
    EXPECT_EQ(slot->reloadable(), row.reloadableAfter) << row.message << " " << row.protection;
    EXPECT_FALSE(slot->hasReloadTimer()) << row.message;  // no load was made: nothing to reload
  }
}

struct EventRecorder : ZUMSlotAdEventDelegate {
  ZUMImplemented slotDidRecordImpression(ZUMSlot&) override { return log.push_back("impression"), kZUMImplemented; }
  ZUMImplemented slotDidRecordClick(ZUMSlot&) override { return log.push_back("click"), kZUMImplemented; }
  Log log;
};

TEST_F(ZUMSmallTOLMHandlersTest, AnalyticsMessages) {
  auto events = std::make_shared<EventRecorder>();
  slot->setAdEventDelegate(events);
  const struct {
    const char* message;
    Log expected;
  } rows[] = {
      {"logBraskEvent?eventName=_ai&eventId=e1", {"impression"}},
      {"logBraskEvent?eventName=_ac&eventId=e1", {"click"}},
      {"logBraskEvent?eventName=_ai", {}},
      {"logBraskEvent?eventId=e1", {}},
      {"logBraskEvent?eventName=other&eventId=e1", {}},
  };
  auto handler = ZUMAnalyticsTOLMHandler::create();
  for (const auto& row : rows) {
    EXPECT_TRUE(send(*handler, row.message)) << row.message;
    EXPECT_EQ(std::exchange(events->log, {}), row.expected) << row.message;
  }
}

TEST_F(ZUMSmallTOLMHandlersTest, AppEventMessagesWaitForAPlacement) {
  auto handler = ZUMAppEventTOLMHandler::create(slot);
  EXPECT_TRUE(send(*handler, "appEvent?name=a&info=x"));
  EXPECT_TRUE(send(*handler, "appEvent?info=x"));
  EXPECT_TRUE(send(*handler, "appEvent?name=b"));
  EXPECT_EQ(handler->bufferedNotificationCount(), 3u);
  EXPECT_TRUE(recorder->take().empty());
  auto placement = std::make_shared<Placement>();
  slot->setPlacement(placement);
  handler->flushBuffer();
  EXPECT_EQ(recorder->take(), (Log{"app event a x", "app event b -"}));
  // A handler whose slot has gone holds on to its messages.
  auto orphan = ZUMAppEventTOLMHandler::create();
  EXPECT_TRUE(send(*orphan, "appEvent?name=c"));
  EXPECT_EQ(orphan->bufferedNotificationCount(), 1u);
}

TEST_F(ZUMSmallTOLMHandlersTest, InstrumentMessages) {
  const struct {
    const char* message;
    std::int64_t startStamp;  // stored under "native:view_create" first (0: none)
    std::int64_t storedUnderL;
    std::size_t timings;
  } rows[] = {
      {"instrument?action=tick&label=l&timestamp=5000", 2000, 5000, 1},
      {"instrument?action=tick&label=l&timestamp=1000", 2000, 1000, 0},  // before its start
      {"instrument?action=tick&label=l&timestamp=5000", 0, 5000, 0},     // no start
      {"instrument?action=tick&label=l&timestamp=5000&start_label=s", 2000, 5000, 0},
      {"instrument?action=tick&label=l", 2000, 0, 0},
      {"instrument?action=tick&timestamp=5000", 2000, 0, 0},
      {"instrument?action=tick&label=l&timestamp=-5000", 2000, 0, 0},  // before 1970: refused
      {"instrument?action=tick&label=l&timestamp=nan", 2000, 0, 0},
      {"instrument?action=other&label=l&timestamp=5000", 2000, 0, 0},
  };
  auto handler = ZUMCSITOLMHandler::create();
  handler->setCSIDelegate(recorder);
  platform::SystemLog::Capture capture(true);
  for (const auto& row : rows) {
    recorder->csi = ZUMCSI::create();
    if (row.startStamp) recorder->csi->setTimestamp(row.startStamp, "native:view_create");
    EXPECT_TRUE(send(*handler, row.message)) << row.message;
    EXPECT_EQ(recorder->csi->timestampForLabel("l"), row.storedUnderL) << row.message;
    auto recorded = recorder->csi->timeRecorderForAction("make_wv");
    ASSERT_TRUE(recorded);
    EXPECT_EQ(recorded->completedVariables().size(), row.timings) << row.message;
  }
  EXPECT_TRUE(capture.contains("timestamp before 1970 dropped"));
  send(*handler, "instrument?action=tick&label=l&timestamp=5000");
  ASSERT_EQ(recorder->csi->timeRecorderForAction("make_wv")->completedVariables().size(), 1u);
  const auto timing = recorder->csi->timeRecorderForAction("make_wv")->completedVariables().at("l");
  EXPECT_EQ(timing->name(), "l");
  EXPECT_DOUBLE_EQ(timing->start(), 2.0);
  EXPECT_DOUBLE_EQ(timing->length(), 3.0);

  send(*handler, "instrument?action=experiment&value=x9");
  send(*handler, "instrument?action=experiment");
  send(*handler, "instrument?action=extra&name=k&value=v");
  send(*handler, "instrument?action=extra&name=k2");
  auto recorded = recorder->csi->timeRecorderForAction("make_wv");
  EXPECT_EQ(recorded->experimentIDs().back(), "x9");
  EXPECT_EQ(recorded->customizedParameters().at("k"), "v");
  EXPECT_EQ(recorded->customizedParameters().count("k2"), 0u);
  // Without a registry nothing is written, and nothing breaks.
  recorder->csi = nullptr;
  EXPECT_TRUE(send(*handler, "instrument?action=tick&label=l&timestamp=5000"));
}

TEST_F(ZUMSmallTOLMHandlersTest, DelayPageClosedMessagesWaitForAPlacement) {
  Log posted;
  auto& center = platform::NotificationCenter::defaultCenter();
  std::vector<platform::NotificationCenter::Token> tokens;
  for (const char* name : {kZUMDelayPageCloseStartNotification, kZUMDelayPageCloseStopNotification}) {
    tokens.push_back(center.addObserver(name, adView, nullptr,
                                        [&posted, name](const platform::Notification&) { posted.push_back(name); }));
  }
  const struct {
    const char* message;
    Log expected;
  } rows[] = {
      {"delayPageClosed?start=1&stop=1", {"delay_page_close_start", "delay_page_close_stop"}},
      {"delayPageClosed?start=true", {"delay_page_close_start"}},
      {"delayPageClosed?stop=yes", {"delay_page_close_stop"}},
      {"delayPageClosed?start=0&stop=no", {}},
      {"delayPageClosed", {}},
  };
  auto handler = ZUMDelayPageCloseTOLMHandler::create();
  adView->didMoveToPlacement(std::make_shared<Placement>());
  for (const auto& row : rows) {
    EXPECT_TRUE(send(*handler, row.message)) << row.message;
    EXPECT_EQ(std::exchange(posted, {}), row.expected) << row.message;
  }
  adView->didMoveToPlacement(nullptr);
  EXPECT_TRUE(send(*handler, "delayPageClosed?start=1"));
  EXPECT_TRUE(posted.empty());
  EXPECT_EQ(handler->bufferedNotificationCount(), 1u);
  for (const auto& token : tokens) center.removeObserver(token);
}

TEST_F(ZUMSmallTOLMHandlersTest, DelayPageLoadedMessagesCountHoldsAndActLater) {
  const struct {
    std::vector<const char*> messages;
    Log expected;
    std::int64_t count;
  } rows[] = {
      {{"delayPageLoaded?start=1", "delayPageLoaded?start=", "delayPageLoaded?stop=0"}, {"0->1", "1->2", "2->1"}, 1},
      {{"delayPageLoaded?stop=1"}, {}, 0},
      {{"delayPageLoaded?start=1&cancel=1"}, {"0->1"}, 1},
      {{"delayPageLoaded?start=1", "delayPageLoaded?cancel=1", "delayPageLoaded?start=1"}, {"0->1", "cancel"}, 1},
      {{"delayPageLoaded?other=1"}, {}, 0},
  };
  for (const auto& row : rows) {
    auto handler = ZUMDelayPageLoadTOLMHandler::create(recorder);
    for (const char* text : row.messages) {
      EXPECT_TRUE(handler->handleNotification(message(text), adView)) << text;
    }
    EXPECT_TRUE(recorder->log.empty()) << "acts on a later turn";
    env.runUntilIdle();
    EXPECT_EQ(recorder->take(), row.expected) << row.messages.front();
    EXPECT_EQ(handler->delayCount(), row.count) << row.messages.front();
  }
}

TEST_F(ZUMSmallTOLMHandlersTest, EachPageLoadDelayOfABannerEnds) {
  auto delegate = slot->adViewDelegate();
  auto handler = ZUMDelayPageLoadTOLMHandler::create(delegate);
  slot->willStartAdRendering();
  send(*handler, "delayPageLoaded?start=1");
  delegate->adViewDidFinishLoad(*adView);
  EXPECT_EQ(slot->state(), ZUMSlot::State::kRendering);  // held
  send(*handler, "delayPageLoaded?stop=1");
  EXPECT_EQ(slot->state(), ZUMSlot::State::kValidAd);
  // A later hold ends too: the finished load is reported again (timed) at its release.
  slot->CSI()->setTimestamp(1, "native:view_load");
  send(*handler, "delayPageLoaded?start=1");
  EXPECT_TRUE(delegate->isLoadDelayed());
  send(*handler, "delayPageLoaded?stop=1");
  EXPECT_FALSE(delegate->isLoadDelayed());
  EXPECT_GT(slot->CSI()->timestampForLabel("native:view_load"), 1);
}

TEST_F(ZUMSmallTOLMHandlersTest, VideoClickedAndRewardMessages) {
  Json posted;
  auto& center = platform::NotificationCenter::defaultCenter();
  const auto token = center.addObserver(kZUMNativeAdVideoClickNotification, adView, nullptr,
                                        [&posted](const platform::Notification& n) { posted = n.userInfo(); });
  auto clicks = ZUMNativeAdVideoClickTOLMHandler::create();
  EXPECT_TRUE(send(*clicks, "videoClicked?a=1&b=two"));
  center.removeObserver(token);
  EXPECT_EQ(posted, (Json{{"a", "1"}, {"b", "two"}}));

  const struct {
    const char* message;
    Log expected;
  } rows[] = {
      {"reward?action=video_start", {"video start"}},
      {"reward?action=grant&type=coins&amount=2.50", {"reward coins 2.5"}},  // the exact decimal of the text
      {"reward?action=grant&type=gems&amount=-0.000001", {"reward gems -0.000001"}},
      // No reward made of it: logged, and the grant still heard (the ad may have its own).
      {"reward?action=grant&amount=1", {"grant without a reward"}},
      {"reward?action=grant&type=coins", {"grant without a reward"}},
      {"reward?action=grant&type=coins&amount=nan", {"grant without a reward"}},
      {"reward?action=grant&type=coins&amount=1e400", {"grant without a reward"}},
      {"reward?action=grant&type=coins&amount=10coins", {"grant without a reward"}},
      {"reward?action=other", {}},
      {"reward", {}},
  };
  auto handler = ZUMRewardBasedVideoAdTOLMHandler::create();
  for (const auto& row : rows) {
    platform::SystemLog::Capture capture(true);
    EXPECT_TRUE(send(*handler, row.message)) << row.message;
    const bool refused = row.expected == Log{"grant without a reward"};
    EXPECT_EQ(recorder->take(), row.expected) << row.message;
    EXPECT_EQ(capture.contains("Reward message carries no valid reward."), refused) << row.message;
  }
}

}  // namespace
