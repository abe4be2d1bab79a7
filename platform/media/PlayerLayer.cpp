#include "platform/media/PlayerLayer.h"

#include <algorithm>
#include <cmath>

#include "platform/base/MainThreadChecker.h"
#include "platform/media/Player.h"
#include "platform/media/PlayerItem.h"
#include "platform/media/PlayerItemVideoOutput.h"
#include "platform/ui/Bitmap.h"
#include "platform/ui/Image.h"

namespace platform {
namespace {

std::shared_ptr<Image> imageOf(const PixelBuffer& frame) {
  Bitmap bitmap(frame.width(), frame.height());
  for (int y = 0; y < frame.height(); ++y) {
    for (int x = 0; x < frame.width(); ++x) {
      std::uint8_t rgb[3];
      frame.rgbAt(x, y, rgb);
      bitmap.setPixel(x, y, {rgb[0], rgb[1], rgb[2], 255});
    }
  }
  return Image::create(std::move(bitmap));
}

}  // namespace

std::shared_ptr<PlayerLayer> PlayerLayer::create(std::shared_ptr<Player> player, const Rect& frame) {
  auto layer = std::shared_ptr<PlayerLayer>(new PlayerLayer(frame));
  layer->setPlayer(std::move(player));
  return layer;
}

PlayerLayer::PlayerLayer(const Rect& frame)
    : View(frame), output_(PlayerItemVideoOutput::create(kPixelFormat420YpCbCr8BiPlanarVideoRange)) {
  setUserInteractionEnabled(false);
}

PlayerLayer::~PlayerLayer() {
  if (auto item = attachedItem_.lock()) item->removeOutput(output_);
}

void PlayerLayer::setPlayer(std::shared_ptr<Player> player) {
  assertMainThread();
  player_ = std::move(player);
}

PlayerItemVideoOutput& PlayerLayer::output() const {
  auto item = player_ ? player_->currentItem() : nullptr;
  auto attached = attachedItem_.lock();
  if (item != attached) {
    if (attached) attached->removeOutput(output_);
    if (item) item->addOutput(output_);
    attachedItem_ = item;
  }
  return *output_;
}

Rect PlayerLayer::videoRect() const {
  auto item = player_ ? player_->currentItem() : nullptr;
  if (!item) return {};
  const auto tracks = item->asset()->tracksWithMediaType(kMediaTypeVideo);
  if (tracks.empty() || tracks[0]->naturalSize().width <= 0 || tracks[0]->naturalSize().height <= 0) return {};
  const Size video = tracks[0]->naturalSize();
  const Rect b = bounds();
  if (gravity_ == VideoGravity::Resize) return b;
  const double fx = b.size.width / video.width, fy = b.size.height / video.height;
  const double f = gravity_ == VideoGravity::ResizeAspect ? std::min(fx, fy) : std::max(fx, fy);
  const Size size{video.width * f, video.height * f};
  return Rect({b.origin.x + (b.size.width - size.width) / 2, b.origin.y + (b.size.height - size.height) / 2}, size);
}

bool PlayerLayer::isReadyForDisplay() const {
  if (!player_ || !player_->currentItem()) return false;
  return output().copyPixelBufferForItemTime(player_->currentItem()->currentTime()) != nullptr;
}

void PlayerLayer::draw(DrawContext& context) const {
  if (!player_ || !player_->currentItem()) return;
  const Rect rect = videoRect();
  if (rect.size.width <= 0 || rect.size.height <= 0) return;
  auto frame = output().copyPixelBufferForItemTime(player_->currentItem()->currentTime());
  if (frame) context.drawImage(*imageOf(*frame), rect);
}

std::string PlayerLayer::description() const { return "PlayerLayer " + View::description(); }

}  // namespace platform
