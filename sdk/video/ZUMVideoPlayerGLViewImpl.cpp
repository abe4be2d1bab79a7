#include "sdk/video/ZUMVideoPlayerGLViewImpl.h"

#include <GLES2/gl2.h>

#include "platform/base/Clock.h"
#include "platform/base/MainThreadChecker.h"
#include "platform/base/RunLoop.h"
#include "platform/base/Thread.h"
#include "platform/gl/DisplayLink.h"
#include "platform/gl/GLContext.h"
#include "platform/gl/GLView.h"
#include "platform/media/PixelBuffer.h"
#include "platform/media/Player.h"
#include "platform/media/PlayerItem.h"
#include "platform/media/PlayerItemVideoOutput.h"
#include "platform/ui/Application.h"
#include "platform/ui/Screen.h"
#include "sdk/errors/ZUMErrors.h"
#include "sdk/foundation/ZUMBindWeak.h"
#include "sdk/foundation/ZUMThreading.h"
#include "sdk/foundation/ZUMUserDefaults.h"
#include "sdk/video/ZUMGLSphericalShader.h"
#include "sdk/video/ZUMVideoPlayerGLViewDelegate.h"

namespace {

constexpr const char* kThresholdKey = "/vantor/ads/video_processing_output_empty_frame_timeinterval_threshold";
constexpr const char* kPitchMultiplierKey = "/vantor/ads/opengl_external_pitch_multiplier";
// Spelled as the server writes it.
constexpr const char* kRollMultiplierKey = "/vantor/ads/opengl_external_roll_mulitiplier";
constexpr const char* kShaderFailure = "Failed to create spherical shader.";

// A positive number of seconds, else the default: zero or less would rebuild the output
// at every frame.
double thresholdFromDefaults() {
  const auto stored = ZUMUserDefaults::doubleForKey(kThresholdKey);
  return stored && *stored > 0 ? *stored : ZUMVideoPlayerGLViewImpl::kDefaultEmptyFrameThreshold;
}

double multiplierFromDefaults(const char* key) {
  return ZUMUserDefaults::doubleForKey(key).value_or(ZUMGLSphericalShader::kDefaultTouchMultiplier);
}

// Calls `block` with the view when it still exists. Used on the render thread: the view is
// released on the main thread, where views are destroyed, should this call hold the last
// reference.
template <class Block>
void withView(const std::weak_ptr<ZUMVideoPlayerGLViewImpl>& weak, Block&& block) {
  auto view = weak.lock();
  if (!view) return;
  block(*view);
  ZUMReleaseOnMainThread(std::move(view));
}

}  // namespace

std::shared_ptr<ZUMVideoPlayerGLViewImpl> ZUMVideoPlayerGLViewImpl::create(const platform::Rect& frame) {
  platform::assertMainThread();
  auto context = platform::GLContext::create();
  if (!context) return nullptr;
  std::shared_ptr<ZUMVideoPlayerGLViewImpl> view(new ZUMVideoPlayerGLViewImpl(frame, std::move(context)));
  view->glView_->setDelegate(std::static_pointer_cast<platform::GLViewDelegate>(view));
  view->addSubview(view->glView_);
  view->observeApplication();
  return view;
}

ZUMVideoPlayerGLViewImpl::ZUMVideoPlayerGLViewImpl(const platform::Rect& frame,
                                                   std::shared_ptr<platform::GLContext> context)
    : platform::View(frame), context_(std::move(context)), threshold_(thresholdFromDefaults()) {
  glView_ = platform::GLView::create(bounds(), context_);
  glView_->setContentScaleFactor(platform::Screen::main().scale());
  glView_->setOpaque(true);
}

ZUMVideoPlayerGLViewImpl::~ZUMVideoPlayerGLViewImpl() {
  context_.reset();
  stopRenderThread();
  for (const auto& token : observers_) platform::NotificationCenter::defaultCenter().removeObserver(token);
}

void ZUMVideoPlayerGLViewImpl::observeApplication() {
  auto& center = platform::NotificationCenter::defaultCenter();
  observers_.push_back(
      center.addObserver(platform::kApplicationWillEnterForegroundNotification, nullptr, nullptr,
                         ZUMBindWeak(weakSelf(), &ZUMVideoPlayerGLViewImpl::applicationWillEnterForeground)));
  observers_.push_back(
      center.addObserver(platform::kApplicationDidEnterBackgroundNotification, nullptr, nullptr,
                         ZUMBindWeak(weakSelf(), &ZUMVideoPlayerGLViewImpl::applicationDidEnterBackground)));
}

std::weak_ptr<ZUMVideoPlayerGLViewImpl> ZUMVideoPlayerGLViewImpl::weakSelf() {
  return std::static_pointer_cast<ZUMVideoPlayerGLViewImpl>(shared_from_this());
}

void ZUMVideoPlayerGLViewImpl::performOnRenderThread(void (ZUMVideoPlayerGLViewImpl::*block)(), bool waitUntilDone) {
  if (!renderThread_) return;
  renderThread_->perform([weak = weakSelf(), block] { withView(weak, [block](auto& view) { (view.*block)(); }); },
                         waitUntilDone ? platform::Thread::Wait::UntilDone : platform::Thread::Wait::No);
}

// --- Main thread ------------------------------------------------------------------------

void ZUMVideoPlayerGLViewImpl::setUpWithPlayer(const std::shared_ptr<platform::Player>& player) {
  platform::assertMainThread();
  if (player == currentPlayer_) return;
  stopRenderThread();
  if (!player) return;
  currentPlayer_ = player;
  if (player->currentItem()) startRenderThread();
}

void ZUMVideoPlayerGLViewImpl::handleUserTouchMovedByVector(float dx, float dy) {
  platform::assertMainThread();
  if (!renderThread_) return;
  renderThread_->perform([weak = weakSelf(), dx, dy] {
    withView(weak, [dx, dy](auto& view) {
      if (view.sphericalShader_) view.sphericalShader_->handleUserTouchMovedByVector(dx, dy);
    });
  });
}

void ZUMVideoPlayerGLViewImpl::layoutSubviews() {
  platform::View::layoutSubviews();
  glView_->setFrame(bounds());
  glView_->layoutIfNeeded();
}

void ZUMVideoPlayerGLViewImpl::willMoveToWindow(const std::shared_ptr<platform::Window>& newWindow) {
  platform::View::willMoveToWindow(newWindow);
  performOnRenderThread(newWindow ? &ZUMVideoPlayerGLViewImpl::renderThreadMovedToWindow
                                  : &ZUMVideoPlayerGLViewImpl::renderThreadMovedOffWindow,
                        false);
}

void ZUMVideoPlayerGLViewImpl::applicationWillEnterForeground() {
  performOnRenderThread(&ZUMVideoPlayerGLViewImpl::renderThreadBecameActive, false);
}

void ZUMVideoPlayerGLViewImpl::applicationDidEnterBackground() {
  // Waits, so that nothing draws once the application is suspended.
  performOnRenderThread(&ZUMVideoPlayerGLViewImpl::renderThreadBecameInactive, true);
}

void ZUMVideoPlayerGLViewImpl::startRenderThread() {
  stopRenderThread();
  applicationActive_ = platform::Application::shared().isActive();
  isSubViewOfVisibleWindow_ = window() != nullptr;
  auto link = platform::DisplayLink::create([weak = weakSelf()](platform::DisplayLink& link) {
    withView(weak, [&link](auto& view) { view.displayLinkCallback(link); });
  });
  const std::uint64_t generation = ++generation_;
  renderThread_ =
      platform::Thread::create(kRenderThreadName, [weak = weakSelf(), link, generation, player = currentPlayer_] {
        if (!link->addToRunLoop(platform::RunLoop::current(), platform::kCommonRunLoopModes)) return;
        withView(weak, [&](auto& view) { view.renderThreadSetUp(generation, player); });
        platform::Thread::runCurrentRunLoop();
      });
  displayLink_ = std::move(link);
  renderThread_->start();
}

void ZUMVideoPlayerGLViewImpl::stopRenderThread() {
  if (!renderThread_) return;
  // GL objects go where their context is current.
  renderThread_->perform([this] { unscheduleDisplayLink(); }, platform::Thread::Wait::UntilDone);
  renderThread_->stopRunLoop();
  renderThread_->join();
  if (attachedItem_) attachedItem_->removeOutput(attachedOutput_);
  attachedItem_.reset();
  attachedOutput_.reset();
  {
    std::lock_guard lock(outputMutex_);
    videoOutput_.reset();
  }
  displayStartTimeIntervalSince1970_ = 0;
  hasDisplayedAtLeastOnePixelBuffer_ = false;
  displayLink_.reset();
  renderThread_.reset();
  ++generation_;
}

void ZUMVideoPlayerGLViewImpl::attachVideoOutput(const std::shared_ptr<platform::PlayerItemVideoOutput>& output) {
  {
    std::lock_guard lock(outputMutex_);
    if (output != videoOutput_) return;  // a later one replaced it, or rendering stopped
  }
  if (attachedItem_) attachedItem_->removeOutput(attachedOutput_);
  attachedItem_ = currentPlayer_ ? currentPlayer_->currentItem() : nullptr;
  attachedOutput_ = attachedItem_ ? output : nullptr;
  if (attachedItem_) attachedItem_->addOutput(output);
}

void ZUMVideoPlayerGLViewImpl::report(std::uint64_t generation, const std::shared_ptr<platform::Player>& player,
                                      bool succeeded) {
  if (generation != generation_) return;
  auto delegate = delegate_.lock();
  if (!delegate) return;
  if (succeeded) {
    delegate->videoPlayerGLViewDidSetUpVideoPlayer(*this, player);
  } else {
    delegate->videoPlayerGLViewDidFailToSetupVideoPlayer(*this, player,
                                                         ZUMMakeErrorWithDomain(kErrorDomain, -1, kShaderFailure));
  }
}

// --- Render thread ----------------------------------------------------------------------

void ZUMVideoPlayerGLViewImpl::renderThreadSetUp(std::uint64_t generation,
                                                 const std::shared_ptr<platform::Player>& player) {
  if (platform::GLContext::setCurrentContext(context_)) {
    sphericalShader_ = ZUMGLSphericalShader::create(multiplierFromDefaults(kPitchMultiplierKey),
                                                    multiplierFromDefaults(kRollMultiplierKey));
  }
  if (sphericalShader_) sphericalShader_->startMotionTracking();
  resumeDisplayLink();
  // Reported after the link is resumed, so that whoever hears it sees frames at the next vsync.
  ZUMRunOnMainThread([weak = weakSelf(), generation, player, succeeded = sphericalShader_ != nullptr] {
    if (auto self = weak.lock()) self->report(generation, player, succeeded);
  });
}

void ZUMVideoPlayerGLViewImpl::renderThreadMovedToWindow() {
  isSubViewOfVisibleWindow_ = true;
  resumeDisplayLink();
}

void ZUMVideoPlayerGLViewImpl::renderThreadMovedOffWindow() {
  isSubViewOfVisibleWindow_ = false;
  pauseDisplayLink();
}

void ZUMVideoPlayerGLViewImpl::renderThreadBecameActive() {
  applicationActive_ = true;
  resumeDisplayLink();
}

void ZUMVideoPlayerGLViewImpl::renderThreadBecameInactive() {
  applicationActive_ = false;
  pauseDisplayLink();
}

void ZUMVideoPlayerGLViewImpl::resumeDisplayLink() {
  if (!applicationActive_ || !isSubViewOfVisibleWindow_ || !displayLink_) return;
  renderThreadResetVideoOutput();
  displayLink_->setPaused(false);
}

void ZUMVideoPlayerGLViewImpl::pauseDisplayLink() {
  if (applicationActive_ && isSubViewOfVisibleWindow_) return;
  if (displayLink_) displayLink_->setPaused(true);
}

void ZUMVideoPlayerGLViewImpl::renderThreadResetVideoOutput() {
  auto output = platform::PlayerItemVideoOutput::create(platform::kPixelFormat420YpCbCr8BiPlanarVideoRange);
  {
    std::lock_guard lock(outputMutex_);
    videoOutput_ = output;
  }
  ++videoOutputResets_;
  // Items take outputs on the main thread; the render thread never waits for it.
  ZUMRunOnMainThread([weak = weakSelf(), output] {
    if (auto self = weak.lock()) self->attachVideoOutput(output);
  });
}

void ZUMVideoPlayerGLViewImpl::displayLinkCallback(platform::DisplayLink& link) {
  if (!applicationActive_) return;
  nextDisplayTime_ = link.timestamp() + link.duration();
  glView_->display();
}

void ZUMVideoPlayerGLViewImpl::glViewDrawInRect(platform::GLView& view, const platform::Rect&) {
  std::shared_ptr<platform::PlayerItemVideoOutput> output;
  {
    std::lock_guard lock(outputMutex_);
    output = videoOutput_;
  }
  const auto itemTime = output ? output->itemTimeForHostTime(nextDisplayTime_) : platform::MediaTime::zero();
  const double now = platform::clock().wallNow();
  if (displayStartTimeIntervalSince1970_ == 0) displayStartTimeIntervalSince1970_ = now;
  std::shared_ptr<const platform::PixelBuffer> frame;
  if (output && output->hasNewPixelBufferForItemTime(itemTime)) {
    hasDisplayedAtLeastOnePixelBuffer_ = true;
    frame = output->copyPixelBufferForItemTime(itemTime);
  } else if (!hasDisplayedAtLeastOnePixelBuffer_ && now - displayStartTimeIntervalSince1970_ > threshold_) {
    renderThreadResetVideoOutput();
    displayStartTimeIntervalSince1970_ = now;
  }
  glClearColor(0, 0, 0, 1);
  glClear(GL_COLOR_BUFFER_BIT);
  const platform::Rect pixels(0, 0, view.drawableWidth(), view.drawableHeight());
  if (sphericalShader_) sphericalShader_->displayPixelBuffer(frame, pixels);
}

void ZUMVideoPlayerGLViewImpl::unscheduleDisplayLink() {
  if (displayLink_) displayLink_->invalidate();
  sphericalShader_.reset();  // stops motion tracking and frees its program and textures
  glView_->deleteDrawable();
  [[maybe_unused]] const bool cleared = platform::GLContext::setCurrentContext(nullptr);  // refusals are logged
}
