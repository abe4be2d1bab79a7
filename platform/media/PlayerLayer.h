// Shows a player's video, after the platform's player layer. Views here have no layers,
// so the player layer is a view of its own that its owner adds as a subview (at the
// bottom, under other content): in a snapshot it draws the frame due at the player's
// current time, placed by its video gravity (aspect-fit by default) in its bounds; the
// rest of the bounds shows what lies beneath.
//
// Main thread only.
#pragma once

#include <memory>

#include "platform/ui/View.h"

namespace platform {

class Player;
class PlayerItem;
class PlayerItemVideoOutput;

class PlayerLayer : public View {
 public:
  enum class VideoGravity { ResizeAspect, ResizeAspectFill, Resize };

  static std::shared_ptr<PlayerLayer> create(std::shared_ptr<Player> player = nullptr, const Rect& frame = {});
  ~PlayerLayer() override;

  const std::shared_ptr<Player>& player() const { return player_; }
  void setPlayer(std::shared_ptr<Player> player);
  VideoGravity videoGravity() const { return gravity_; }
  void setVideoGravity(VideoGravity gravity) { gravity_ = gravity; }
  // Where the video lies in the bounds; empty before its size is known.
  Rect videoRect() const;
  // A frame is there to draw.
  bool isReadyForDisplay() const;

  void draw(DrawContext& context) const override;
  std::string description() const override;

 protected:
  explicit PlayerLayer(const Rect& frame);

 private:
  // The output pulling frames from the player's current item (re-attached when it changes).
  PlayerItemVideoOutput& output() const;

  std::shared_ptr<Player> player_;
  VideoGravity gravity_ = VideoGravity::ResizeAspect;
  std::shared_ptr<PlayerItemVideoOutput> output_;
  mutable std::weak_ptr<PlayerItem> attachedItem_;
};

}  // namespace platform
