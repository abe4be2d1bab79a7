#include "platform/gl/GLView.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <sstream>
#include <vector>

#include <GLES2/gl2.h>

#include "platform/base/MainThreadChecker.h"
#include "platform/base/SystemLog.h"
#include "platform/gl/GLContext.h"
#include "platform/gl/GLViewDelegate.h"
#include "platform/ui/Bitmap.h"
#include "platform/ui/Image.h"

namespace platform {

namespace {

constexpr const char* kLog = "GLView";

int pixels(double points, double scale) {
  const double p = std::round(points * scale);
  return std::isfinite(p) ? static_cast<int>(std::clamp(p, 0.0, static_cast<double>(Bitmap::kMaxSide))) : 0;
}

}  // namespace

std::shared_ptr<GLView> GLView::create(const Rect& frame, std::shared_ptr<GLContext> context) {
  return std::shared_ptr<GLView>(new GLView(frame, std::move(context)));
}

GLView::GLView(const Rect& frame, std::shared_ptr<GLContext> context) : View(frame), context_(std::move(context)) {
  updateDrawableSize();
}

GLView::~GLView() {
  std::lock_guard lock(mutex_);
  freeDrawable();
}

std::shared_ptr<GLContext> GLView::context() const {
  std::lock_guard lock(mutex_);
  return context_;
}

void GLView::setContext(std::shared_ptr<GLContext> context) {
  std::lock_guard lock(mutex_);
  if (context == context_) return;
  freeDrawable();
  context_ = std::move(context);
}

std::shared_ptr<GLViewDelegate> GLView::delegate() const {
  std::lock_guard lock(mutex_);
  return delegate_.lock();
}

void GLView::setDelegate(std::weak_ptr<GLViewDelegate> delegate) {
  std::lock_guard lock(mutex_);
  delegate_ = std::move(delegate);
}

void GLView::setContentScaleFactor(double scale) {
  assertMainThread();
  if (!(std::isfinite(scale) && scale > 0)) return;
  contentScale_ = scale;
  updateDrawableSize();
}

void GLView::layoutSubviews() {
  View::layoutSubviews();
  updateDrawableSize();
}

void GLView::updateDrawableSize() {
  const Size size = bounds().size;
  std::lock_guard lock(mutex_);
  pointSize_ = size;
  drawableScale_ = contentScale_;
  wantedWidth_ = pixels(size.width, contentScale_);
  wantedHeight_ = pixels(size.height, contentScale_);
}

int GLView::drawableWidth() const {
  std::lock_guard lock(mutex_);
  return wantedWidth_;
}

int GLView::drawableHeight() const {
  std::lock_guard lock(mutex_);
  return wantedHeight_;
}

bool GLView::bindDrawable() {
  std::lock_guard lock(mutex_);
  if (!context_ || !context_->isCurrent()) {
    SystemLog::write(kLog, "bindDrawable needs the view's context current on the calling thread");
    return false;
  }
  if (wantedWidth_ == 0 || wantedHeight_ == 0) {
    SystemLog::write(kLog, "No drawable for a view without area");
    return false;
  }
  if (drawable_.framebuffer == 0 || drawable_.width != wantedWidth_ || drawable_.height != wantedHeight_) {
    freeDrawable();
    if (!makeDrawable(wantedWidth_, wantedHeight_)) return false;
  }
  glBindFramebuffer(GL_FRAMEBUFFER, drawable_.framebuffer);
  glViewport(0, 0, drawable_.width, drawable_.height);
  return true;
}

bool GLView::makeDrawable(int width, int height) {
  // A texture as colour buffer: RGBA8 renderbuffers are an extension in ES 2, RGBA
  // textures are not.
  GLuint texture = 0, framebuffer = 0;
  glGenTextures(1, &texture);
  glBindTexture(GL_TEXTURE_2D, texture);
  glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, width, height, 0, GL_RGBA, GL_UNSIGNED_BYTE, nullptr);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
  glGenFramebuffers(1, &framebuffer);
  glBindFramebuffer(GL_FRAMEBUFFER, framebuffer);
  glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, texture, 0);
  const GLenum status = glCheckFramebufferStatus(GL_FRAMEBUFFER);
  glBindTexture(GL_TEXTURE_2D, 0);
  if (status != GL_FRAMEBUFFER_COMPLETE) {
    SystemLog::write(kLog, "Incomplete framebuffer of " + std::to_string(width) + "x" + std::to_string(height) +
                               " (status " + std::to_string(status) + ")");
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    glDeleteFramebuffers(1, &framebuffer);
    glDeleteTextures(1, &texture);
    return false;
  }
  drawable_ = {framebuffer, texture, width, height, context_};
  return true;
}

void GLView::freeDrawable() {
  if (drawable_.framebuffer == 0) return;
  GLContextScope scope(drawable_.context);
  if (scope.isCurrent()) {
    glDeleteFramebuffers(1, &drawable_.framebuffer);
    glDeleteTextures(1, &drawable_.colorTexture);
  } else {
    // Current on another thread: its objects go when the context goes.
    SystemLog::write(kLog, "The drawable's context is busy on another thread; its objects stay with it");
  }
  drawable_ = {};
}

void GLView::deleteDrawable() {
  std::lock_guard lock(mutex_);
  freeDrawable();
}

void GLView::display() {
  auto context = this->context();
  auto delegate = this->delegate();
  if (!context || !delegate) {
    SystemLog::write(kLog, context ? "display without a delegate" : "display without a context");
    return;
  }
  GLContextScope scope(context);
  if (!scope.isCurrent() || !bindDrawable()) return;
  Size size;
  {
    std::lock_guard lock(mutex_);
    size = pointSize_;
  }
  delegate->glViewDrawInRect(*this, Rect(0, 0, size.width, size.height));
  std::lock_guard lock(mutex_);
  if (drawable_.framebuffer != 0) keepFrame(drawable_.width, drawable_.height);
}

void GLView::keepFrame(int width, int height) {
  std::vector<std::uint8_t> rgba(static_cast<std::size_t>(width) * height * 4);
  glBindFramebuffer(GL_FRAMEBUFFER, drawable_.framebuffer);
  glPixelStorei(GL_PACK_ALIGNMENT, 4);
  glReadPixels(0, 0, width, height, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
  // GL's rows run bottom to top; a bitmap's top to bottom.
  const std::size_t row = static_cast<std::size_t>(width) * 4;
  std::vector<std::uint8_t> flipped(rgba.size());
  for (int y = 0; y < height; ++y) {
    std::memcpy(flipped.data() + static_cast<std::size_t>(y) * row,
                rgba.data() + static_cast<std::size_t>(height - 1 - y) * row, row);
  }
  lastFrame_ = Image::create(Bitmap(width, height, std::move(flipped)), drawableScale_);
}

std::shared_ptr<const Image> GLView::lastFrame() const {
  std::lock_guard lock(mutex_);
  return lastFrame_;
}

void GLView::draw(DrawContext& context) const {
  if (auto frame = lastFrame()) context.drawImage(*frame, bounds());
}

std::string GLView::description() const {
  std::ostringstream out;
  out << "<GLView " << static_cast<const void*>(this) << "; drawable " << drawableWidth() << "x" << drawableHeight()
      << ">";
  return out.str();
}

}  // namespace platform
