// Arbitrary bytes as a media file behind an asset resource loader: demuxed and decoded
// through an asset, a player item, a player and a video output. The item is ready or
// failed, never a crash; every frame handed over has consistent planes; each input ends
// within its time limit and the decoder's bounded queues.
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "fuzz/FuzzEnvironment.h"
#include "platform/base/MainLoopDriver.h"
#include "platform/media/Player.h"
#include "platform/media/PlayerItem.h"
#include "platform/media/PlayerItemVideoOutput.h"
#include "testing/MemoryLoaderDelegate.h"

namespace {

void play(const std::shared_ptr<platform::Asset>& asset) {
  using platform::PlayerItem;
  auto item = PlayerItem::create(asset);
  auto output = platform::PlayerItemVideoOutput::create(platform::kPixelFormat420YpCbCr8BiPlanarVideoRange);
  item->addOutput(output);
  auto player = platform::Player::create(item);
  const bool settled = platform::MainLoopDriver::runUntil([&] { return item->status() != PlayerItem::Status::Unknown; },
                                                          std::chrono::seconds(10));
  fuzzenv::check(settled);
  if (item->status() != PlayerItem::Status::ReadyToPlay) {
    fuzzenv::check(item->error() != nullptr);
    return;
  }
  for (double t : {0.0, 0.5, 1.0, item->durationSeconds()}) {
    auto frame = output->copyPixelBufferForItemTime(platform::MediaTime::makeWithSeconds(t, 600));
    if (!frame) continue;
    fuzzenv::check(frame->width() > 0 && frame->height() > 0);
    fuzzenv::check(frame->widthOfPlane(1) == (frame->width() + 1) / 2);
    fuzzenv::check(frame->heightOfPlane(1) == (frame->height() + 1) / 2);
  }
  player->play();
  platform::MainLoopDriver::advance(1.0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzzenv::setUpOnce("media_file");
  {
    auto asset = platform::Asset::create(*platform::URL::fromString("fuzz-media://input.example/file"));
    auto delegate =
        std::make_shared<testenv::MemoryLoaderDelegate>(std::string(reinterpret_cast<const char*>(data), size));
    asset->resourceLoader()->setDelegate(delegate, nullptr);
    play(asset);
  }
  // Lets go of what the decoding thread handed to the main queue.
  platform::MainLoopDriver::runUntilIdle();
  return 0;
}
