#include <cmath>

#include <gtest/gtest.h>

#include "platform/media/AudioMix.h"
#include "platform/media/KeyValueObservers.h"
#include "platform/media/MediaTime.h"
#include "platform/media/UniformTypeIdentifiers.h"

namespace platform {
namespace {

TEST(MediaTimeTest, MakesAndComparesTimes) {
  EXPECT_EQ(MediaTime::makeWithSeconds(1.5, 1'000'000'000).value, 1'500'000'000);
  EXPECT_EQ(MediaTime::makeWithSeconds(0.25, 4), (MediaTime{1, 4}));
  EXPECT_EQ(MediaTime::makeWithSeconds(0.25, 600), MediaTime::makeWithSeconds(0.25, 4));
  EXPECT_FALSE(MediaTime::makeWithSeconds(NAN, 600).isValid());
  EXPECT_FALSE(MediaTime::makeWithSeconds(1e300, 600).isValid());
  EXPECT_FALSE(MediaTime::makeWithSeconds(1, 0).isValid());
  EXPECT_TRUE(std::isnan(MediaTime::invalid().seconds()));
  EXPECT_FALSE(MediaTime::invalid() == MediaTime::zero());
  EXPECT_EQ(MediaTime::invalid(), MediaTime::invalid());
}

TEST(UniformTypeIdentifiersTest, MapsMIMETypes) {
  const std::pair<const char*, std::optional<std::string>> cases[] = {
      {"video/mp4", "public.mpeg-4"},
      {"VIDEO/MP4; codecs=\"avc1.42E01E\"", "public.mpeg-4"},
      {" audio/mp4 ", "public.mpeg-4-audio"},
      {"audio/mpeg", "public.mp3"},
      {"video/3gpp", "public.3gpp"},
      {"text/html", std::nullopt},
      {"", std::nullopt},
  };
  for (const auto& [mime, identifier] : cases) {
    EXPECT_EQ(preferredTypeIdentifierForMIMEType(mime), identifier) << mime;
  }
}

TEST(AudioMixTest, VolumeOfATrackIsClamped) {
  AudioMix mix{{{1, 0.3f}, {2, 1.5f}, {3, -1.0f}}};
  EXPECT_FLOAT_EQ(mix.volumeForTrack(1), 0.3f);
  EXPECT_FLOAT_EQ(mix.volumeForTrack(2), 1.0f);
  EXPECT_FLOAT_EQ(mix.volumeForTrack(3), 0.0f);
  EXPECT_FLOAT_EQ(mix.volumeForTrack(9), 1.0f);
}

TEST(KeyValueObserversTest, NotifiesObserversOfTheKeyPathInOrder) {
  KeyValueObservers observers;
  std::vector<std::string> heard;
  KeyValueObservers::Token second = 0;
  observers.add("rate", [&] {
    heard.push_back("first");
    observers.remove(second);  // removed during a notice: not called by it
    observers.add("rate", [&] { heard.push_back("added"); });
  });
  second = observers.add("rate", [&] { heard.push_back("second"); });
  observers.add("status", [&] { heard.push_back("status"); });
  observers.notify("rate");
  EXPECT_EQ(heard, std::vector<std::string>{"first"});
}

}  // namespace
}  // namespace platform
