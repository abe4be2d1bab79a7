// The application's audio session: its category, the device's output volume, the
// output ports of the current route, whether another application plays audio, and the
// hint that secondary audio should be silenced. Values come from the device profile
// or from tests. Thread-safe.
#pragma once

#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace platform {

inline constexpr const char* kAudioSessionCategoryAmbient = "AVAudioSessionCategoryAmbient";
inline constexpr const char* kAudioSessionCategorySoloAmbient = "AVAudioSessionCategorySoloAmbient";
inline constexpr const char* kAudioSessionCategoryPlayback = "AVAudioSessionCategoryPlayback";
inline constexpr const char* kAudioSessionCategoryRecord = "AVAudioSessionCategoryRecord";
inline constexpr const char* kAudioSessionCategoryPlayAndRecord = "AVAudioSessionCategoryPlayAndRecord";

class AudioSession {
 public:
  static AudioSession& shared();

  std::string category() const;
  // Changes the category; false (and no change) for an unknown category or while
  // tests make category changes fail.
  [[nodiscard]] bool setCategory(const std::string& category);

  // From 0 to 1.
  float outputVolume() const;
  // The output port names of the current route; nullopt when the route is not known.
  std::optional<std::vector<std::string>> currentRouteOutputPortNames() const;
  bool isOtherAudioPlaying() const;
  // nullopt where the platform gives no hint.
  std::optional<bool> secondaryAudioShouldBeSilencedHint() const;

  // Values of the device. Volumes outside 0...1 (or not numbers) are clamped to it.
  void setOutputVolume(float volume);
  void setCurrentRouteOutputPortNames(std::optional<std::vector<std::string>> names);
  void setOtherAudioPlaying(bool playing);
  void setSecondaryAudioShouldBeSilencedHint(std::optional<bool> hint);
  void setCategoryChangesFail(bool fail);

 private:
  mutable std::mutex mutex_;
  std::string category_ = kAudioSessionCategorySoloAmbient;
  float volume_ = 0.5f;
  std::optional<std::vector<std::string>> portNames_ = std::vector<std::string>{"Speaker"};
  bool otherAudioPlaying_ = false;
  std::optional<bool> silenceHint_ = false;
  bool categoryChangesFail_ = false;
};

}  // namespace platform
