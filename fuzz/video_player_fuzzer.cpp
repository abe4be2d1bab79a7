// Page video commands with any numbers, in any order, driving a real video player on a
// short clip. Each line is "command value": src (the value is the bufferForPlaybackMs of
// its configuration), play, pause, pageplay, pagepause, seek, volume, mix, muted, advance
// (milliseconds, at most 2000). Never crashes; every "onVideoEvent" the player posts is
// a JSON object with a known event name, and every number in it, and every "time" and
// "duration" text, is finite.
#include <chrono>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include <nlohmann/json.hpp>

#include "fuzz/FuzzEnvironment.h"
#include "platform/base/FileManager.h"
#include "platform/base/MainLoopDriver.h"
#include "platform/web/WebView.h"
#include "sdk/rendering/ZUMAdView.h"
#include "sdk/rendering/ZUMUIKitWebView.h"
#include "sdk/video/ZUMVideoConfigurationImpl.h"
#include "sdk/video/ZUMVideoPlayerImpl.h"
#include "testing/MediaClips.h"

namespace {

using Json = nlohmann::ordered_json;
constexpr std::size_t kMaxCommands = 48;

bool finiteText(const Json& value) {
  if (!value.is_string()) return false;
  const std::string text = value.get<std::string>();
  char* end = nullptr;
  const double number = std::strtod(text.c_str(), &end);
  return end && *end == '\0' && !text.empty() && std::isfinite(number);
}

// Every video event the page was told is well-formed and finite.
void checkEvents(ZUMAdView& adView) {
  const std::string prefix = "QYRA_ReceiveMessage('onVideoEvent', ";
  auto webView = std::dynamic_pointer_cast<ZUMUIKitWebView>(adView.webView());
  if (!webView) return;
  for (const auto& script : webView->engine()->evaluatedScripts()) {
    if (script.rfind(prefix, 0) != 0) continue;
    const auto event = Json::parse(script.substr(prefix.size(), script.size() - prefix.size() - 2), nullptr, false);
    fuzzenv::check(event.is_object() && event.contains("event") && event["event"].is_string());
    const std::string name = event["event"].get<std::string>();
    fuzzenv::check(name == "play" || name == "pause" || name == "ended" || name == "timeupdate" ||
                   name == "canplaythrough" || name == "error");
    for (const auto& [key, value] : event.items()) {
      if (value.is_number()) fuzzenv::check(std::isfinite(value.get<double>()));
      if (key == "time" || key == "duration") fuzzenv::check(finiteText(value));
    }
  }
}

void run(ZUMVideoPlayerImpl& player, const std::string& command, const std::string& value, const platform::URL& clip) {
  const double number = std::strtod(value.c_str(), nullptr);
  if (command == "src") {
    player.setSourceURL(clip, nullptr, ZUMVideoConfigurationImpl::create(Json{{"bufferForPlaybackMs", value}}));
    (void)platform::MainLoopDriver::runUntil([&] { return player.hasPostedCanPlayThrough(); }, std::chrono::seconds(2));
  } else if (command == "play") {
    player.playNativePlayer();
  } else if (command == "pause") {
    player.pauseNativePlayer();
  } else if (command == "pageplay") {
    player.play();
  } else if (command == "pagepause") {
    player.pause();
  } else if (command == "seek") {
    player.seekToTime(number);
  } else if (command == "volume") {
    player.setVolume(static_cast<float>(number));
  } else if (command == "mix") {
    player.setAudioMixVolume(static_cast<float>(number));
  } else if (command == "muted") {
    player.setMuted(number != 0);
  } else if (command == "advance" && number > 0) {
    platform::MainLoopDriver::advance(std::min(number, 2000.0) / 1000.0);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzzenv::setUpOnce("video_player_fuzzer");
  static const platform::URL clip = [] {
    const auto path = platform::FileManager::temporaryDirectory() / "fuzz-clip.mp4";
    fuzzenv::check(platform::FileManager::writeAtomically(
        path, testenv::MediaClips::make({.width = 64, .height = 48, .seconds = 1})));
    return platform::URL::fileURL(path);
  }();

  auto adView = ZUMAdView::create({0, 0, 320, 250});
  auto player = ZUMVideoPlayerImpl::create(adView);
  const auto commands = fuzzenv::pairsFromLines(std::string_view(reinterpret_cast<const char*>(data), size), ' ', true);
  for (std::size_t i = 0; i < commands.size() && i < kMaxCommands; ++i) {
    run(*player, commands[i].first, commands[i].second, clip);
    fuzzenv::drainMainLoop();
    checkEvents(*adView);
  }
  player.reset();
  fuzzenv::drainMainLoop();
  return 0;
}
