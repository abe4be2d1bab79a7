// The audio/video manager over the platform's recording audio session: what each report
// of an ad player does to the session's category, mode and activation, and what the
// application's delegate hears.
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "platform/base/DispatchQueue.h"
#include "platform/base/RunLoop.h"
#include "platform/base/UserDefaults.h"
#include "platform/media/Player.h"
#include "platform/ui/AudioSession.h"
#include "sdk/entry/ZUMBuiltIns.h"
#include "sdk/include/ZUMMobileAds.h"
#include "sdk/video/ZUMAudioSession.h"
#include "sdk/video/ZUMAudioVideoManagerImpl.h"
#include "testing/TestEnvironment.h"

namespace {

using Calls = std::vector<std::string>;
using platform::AudioSession;

struct RecordingDelegate : ZUMAudioVideoManagerDelegate {
  void add(const char* what) { calls.push_back(std::string(what) + (platform::isMainThread() ? "" : " (off main)")); }
  void audioVideoManagerWillPlayVideo(ZUMAudioVideoManager&) override { add("will play video"); }
  void audioVideoManagerDidPauseAllVideo(ZUMAudioVideoManager&) override { add("did pause all video"); }
  void audioVideoManagerWillPlayAudio(ZUMAudioVideoManager&) override { add("will play audio"); }
  void audioVideoManagerDidStopPlayingAudio(ZUMAudioVideoManager&) override { add("did stop audio"); }
  Calls calls;
};

class ZUMAudioVideoManagerTest : public testenv::PlatformTest {
 protected:
  void SetUp() override {
    ZUMRegisterBuiltIns();
    manager = ZUMAudioVideoManagerImpl::shared();
    ASSERT_TRUE(manager);
    manager->setDelegate(delegate);
    // The application's own settings.
    ASSERT_TRUE(session().setCategory(platform::kAudioSessionCategoryPlayback,
                                      platform::kAudioSessionCategoryOptionDuckOthers));
    ASSERT_TRUE(session().setMode(platform::kAudioSessionModeSpokenAudio));
    seen = session().calls().size();
  }
  static AudioSession& session() { return AudioSession::shared(); }
  // The session changes since the last look, as "operation value options".
  Calls changes() {
    const auto all = session().calls();
    Calls out;
    for (std::size_t i = seen; i < all.size(); ++i) {
      out.push_back(all[i].operation + " " + all[i].value +
                    (all[i].options ? " " + std::to_string(all[i].options) : ""));
    }
    seen = all.size();
    env.runUntilIdle();
    return out;
  }
  Calls heard() { return std::exchange(delegate->calls, {}); }

  std::shared_ptr<ZUMAudioVideoManagerImpl> manager;
  std::shared_ptr<RecordingDelegate> delegate = std::make_shared<RecordingDelegate>();
  std::size_t seen = 0;
};

const std::string kAmbient = std::string("setCategory ") + platform::kAudioSessionCategoryAmbient;
const std::string kSolo = std::string("setCategory ") + platform::kAudioSessionCategorySoloAmbient;
const std::string kDefaultMode = std::string("setMode ") + platform::kAudioSessionModeDefault;

TEST_F(ZUMAudioVideoManagerTest, SilentVideoMixesSoundGoesSoloAndTheLastPauseRestoresTheApplication) {
  EXPECT_EQ(ZUMMobileAds::sharedInstance()->audioVideoManager(), manager);  // one per process
  session().setOtherAudioPlaying(true);
  auto player = platform::Player::create();
  player->setMuted(true);
  player->play();
  manager->playerWillStartPlayingVideo(player);
  EXPECT_EQ(changes(), (Calls{kAmbient, kDefaultMode, "setActive 1"}));
  EXPECT_EQ(heard(), Calls{"will play video"});
  EXPECT_TRUE(session().isOtherAudioPlaying());
  manager->playerWillStartPlayingVideo(player);  // a second start: nothing new
  EXPECT_EQ(heard(), Calls{});

  // Unmuted while playing: solo, the other application's audio interrupted.
  manager->playerWillStartPlayingSound(player);
  EXPECT_EQ(changes(), (Calls{kSolo, kDefaultMode, "setActive 1"}));
  EXPECT_EQ(heard(), Calls{"will play audio"});
  EXPECT_TRUE(ZUMAudioSession::sharedInstance()->wasOtherAppAudioInterrupted());
  EXPECT_FALSE(session().isOtherAudioPlaying());

  // Muted again: mixable, and the video is paused and resumed around the deactivation
  // that lets the other audio play again.
  Calls rates;
  player->addObserver("rate", [&] { rates.push_back(std::to_string(int(player->rate()))); });
  manager->playerDidStopPlayingSound(player);
  EXPECT_EQ(changes(), (Calls{kAmbient, kDefaultMode, "setActive 1", kAmbient, kDefaultMode, "setActive 0 1"}));
  EXPECT_EQ(rates, (Calls{"0", "1"}));
  EXPECT_TRUE(session().isOtherAudioPlaying());
  EXPECT_EQ(heard(), Calls{"did stop audio"});

  // The last pause: the application's category with its options, then its mode.
  manager->playerDidPauseVideo(player);
  EXPECT_EQ(changes(), (Calls{std::string("setCategory ") + platform::kAudioSessionCategoryPlayback + " 2",
                              std::string("setMode ") + platform::kAudioSessionModeSpokenAudio}));
  EXPECT_EQ(heard(), Calls{"did pause all video"});
  manager->playerDidPauseVideo(player);
  EXPECT_EQ(changes(), Calls{});
  EXPECT_EQ(heard(), Calls{});

  // The next start saves the application's settings afresh (now solo ambient by hand).
  ASSERT_TRUE(session().setCategory(platform::kAudioSessionCategorySoloAmbient));
  manager->playerWillStartPlayingVideo(player);
  manager->playerDidPauseVideo(player);
  EXPECT_EQ(changes().at(4), kSolo);
}

TEST_F(ZUMAudioVideoManagerTest, AVideoWithSoundStartsSoloAndTwoPlayersCountAsOne) {
  auto loud = platform::Player::create();
  auto muted = platform::Player::create();
  muted->setMuted(true);
  auto silent = platform::Player::create();
  silent->setVolume(0);
  manager->playerWillStartPlayingVideo(loud);
  EXPECT_EQ(changes(), (Calls{kSolo, kDefaultMode, "setActive 1"}));
  EXPECT_EQ(heard(), (Calls{"will play audio", "will play video"}));
  manager->playerWillStartPlayingVideo(muted);
  manager->playerWillStartPlayingVideo(silent);
  EXPECT_EQ(changes(), Calls{});
  EXPECT_EQ(manager->soundVideoCount(), 1u);
  manager->playerDidPauseVideo(muted);
  manager->playerDidPauseVideo(loud);  // the sound stops; two videos still play: mixable
  EXPECT_EQ(changes(), (Calls{kAmbient, kDefaultMode, "setActive 1"}));
  EXPECT_EQ(heard(), Calls{"did stop audio"});
  manager->playerDidPauseVideo(silent);
  EXPECT_EQ(heard(), Calls{"did pause all video"});
  EXPECT_EQ(session().category(), platform::kAudioSessionCategoryPlayback);
  EXPECT_EQ(session().mode(), platform::kAudioSessionModeSpokenAudio);
}

TEST_F(ZUMAudioVideoManagerTest, AnApplicationManagedSessionWithTheSwitchOnIsLeftAlone) {
  const struct {
    const char* name;
    bool applicationManaged;
    std::optional<std::string> storedSwitch;
    bool sessionTouched;
  } rows[] = {
      {"managed, switch on", true, "true", false},     {"managed, switch \"1\"", true, "1", false},
      {"managed, switch off", true, "0", true},        {"managed, no switch", true, std::nullopt, true},
      {"not managed, switch on", false, "true", true},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    manager->setAudioSessionIsApplicationManaged(row.applicationManaged);
    EXPECT_EQ(manager->audioSessionIsApplicationManaged(), row.applicationManaged);
    auto& defaults = platform::UserDefaults::standard();
    const std::string key = std::string("/vantor/ads/") + ZUMAudioVideoManagerImpl::kPubUnmutedAudioCategoryControlName;
    if (row.storedSwitch) {
      (void)defaults.setObject(nlohmann::ordered_json(*row.storedSwitch), key);
    } else {
      defaults.removeObjectForKey(key);
    }
    auto player = platform::Player::create();
    player->setMuted(true);
    manager->playerWillStartPlayingVideo(player);
    changes();
    manager->playerWillStartPlayingSound(player);
    EXPECT_EQ(!changes().empty(), row.sessionTouched);
    manager->playerDidPauseVideo(player);
    heard();
    changes();
  }
}

TEST_F(ZUMAudioVideoManagerTest, ADisabledSessionChangesNothingUntilEnabled) {
  auto audio = ZUMAudioSession::sharedInstance();
  audio->disable();
  audio->setMixable(true);
  audio->restoreState();
  EXPECT_EQ(changes(), Calls{});
  EXPECT_FALSE(audio->isEnabled());
  audio->enable();
  audio->setMixable(false);
  EXPECT_EQ(changes(), (Calls{kSolo, kDefaultMode, "setActive 1"}));
  audio->restoreState();
  audio->restoreState();  // once per save
  EXPECT_EQ(changes().size(), 2u);
}

TEST_F(ZUMAudioVideoManagerTest, EnableAndDisableTakeEffectBeforeTheNextRead) {
  // enable() and disable() are asynchronous: a read after them sees them.
  auto audio = ZUMAudioSession::sharedInstance();
  platform::DispatchQueue::global()->async([audio] { audio->disable(); });
  env.runUntilIdle();
  EXPECT_FALSE(audio->isEnabled());
  audio->enable();
  EXPECT_TRUE(audio->isEnabled());
}

TEST_F(ZUMAudioVideoManagerTest, AnApplicationManagedSessionIsRestoredAndLeftWhenTheSoundStops) {
  manager->setAudioSessionIsApplicationManaged(true);
  auto player = platform::Player::create();
  manager->playerWillStartPlayingVideo(player);  // with sound: the SDK takes the session
  manager->playerWillStartPlayingSound(player);  // again: nothing new
  EXPECT_EQ(changes(), (Calls{kSolo, kDefaultMode, "setActive 1"}));
  EXPECT_EQ(heard(), (Calls{"will play audio", "will play video"}));
  manager->playerDidStopPlayingSound(player);
  EXPECT_EQ(changes(), (Calls{std::string("setCategory ") + platform::kAudioSessionCategoryPlayback + " 2",
                              std::string("setMode ") + platform::kAudioSessionModeSpokenAudio}));
  EXPECT_FALSE(ZUMAudioSession::sharedInstance()->isEnabled());
}

TEST_F(ZUMAudioVideoManagerTest, TheInterruptionIsForgottenWithTheSavedSettings) {
  auto audio = ZUMAudioSession::sharedInstance();
  const struct {
    const char* name;
    std::function<void()> forget;
  } rows[] = {{"restored", [&] { audio->restoreState(); }}, {"disabled", [&] { audio->disable(); }}};
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    audio->enable();
    session().setOtherAudioPlaying(true);
    audio->setMixable(false);
    EXPECT_TRUE(audio->wasOtherAppAudioInterrupted());
    row.forget();
    EXPECT_FALSE(audio->wasOtherAppAudioInterrupted());
    audio->enable();
    changes();
    audio->resumeBackgroundAppAudioIfInterrupted();  // nothing was interrupted any more
    EXPECT_EQ(changes(), Calls{});
  }
}

}  // namespace
