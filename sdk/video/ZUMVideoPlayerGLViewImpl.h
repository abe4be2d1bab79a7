// The view that shows a spherical (360-degree) video of an ad's player. It pulls decoded
// frames of the player's item through a video output and has the spherical shader draw
// them into a GL view, on a render thread of its own whose run loop a display link drives.
// The link runs only while the application is active and the view is in a window; each
// resume rebuilds the video output, and until the first frame arrives the output is also
// rebuilt whenever none came for a threshold ("/vantor/ads/video_processing_output_empty_
// frame_timeinterval_threshold", 0.1 s unless a positive number is stored). Whether the
// shader could be made reaches the delegate on the main queue; pans turn the view.
//
// Ownership: the ad view holds the view; the view holds the player, its render thread and
// the display link. The thread's blocks and the link hold the view weakly. The delegate is
// held weakly.
//
// Main thread only, except the GL view delegate's draw, which the render thread calls.
#pragma once

#include <atomic>
#include <memory>
#include <mutex>

#include "platform/base/NotificationCenter.h"
#include "platform/gl/GLViewDelegate.h"
#include "platform/ui/View.h"
#include "sdk/rendering/ZUMVideoPlayerGLView.h"
#include "sdk/rendering/ZUMVideoRendering.h"

namespace platform {
class DisplayLink;
class GLContext;
class GLView;
class Player;
class PlayerItem;
class PlayerItemVideoOutput;
class Thread;
}  // namespace platform

class ZUMGLSphericalShader;
class ZUMVideoPlayerGLViewDelegate;

class ZUMVideoPlayerGLViewImpl final : public platform::View,
                                       public ZUMVideoRendering,
                                       public ZUMVideoPlayerGLView,
                                       public platform::GLViewDelegate {
 public:
  static constexpr const char* kRenderThreadName = "com.vantor.VantorMobileAds.GLView.RenderThread";
  static constexpr const char* kErrorDomain = "com.vantor.zum_videoplayer_glview";
  static constexpr double kDefaultEmptyFrameThreshold = 0.1;

  // nullptr when no GL context can be made.
  static std::shared_ptr<ZUMVideoPlayerGLViewImpl> create(const platform::Rect& frame);
  ~ZUMVideoPlayerGLViewImpl() override;

  std::shared_ptr<ZUMVideoPlayerGLViewDelegate> delegate() const { return delegate_.lock(); }
  void setDelegate(const std::shared_ptr<ZUMVideoPlayerGLViewDelegate>& delegate) { delegate_ = delegate; }

  // Renders `player` on a new render thread when it has an item; the same player again
  // changes nothing; nullptr stops rendering (the player is kept).
  void setUpWithPlayer(const std::shared_ptr<platform::Player>& player) override;
  // The flat view's optimisation only: nothing here.
  void enableVideoPlaybackOptimization() override {}
  void resetVideoPlaybackOptimization() override {}
  void disableVideoPlaybackOptimization() override {}
  void optimizeVideoForAdVisibility(bool) override {}
  void handleUserTouchMovedByVector(float dx, float dy) override;

  void layoutSubviews() override;
  void willMoveToWindow(const std::shared_ptr<platform::Window>& newWindow) override;
  // The render thread: draws the frame due at the next vsync (or the last one again).
  void glViewDrawInRect(platform::GLView& view, const platform::Rect& rect) override;

  // For tests and the ad view.
  const std::shared_ptr<platform::Player>& currentPlayer() const { return currentPlayer_; }
  const std::shared_ptr<platform::GLView>& glView() const { return glView_; }
  const std::shared_ptr<platform::Thread>& renderThread() const { return renderThread_; }
  const std::shared_ptr<platform::DisplayLink>& displayLink() const { return displayLink_; }
  double videoOutputEmptyTimeIntervalThreshold() const { return threshold_; }
  // How many video outputs the render thread has made since creation.
  int videoOutputResetCount() const { return videoOutputResets_.load(); }
  // The shader of the running render thread, if it could be made (read it on that thread).
  const std::shared_ptr<ZUMGLSphericalShader>& sphericalShader() const { return sphericalShader_; }

 private:
  ZUMVideoPlayerGLViewImpl(const platform::Rect& frame, std::shared_ptr<platform::GLContext> context);
  void observeApplication();
  std::weak_ptr<ZUMVideoPlayerGLViewImpl> weakSelf();
  // Runs `block` on the render thread with the view, if both still exist.
  void performOnRenderThread(void (ZUMVideoPlayerGLViewImpl::*block)(), bool waitUntilDone);

  void startRenderThread();
  void stopRenderThread();
  void applicationWillEnterForeground();
  void applicationDidEnterBackground();

  // Render thread.
  void renderThreadSetUp(std::uint64_t generation, const std::shared_ptr<platform::Player>& player);
  void renderThreadMovedToWindow();
  void renderThreadMovedOffWindow();
  void renderThreadBecameActive();
  void renderThreadBecameInactive();
  void resumeDisplayLink();
  void pauseDisplayLink();
  void renderThreadResetVideoOutput();
  void displayLinkCallback(platform::DisplayLink& link);
  void unscheduleDisplayLink();
  // Main thread: the output made on the render thread replaces the item's old one.
  void attachVideoOutput(const std::shared_ptr<platform::PlayerItemVideoOutput>& output);
  void report(std::uint64_t generation, const std::shared_ptr<platform::Player>& player, bool succeeded);

  std::shared_ptr<platform::GLContext> context_;
  std::shared_ptr<platform::GLView> glView_;
  double threshold_ = kDefaultEmptyFrameThreshold;
  std::shared_ptr<platform::Player> currentPlayer_;
  std::weak_ptr<ZUMVideoPlayerGLViewDelegate> delegate_;
  std::shared_ptr<platform::Thread> renderThread_;
  std::shared_ptr<platform::DisplayLink> displayLink_;
  // Which render thread is current: reports of an earlier one are dropped.
  std::uint64_t generation_ = 0;
  std::vector<platform::NotificationCenter::Token> observers_;
  // The item the main thread attached the output to, and that output.
  std::shared_ptr<platform::PlayerItem> attachedItem_;
  std::shared_ptr<platform::PlayerItemVideoOutput> attachedOutput_;

  // Written before the thread starts and on the render thread.
  std::shared_ptr<ZUMGLSphericalShader> sphericalShader_;
  bool applicationActive_ = false;
  bool isSubViewOfVisibleWindow_ = false;
  double displayStartTimeIntervalSince1970_ = 0;
  bool hasDisplayedAtLeastOnePixelBuffer_ = false;
  double nextDisplayTime_ = 0;
  // Made on the render thread, attached on the main thread.
  mutable std::mutex outputMutex_;
  std::shared_ptr<platform::PlayerItemVideoOutput> videoOutput_;
  std::atomic<int> videoOutputResets_{0};
};
