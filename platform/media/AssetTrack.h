// One track of an asset: its kind, natural size and preferred transform (from the
// track's display matrix), and estimated data rate. An immutable value object; any thread.
#pragma once

#include <string>

#include "platform/ui/Geometry.h"

namespace platform {

inline constexpr const char* kMediaTypeVideo = "vide";
inline constexpr const char* kMediaTypeAudio = "soun";

class AssetTrack {
 public:
  AssetTrack(int trackID, std::string mediaType, Size naturalSize, AffineTransform preferredTransform,
             float estimatedDataRate)
      : trackID_(trackID),
        mediaType_(std::move(mediaType)),
        naturalSize_(naturalSize),
        preferredTransform_(preferredTransform),
        estimatedDataRate_(estimatedDataRate) {}

  int trackID() const { return trackID_; }
  const std::string& mediaType() const { return mediaType_; }
  // Zero for audio tracks.
  Size naturalSize() const { return naturalSize_; }
  AffineTransform preferredTransform() const { return preferredTransform_; }
  // Bits per second.
  float estimatedDataRate() const { return estimatedDataRate_; }

 private:
  int trackID_;
  std::string mediaType_;
  Size naturalSize_;
  AffineTransform preferredTransform_;
  float estimatedDataRate_;
};

}  // namespace platform
