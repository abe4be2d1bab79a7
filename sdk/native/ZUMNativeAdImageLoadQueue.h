// Loads one native ad's images a few at a time, in the order they were added. An ad may
// name thousands of images: started all at once, each would hold its own connection
// object, time-out timer and pending completions, and all but a few would wait in the
// platform's queue behind its cap of connections per host, their time-outs already
// running. The queue keeps at most kMaxLoadsInFlight loading and starts the next as one
// ends.
//
// The ad's image loading ends one request time-out after it started (with the first load
// given to an idle queue), however many images wait and however slowly their hosts answer:
// a load's own time-out starts only with the load, and a host that trickles bytes keeps
// it alive. Loads still running then are stopped, those still waiting never start, and
// each completes with a time-out error.
//
// Held by the ad whose images it loads. When the queue goes, loads still waiting never
// start and those in flight are stopped: nothing would hear them, and a host that trickles
// bytes would hold their connections for ever.
//
// Main thread only.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>

#include "platform/base/Error.h"

class ZUMNativeAdImage;
namespace platform {
class URLConnection;
}

class ZUMNativeAdImageLoadQueue : public std::enable_shared_from_this<ZUMNativeAdImageLoadQueue> {
 public:
  // The platform's connections to one host: more loads of an ad (whose images mostly share
  // a host) would only wait there.
  static constexpr std::size_t kMaxLoadsInFlight = 16;
  using Completion = std::function<void(platform::ErrorPtr error)>;

  static std::shared_ptr<ZUMNativeAdImageLoadQueue> create();
  ~ZUMNativeAdImageLoadQueue();

  // Loads `image` now, or once fewer than kMaxLoadsInFlight loads of this queue are
  // running; `completion` runs as the image's own load completion does, or with a time-out
  // error when the ad's image loading ends first.
  void loadImage(const std::shared_ptr<ZUMNativeAdImage>& image, Completion completion);

 private:
  struct Load {
    std::shared_ptr<ZUMNativeAdImage> image;
    Completion completion;
    std::weak_ptr<platform::URLConnection> connection;  // while it downloads
  };

  ZUMNativeAdImageLoadQueue() = default;
  void startWaitingLoads();
  void loadEnded(std::uint64_t load, platform::ErrorPtr error);
  void loadingTimedOut(std::uint64_t loading);

  std::deque<Load> waiting_;
  std::map<std::uint64_t, Load> inFlight_;  // by the order they started
  std::uint64_t loadsStarted_ = 0;
  std::uint64_t loadings_ = 0;  // numbers them, so an earlier loading's time-out spares a later one
};
