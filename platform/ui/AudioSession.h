// The application's audio session: its category with options, its mode, activation, the
// device's output volume, the output ports of the current route, whether another
// application plays audio, and the hint that secondary audio should be silenced. Values
// come from the device profile or from tests. Every change the application asks for is
// recorded in calls(), in order, so tests can read what was done to the session.
//
// Activating the session in a category that does not mix with others, or switching an
// active session to one, interrupts other applications' audio; deactivating it with kAudioSessionSetActiveOptionNotifyOthersOnDeactivation
// lets that audio resume. Thread-safe.
#pragma once

#include <cstdint>
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

inline constexpr const char* kAudioSessionModeDefault = "AVAudioSessionModeDefault";
inline constexpr const char* kAudioSessionModeMoviePlayback = "AVAudioSessionModeMoviePlayback";
inline constexpr const char* kAudioSessionModeSpokenAudio = "AVAudioSessionModeSpokenAudio";

// Category options (bits).
inline constexpr std::uint64_t kAudioSessionCategoryOptionMixWithOthers = 1;
inline constexpr std::uint64_t kAudioSessionCategoryOptionDuckOthers = 2;
// Options of setActive().
inline constexpr std::uint64_t kAudioSessionSetActiveOptionNotifyOthersOnDeactivation = 1;

// One change asked of the session: "setCategory" (value: the category), "setMode" (the
// mode) or "setActive" ("1" or "0"), with its options, and whether it was done.
struct AudioSessionCall {
  std::string operation;
  std::string value;
  std::uint64_t options = 0;
  bool succeeded = true;
  friend bool operator==(const AudioSessionCall&, const AudioSessionCall&) = default;
};

class AudioSession {
 public:
  static AudioSession& shared();

  std::string category() const;
  // Changes the category; false (and no change) for an unknown category or while
  // tests make category changes fail.
  [[nodiscard]] bool setCategory(const std::string& category);
  [[nodiscard]] bool setCategory(const std::string& category, std::uint64_t options);
  std::uint64_t categoryOptions() const;

  std::string mode() const;
  // False (and no change) for an unknown mode.
  [[nodiscard]] bool setMode(const std::string& mode);

  [[nodiscard]] bool setActive(bool active, std::uint64_t options = 0);
  bool isActive() const;

  std::vector<AudioSessionCall> calls() const;

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
  // An active session in a category that does not mix silences the others.
  void interruptOthersIfSoloLocked();

  mutable std::mutex mutex_;
  std::string category_ = kAudioSessionCategorySoloAmbient;
  std::uint64_t options_ = 0;
  std::string mode_ = kAudioSessionModeDefault;
  bool active_ = false;
  bool otherAudioInterrupted_ = false;
  std::vector<AudioSessionCall> calls_;
  float volume_ = 0.5f;
  std::optional<std::vector<std::string>> portNames_ = std::vector<std::string>{"Speaker"};
  bool otherAudioPlaying_ = false;
  std::optional<bool> silenceHint_ = false;
  bool categoryChangesFail_ = false;
};

}  // namespace platform
