// Told by a media content what its video turned out to be. Every operation is optional:
// its default answers std::nullopt ("not implemented"). Held weakly; called on the main
// thread.
#pragma once

#include "ZUMImplemented.h"
#include "platform/ui/Geometry.h"

class ZUMMediaContent;

class ZUMMediaContentDelegate {
 public:
  virtual ~ZUMMediaContentDelegate() = default;
  // The player knows the video's size (points).
  virtual ZUMImplemented mediaContentDidLoadVideoWithSize(ZUMMediaContent& /*content*/,
                                                          const platform::Size& /*size*/) {
    return std::nullopt;
  }
};
