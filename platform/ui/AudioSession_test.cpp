#include "platform/ui/AudioSession.h"

#include <gtest/gtest.h>

#include "testing/TestEnvironment.h"

namespace platform {
namespace {

class AudioSessionTest : public testenv::PlatformTest {
 protected:
  AudioSession& session = AudioSession::shared();
};

TEST_F(AudioSessionTest, RecordsEveryChangeInOrder) {
  EXPECT_TRUE(session.setCategory(kAudioSessionCategoryAmbient, kAudioSessionCategoryOptionDuckOthers));
  EXPECT_TRUE(session.setMode(kAudioSessionModeDefault));
  EXPECT_TRUE(session.setActive(true));
  EXPECT_FALSE(session.setCategory("NoSuchCategory", 0));
  EXPECT_FALSE(session.setMode("NoSuchMode"));
  EXPECT_TRUE(session.setActive(false, kAudioSessionSetActiveOptionNotifyOthersOnDeactivation));
  const std::vector<AudioSessionCall> expected = {
      {"setCategory", kAudioSessionCategoryAmbient, kAudioSessionCategoryOptionDuckOthers, true},
      {"setMode", kAudioSessionModeDefault, 0, true},
      {"setActive", "1", 0, true},
      {"setCategory", "NoSuchCategory", 0, false},
      {"setMode", "NoSuchMode", 0, false},
      {"setActive", "0", kAudioSessionSetActiveOptionNotifyOthersOnDeactivation, true},
  };
  EXPECT_EQ(session.calls(), expected);
  EXPECT_EQ(session.category(), kAudioSessionCategoryAmbient);
  EXPECT_EQ(session.categoryOptions(), kAudioSessionCategoryOptionDuckOthers);
  EXPECT_EQ(session.mode(), kAudioSessionModeDefault);
  EXPECT_FALSE(session.isActive());
}

TEST_F(AudioSessionTest, OtherAudioResumesOnlyWhenNotifiedOnDeactivation) {
  const struct {
    const char* category;
    std::uint64_t categoryOptions;
    std::uint64_t deactivation;
    bool interrupted, playingAfter;
  } cases[] = {
      {kAudioSessionCategorySoloAmbient, 0, kAudioSessionSetActiveOptionNotifyOthersOnDeactivation, true, true},
      {kAudioSessionCategorySoloAmbient, 0, 0, true, false},
      {kAudioSessionCategoryAmbient, 0, 0, false, true},
      {kAudioSessionCategoryPlayback, kAudioSessionCategoryOptionMixWithOthers, 0, false, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.category);
    session.setOtherAudioPlaying(true);
    ASSERT_TRUE(session.setCategory(c.category, c.categoryOptions));
    ASSERT_TRUE(session.setActive(true));
    EXPECT_EQ(session.isOtherAudioPlaying(), !c.interrupted);
    ASSERT_TRUE(session.setActive(false, c.deactivation));
    EXPECT_EQ(session.isOtherAudioPlaying(), c.playingAfter);
  }
}

TEST_F(AudioSessionTest, AnActiveSessionSwitchedToASoloCategoryInterruptsOthers) {
  ASSERT_TRUE(session.setCategory(kAudioSessionCategoryAmbient));
  ASSERT_TRUE(session.setActive(true));
  session.setOtherAudioPlaying(true);
  ASSERT_TRUE(session.setCategory(kAudioSessionCategoryPlayback, kAudioSessionCategoryOptionMixWithOthers));
  EXPECT_TRUE(session.isOtherAudioPlaying());
  ASSERT_TRUE(session.setCategory(kAudioSessionCategorySoloAmbient));
  EXPECT_FALSE(session.isOtherAudioPlaying());
  ASSERT_TRUE(session.setActive(false, kAudioSessionSetActiveOptionNotifyOthersOnDeactivation));
  EXPECT_TRUE(session.isOtherAudioPlaying());
}

}  // namespace
}  // namespace platform
