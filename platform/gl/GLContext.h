// An OpenGL ES 2 rendering context, after the platform's GL context. Contexts are made on
// Mesa's EGL over its surfaceless platform: no window system and no GPU are needed (Mesa's
// software rasterizer draws), and there is no default framebuffer, so drawing goes into
// framebuffer objects (GLView's drawable).
//
// A context is current on at most one thread at a time; GL calls go to the calling
// thread's current context. create() and setCurrentContext() may be called from any
// thread. A thread's current context is held strongly until it is replaced, cleared or
// the thread ends.
#pragma once

#include <memory>

#include "platform/base/Error.h"

namespace platform {

// Whether contexts can be made: a test switch that makes the machine a device without GL.
enum class GLAvailability { Available, Unavailable };

class GLContext {
 public:
  enum class API { OpenGLES2 = 2 };

  // nullptr when no context can be made; `error` (when given) then says why, and the
  // reason is logged.
  static std::shared_ptr<GLContext> create(API api = API::OpenGLES2, ErrorPtr* error = nullptr);
  ~GLContext();
  GLContext(const GLContext&) = delete;
  GLContext& operator=(const GLContext&) = delete;

  API api() const { return api_; }

  // Makes `context` current on the calling thread (nullptr: none). False, logged, when
  // EGL refuses, for instance because the context is current on another thread; the
  // thread's current context is then unchanged.
  [[nodiscard]] static bool setCurrentContext(std::shared_ptr<GLContext> context);
  static std::shared_ptr<GLContext> currentContext();
  // Whether this context is the calling thread's current one.
  bool isCurrent() const;

  // Tests: every later create() fails as on a device without GL until this is set back;
  // the test environment restores Available between tests.
  static void setAvailabilityForTesting(GLAvailability availability);

  // The EGL handle, for the layer's own objects (void* keeps EGL's headers out of here).
  void* nativeHandle() const { return handle_; }

 private:
  GLContext(API api, void* handle) : api_(api), handle_(handle) {}

  const API api_;
  void* const handle_;
};

// Makes `context` current for a scope and puts back the thread's previous context after.
// isCurrent() says whether it took.
class GLContextScope {
 public:
  explicit GLContextScope(std::shared_ptr<GLContext> context);
  ~GLContextScope();
  GLContextScope(const GLContextScope&) = delete;
  GLContextScope& operator=(const GLContextScope&) = delete;
  bool isCurrent() const { return current_; }

 private:
  std::shared_ptr<GLContext> previous_;
  bool current_ = false;
  bool switched_ = false;
};

}  // namespace platform
