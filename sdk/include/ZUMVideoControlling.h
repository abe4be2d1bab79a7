// What controls an ad's video: commands to the player and the state it reports. The
// public ZUMVideoController forwards to one of these: an HTML ad's controller, which
// speaks to the ad's page, or a mediated ad's.
//
// Commands may be issued from any thread; state is read on the main thread.
#pragma once

#include <cstdint>
#include <memory>

class ZUMVideoOptions;

class ZUMVideoControlling {
 public:
  virtual ~ZUMVideoControlling() = default;

  virtual void setMute(bool mute) = 0;
  virtual void play() = 0;
  virtual void pause() = 0;
  // The options the host gave (nullptr: the defaults).
  virtual void setInitialStateWithVideoOptions(const std::shared_ptr<ZUMVideoOptions>& options) = 0;
  virtual bool hasVideoContent() const = 0;
  virtual double aspectRatio() const = 0;
  virtual bool customControlsEnabled() const = 0;
  virtual std::int64_t videoPlaybackState() const = 0;
};
