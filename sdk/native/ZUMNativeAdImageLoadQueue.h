// Loads one native ad's images a few at a time, in the order they were added. An ad may
// name thousands of images: started all at once, each would hold its own connection
// object, time-out timer and pending completions, and all but a few would wait in the
// platform's queue behind its cap of connections per host, their time-outs already
// running. The queue keeps at most kMaxLoadsInFlight loading and starts the next as one
// ends.
//
// Held by the ad whose images it loads. Loads still waiting when the queue goes are
// never started; one in flight still completes.
//
// Main thread only.
#pragma once

#include <cstddef>
#include <deque>
#include <functional>
#include <memory>
#include <utility>

#include "platform/base/Error.h"

class ZUMNativeAdImage;

class ZUMNativeAdImageLoadQueue : public std::enable_shared_from_this<ZUMNativeAdImageLoadQueue> {
 public:
  // The platform's connections to one host: more loads of an ad (whose images mostly share
  // a host) would only wait there.
  static constexpr std::size_t kMaxLoadsInFlight = 16;
  using Completion = std::function<void(platform::ErrorPtr error)>;

  static std::shared_ptr<ZUMNativeAdImageLoadQueue> create();

  // Loads `image` now, or once fewer than kMaxLoadsInFlight loads of this queue are
  // running; `completion` runs as the image's own load completion does.
  void loadImage(const std::shared_ptr<ZUMNativeAdImage>& image, Completion completion);

 private:
  ZUMNativeAdImageLoadQueue() = default;
  void startWaitingLoads();
  void loadEnded();

  std::deque<std::pair<std::shared_ptr<ZUMNativeAdImage>, Completion>> waiting_;
  std::size_t inFlight_ = 0;
};
