#include "platform/gl/GLContext.h"

#include <atomic>
#include <cstdio>
#include <mutex>
#include <string>

#include <EGL/egl.h>
#include <EGL/eglext.h>

#include "platform/base/SystemLog.h"
#include "platform/base/TestingReset.h"
#include "platform/gl/GLError.h"

namespace platform {

namespace {

constexpr const char* kLog = "GL";

std::atomic<GLAvailability> gAvailability{GLAvailability::Available};
[[maybe_unused]] const bool kAvailabilityResets = resetBetweenTests(gAvailability, GLAvailability::Available);

// The one EGL display of the process, initialised on first use and never terminated:
// contexts of any thread may still be in use while the process exits.
EGLDisplay display() {
  static EGLDisplay shared = [] {
    auto getPlatformDisplay =
        reinterpret_cast<PFNEGLGETPLATFORMDISPLAYEXTPROC>(eglGetProcAddress("eglGetPlatformDisplayEXT"));
    EGLDisplay d = getPlatformDisplay ? getPlatformDisplay(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr)
                                      : EGL_NO_DISPLAY;
    EGLint major = 0, minor = 0;
    if (d == EGL_NO_DISPLAY || !eglInitialize(d, &major, &minor)) {
      SystemLog::write(kLog, "No surfaceless EGL display (EGL error " + std::to_string(eglGetError()) + ")");
      return EGL_NO_DISPLAY;
    }
    return d;
  }();
  return shared;
}

std::string eglErrorText() {
  char text[32];
  std::snprintf(text, sizeof text, "EGL error 0x%04x", static_cast<unsigned>(eglGetError()));
  return text;
}

// The calling thread's current context. When the thread ends, the context is released
// from it and EGL's per-thread state dropped, so the context can be destroyed.
struct ThreadCurrent {
  std::shared_ptr<GLContext> context;
  ~ThreadCurrent() {
    if (!context) return;
    eglMakeCurrent(display(), EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
    eglReleaseThread();
  }
};
thread_local ThreadCurrent tlsCurrent;

}  // namespace

std::shared_ptr<GLContext> GLContext::create(API api, ErrorPtr* error) {
  auto fail = [&](const std::string& reason) -> std::shared_ptr<GLContext> {
    SystemLog::write(kLog, "No OpenGL ES context: " + reason);
    if (error) *error = makeGLError(kGLErrorContextUnavailable, reason);
    return nullptr;
  };
  if (gAvailability.load() == GLAvailability::Unavailable) return fail("OpenGL ES is not available on this device");
  const EGLDisplay d = display();
  if (d == EGL_NO_DISPLAY) return fail("no EGL display");
  if (!eglBindAPI(EGL_OPENGL_ES_API)) return fail(eglErrorText());
  const EGLint attributes[] = {EGL_CONTEXT_CLIENT_VERSION, static_cast<EGLint>(api), EGL_NONE};
  // Surfaceless displays offer no configs: the context is made without one.
  EGLContext handle = eglCreateContext(d, EGL_NO_CONFIG_KHR, EGL_NO_CONTEXT, attributes);
  if (handle == EGL_NO_CONTEXT) return fail(eglErrorText());
  return std::shared_ptr<GLContext>(new GLContext(api, handle));
}

GLContext::~GLContext() {
  // A context still current on some thread is destroyed by EGL once it is released there.
  eglDestroyContext(display(), handle_);
}

bool GLContext::setCurrentContext(std::shared_ptr<GLContext> context) {
  if (context == tlsCurrent.context) return true;
  const EGLDisplay d = display();
  if (context) {
    if (!eglMakeCurrent(d, EGL_NO_SURFACE, EGL_NO_SURFACE, context->handle_)) {
      SystemLog::write(kLog, "Cannot make the context current: " + eglErrorText());
      return false;
    }
  } else if (tlsCurrent.context) {
    eglMakeCurrent(d, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
  }
  tlsCurrent.context = std::move(context);
  return true;
}

std::shared_ptr<GLContext> GLContext::currentContext() { return tlsCurrent.context; }

bool GLContext::isCurrent() const { return tlsCurrent.context.get() == this; }

void GLContext::setAvailabilityForTesting(GLAvailability availability) { gAvailability.store(availability); }

GLContextScope::GLContextScope(std::shared_ptr<GLContext> context) : previous_(GLContext::currentContext()) {
  if (!context) return;
  if (context == previous_) {
    current_ = true;
    return;
  }
  current_ = GLContext::setCurrentContext(std::move(context));
  switched_ = current_;
}

GLContextScope::~GLContextScope() {
  if (switched_) static_cast<void>(GLContext::setCurrentContext(std::move(previous_)));
}

}  // namespace platform
