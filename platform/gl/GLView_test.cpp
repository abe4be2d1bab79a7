#include "platform/gl/GLView.h"

#include <algorithm>
#include <atomic>
#include <limits>
#include <string>
#include <vector>

#include <GLES2/gl2.h>
#include <gtest/gtest.h>

#include "platform/base/SystemLog.h"
#include "platform/base/Thread.h"
#include "platform/gl/GLContext.h"
#include "platform/gl/GLError.h"
#include "platform/gl/GLProgramCalls.h"
#include "platform/gl/GLViewDelegate.h"
#include "platform/ui/Bitmap.h"
#include "platform/ui/Image.h"
#include "testing/TestEnvironment.h"

namespace platform {
namespace {

using GLViewTest = testenv::PlatformTest;

// Clears to red, then paints the lower half (GL's y runs up) green, and notes its thread.
class HalvesDelegate : public GLViewDelegate {
 public:
  void glViewDrawInRect(GLView& view, const Rect& rect) override {
    thread = Thread::current() ? Thread::current()->name() : "main";
    drawnRect = rect;
    glClearColor(1, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    glEnable(GL_SCISSOR_TEST);
    glScissor(0, 0, view.drawableWidth(), view.drawableHeight() / 2);
    glClearColor(0, 1, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    glDisable(GL_SCISSOR_TEST);
  }
  std::string thread;
  Rect drawnRect;
};

const Bitmap::Pixel kRed{255, 0, 0, 255}, kGreen{0, 255, 0, 255};

TEST_F(GLViewTest, AViewDrawnOnARenderThreadShowsThePixelsInItsSnapshot) {
  auto context = GLContext::create();
  ASSERT_NE(context, nullptr);
  auto view = GLView::create(Rect(0, 0, 5, 4), context);
  view->setContentScaleFactor(2);
  auto delegate = std::make_shared<HalvesDelegate>();
  view->setDelegate(delegate);
  EXPECT_EQ(view->drawableWidth(), 10);
  EXPECT_EQ(view->drawableHeight(), 8);
  EXPECT_EQ(view->lastFrame(), nullptr);

  auto thread = Thread::create("example.gl", [] { Thread::runCurrentRunLoop(); });
  thread->start();
  ASSERT_TRUE(thread->perform([&] { view->display(); }, Thread::Wait::UntilDone));
  EXPECT_EQ(delegate->thread, "example.gl");
  EXPECT_EQ(delegate->drawnRect, Rect(0, 0, 5, 4));

  const Bitmap shot = view->snapshot(2);
  ASSERT_EQ(shot.width(), 10);
  ASSERT_EQ(shot.height(), 8);
  EXPECT_EQ(shot.pixel(0, 0), kRed);  // top rows: GL's upper half
  EXPECT_EQ(shot.pixel(9, 3), kRed);
  EXPECT_EQ(shot.pixel(0, 4), kGreen);
  EXPECT_EQ(shot.pixel(9, 7), kGreen);
  EXPECT_EQ(view->lastFrame()->size(), (Size{5, 4})) << "the frame is at the view's scale";

  // A new size at layout gives a new drawable of that size at the next display.
  view->setFrame(Rect(0, 0, 3, 2));
  view->layoutIfNeeded();
  ASSERT_TRUE(thread->perform([&] { view->display(); }, Thread::Wait::UntilDone));
  ASSERT_NE(view->lastFrame(), nullptr);
  EXPECT_EQ(view->lastFrame()->bitmap().width(), 6);
  EXPECT_EQ(view->lastFrame()->bitmap().height(), 4);

  // Deleting the drawable (off the render thread, as a view being torn down does) keeps
  // the last frame on screen.
  ASSERT_TRUE(thread->perform([&] { EXPECT_TRUE(GLContext::setCurrentContext(nullptr)); }, Thread::Wait::UntilDone));
  view->deleteDrawable();
  EXPECT_EQ(view->snapshot(2).pixel(0, 3), kGreen);
  thread->stopRunLoop();
  thread->join();
}

TEST_F(GLViewTest, AMissingContextOrDrawableIsReportedNeverACrash) {
  SystemLog::Capture log(true);
  GLContext::setAvailabilityForTesting(GLAvailability::Unavailable);
  ErrorPtr error;
  EXPECT_EQ(GLContext::create(GLContext::API::OpenGLES2, &error), nullptr);
  ASSERT_NE(error, nullptr);
  EXPECT_EQ(error->domain(), kGLErrorDomain);
  EXPECT_EQ(error->code(), kGLErrorContextUnavailable);
  EXPECT_TRUE(log.contains("No OpenGL ES context"));
  GLContext::setAvailabilityForTesting(GLAvailability::Available);

  auto delegate = std::make_shared<HalvesDelegate>();
  auto noContext = GLView::create(Rect(0, 0, 4, 4));
  noContext->setDelegate(delegate);
  noContext->display();
  EXPECT_EQ(noContext->lastFrame(), nullptr);
  EXPECT_TRUE(log.contains("display without a context"));

  auto context = GLContext::create();
  ASSERT_NE(context, nullptr);
  auto flat = GLView::create(Rect(0, 0, 4, 0), context);
  flat->setDelegate(delegate);
  flat->display();
  EXPECT_TRUE(log.contains("No drawable for a view without area"));

  auto view = GLView::create(Rect(0, 0, 4, 4), context);
  EXPECT_FALSE(view->bindDrawable());  // its context is not current here
  EXPECT_TRUE(log.contains("context current on the calling thread"));
  view->display();
  EXPECT_TRUE(log.contains("display without a delegate"));
  EXPECT_TRUE(delegate->thread.empty());
}

TEST_F(GLViewTest, AContextIsCurrentOnOneThreadAtATime) {
  SystemLog::Capture log(true);
  auto context = GLContext::create();
  ASSERT_NE(context, nullptr);
  auto takeOnAThread = [&](bool keep) {
    std::atomic<bool> took{false};
    auto thread = Thread::create("example.other", [&] {
      took = GLContext::setCurrentContext(context);
      if (took && !keep) took = GLContext::setCurrentContext(nullptr);
    });
    thread->start();
    thread->join();
    return took.load();
  };
  ASSERT_TRUE(GLContext::setCurrentContext(context));
  EXPECT_TRUE(context->isCurrent());
  EXPECT_FALSE(takeOnAThread(false));
  EXPECT_TRUE(log.contains("Cannot make the context current"));

  ASSERT_TRUE(GLContext::setCurrentContext(nullptr));
  EXPECT_FALSE(context->isCurrent());
  EXPECT_EQ(GLContext::currentContext(), nullptr);
  // Released here, it can be current elsewhere; a thread that ends with it current
  // releases it too.
  EXPECT_TRUE(takeOnAThread(true));
  EXPECT_TRUE(GLContext::setCurrentContext(context));
  ASSERT_TRUE(GLContext::setCurrentContext(nullptr));
}

const char* kVertex = "attribute vec3 position; void main() { gl_Position = vec4(position, 1.0); }";
const char* kFragment = "precision mediump float; uniform vec4 tint; void main() { gl_FragColor = tint; }";

struct Built {
  GLuint shaders[2] = {0, 0};
  GLint compiled[2] = {0, 0};
  GLint linked = 0;
  std::string log;
};

// Compiles and links as the SDK does, binding "position" to 0 before the link.
Built build(const char* vertex, const char* fragment, GLuint& program) {
  Built built;
  GLuint* shaders = built.shaders;
  shaders[0] = gl::createShader(GL_VERTEX_SHADER);
  shaders[1] = gl::createShader(GL_FRAGMENT_SHADER);
  const char* sources[2] = {vertex, fragment};
  program = gl::createProgram();
  for (int i = 0; i < 2; ++i) {
    gl::shaderSource(shaders[i], sources[i]);
    gl::compileShader(shaders[i]);
    built.compiled[i] = gl::getShaderiv(shaders[i], GL_COMPILE_STATUS);
    built.log += gl::getShaderInfoLog(shaders[i]);
    gl::attachShader(program, shaders[i]);
  }
  gl::bindAttribLocation(program, 0, "position");
  gl::linkProgram(program);
  built.linked = gl::getProgramiv(program, GL_LINK_STATUS);
  built.log += gl::getProgramInfoLog(program);
  for (int i = 0; i < 2; ++i) {
    gl::detachShader(program, shaders[i]);
    gl::deleteShader(shaders[i]);
  }
  return built;
}

TEST_F(GLViewTest, ProgramCallsReportFailuresAndAreRecordedInOrder) {
  auto context = GLContext::create();
  ASSERT_NE(context, nullptr);
  GLContextScope scope(context);
  ASSERT_TRUE(scope.isCurrent());
  // A host's calls pile up nowhere: only a test that asks has them recorded.
  gl::deleteShader(gl::createShader(GL_VERTEX_SHADER));
  EXPECT_TRUE(gl::recordedCalls().empty());
  gl::setRecordingCalls(true);

  GLuint program = 0;
  const Built good = build(kVertex, kFragment, program);
  EXPECT_EQ(good.linked, GL_TRUE) << good.log;
  GLint attached = -1, inUse = 0;
  glGetProgramiv(program, GL_ATTACHED_SHADERS, &attached);
  EXPECT_EQ(attached, 0) << "both shaders detached";
  gl::useProgram(program);
  glGetIntegerv(GL_CURRENT_PROGRAM, &inUse);
  EXPECT_EQ(static_cast<GLuint>(inUse), program);
  EXPECT_GE(gl::getUniformLocation(program, "tint"), 0);
  EXPECT_EQ(gl::getUniformLocation(program, "absent"), -1);
  EXPECT_EQ(gl::getAttribLocation(program, "position"), 0);
  const GLuint v = good.shaders[0], f = good.shaders[1];
  const std::string vs = std::to_string(v), fs = std::to_string(f);
  const std::vector<gl::RecordedGLCall> expected{
      {"glCreateShader", v, ""},
      {"glCreateShader", f, ""},
      {"glCreateProgram", program, ""},
      {"glShaderSource", v, ""},
      {"glCompileShader", v, ""},
      {"glGetShaderiv", v, ""},
      {"glAttachShader", program, vs},
      {"glShaderSource", f, ""},
      {"glCompileShader", f, ""},
      {"glGetShaderiv", f, ""},
      {"glAttachShader", program, fs},
      {"glBindAttribLocation", program, "position"},
      {"glLinkProgram", program, ""},
      {"glGetProgramiv", program, ""},
      {"glDetachShader", program, vs},
      {"glDeleteShader", v, ""},
      {"glDetachShader", program, fs},
      {"glDeleteShader", f, ""},
      {"glUseProgram", program, ""},
      {"glGetUniformLocation", program, "tint"},
      {"glGetUniformLocation", program, "absent"},
      {"glGetAttribLocation", program, "position"},
  };
  EXPECT_EQ(gl::recordedCalls(), expected);
  const auto names = gl::recordedCallNames();
  EXPECT_LT(std::find(names.begin(), names.end(), "glBindAttribLocation"),
            std::find(names.begin(), names.end(), "glLinkProgram"))
      << "the attribute is bound before the link";
  gl::deleteProgram(program);
  EXPECT_EQ(gl::recordedCalls().back(), (gl::RecordedGLCall{"glDeleteProgram", program, ""}));

  gl::clearRecordedCalls();
  const Built badShader = build(kVertex, "void main() { gl_FragColor = nonsense; }", program);
  EXPECT_EQ(badShader.compiled[0], GL_TRUE);
  EXPECT_EQ(badShader.compiled[1], GL_FALSE);
  EXPECT_EQ(badShader.linked, GL_FALSE);
  EXPECT_NE(badShader.log.find("nonsense"), std::string::npos) << badShader.log;
  EXPECT_EQ(gl::recordedCalls().size(), 18u) << "only the calls since the clear";
  gl::deleteProgram(program);

  // Both compile, but the fragment shader reads a varying the vertex shader never writes.
  const Built badLink = build(
      kVertex, "precision mediump float; varying vec2 uv; void main() { gl_FragColor = vec4(uv, 0, 1); }", program);
  EXPECT_EQ(badLink.compiled[1], GL_TRUE);
  EXPECT_EQ(badLink.linked, GL_FALSE);
  EXPECT_FALSE(badLink.log.empty());
  gl::deleteProgram(program);
}

TEST_F(GLViewTest, TheDrawableFollowsScaleAndContextAndIsFreedInTheContextItWasMadeIn) {
  SystemLog::Capture log(true);
  auto context = GLContext::create(), other = GLContext::create();
  ASSERT_NE(context, nullptr);
  ASSERT_NE(other, nullptr);
  auto view = GLView::create(Rect(0, 0, 10, 20), context);
  const struct {
    double scale;
    int width, height;
  } rows[] = {
      {3, 30, 60},
      {0, 30, 60},  // refused: the scale stays 3
      {-1, 30, 60},
      {std::numeric_limits<double>::quiet_NaN(), 30, 60},
      {std::numeric_limits<double>::infinity(), 30, 60},
      {1000, 8192, 8192},  // capped at the largest bitmap side
      {0.5, 5, 10},
      {0.1, 1, 2},
  };
  for (const auto& row : rows) {
    view->setContentScaleFactor(row.scale);
    EXPECT_EQ(view->drawableWidth(), row.width) << row.scale;
    EXPECT_EQ(view->drawableHeight(), row.height) << row.scale;
  }

  GLContextScope scope(context);
  GLContextScope again(context);
  ASSERT_TRUE(again.isCurrent()) << "a scope of the current context keeps it current";
  ASSERT_TRUE(view->bindDrawable());
  GLint framebuffer = 0, viewport[4] = {};
  glGetIntegerv(GL_FRAMEBUFFER_BINDING, &framebuffer);
  glGetIntegerv(GL_VIEWPORT, viewport);
  EXPECT_TRUE(glIsFramebuffer(framebuffer));
  EXPECT_EQ(std::vector<GLint>(viewport, viewport + 4), (std::vector<GLint>{0, 0, 1, 2}));
  view->deleteDrawable();
  EXPECT_FALSE(glIsFramebuffer(framebuffer));

  // Only the height changes: a drawable of the new size.
  view->setFrame(Rect(0, 0, 10, 30));
  view->layoutIfNeeded();
  ASSERT_TRUE(view->bindDrawable());
  glGetIntegerv(GL_VIEWPORT, viewport);
  EXPECT_EQ(std::vector<GLint>(viewport, viewport + 4), (std::vector<GLint>{0, 0, 1, 3}));

  ASSERT_TRUE(view->bindDrawable());
  glGetIntegerv(GL_FRAMEBUFFER_BINDING, &framebuffer);
  view->setContext(other);  // the old context's drawable goes with it
  EXPECT_FALSE(glIsFramebuffer(framebuffer));
  EXPECT_TRUE(context->isCurrent());
  EXPECT_FALSE(view->bindDrawable()) << "the new context is not current here";
}

TEST_F(GLViewTest, ADrawableWhoseContextIsBusyOnAnotherThreadIsLeftToThatContext) {
  SystemLog::Capture log(true);
  auto context = GLContext::create();
  ASSERT_NE(context, nullptr);
  auto view = GLView::create(Rect(0, 0, 4, 4), context);
  auto delegate = std::make_shared<HalvesDelegate>();
  view->setDelegate(delegate);
  auto thread = Thread::create("example.busy", [] { Thread::runCurrentRunLoop(); });
  thread->start();
  // The render thread keeps its context current, as a render thread does.
  ASSERT_TRUE(thread->perform(
      [&] {
        ASSERT_TRUE(GLContext::setCurrentContext(context));
        view->display();
        EXPECT_TRUE(context->isCurrent()) << "display keeps the thread's context";
      },
      Thread::Wait::UntilDone));
  EXPECT_NE(view->lastFrame(), nullptr);
  view->deleteDrawable();
  EXPECT_TRUE(log.contains("busy on another thread"));
  ASSERT_TRUE(thread->perform([] { EXPECT_TRUE(GLContext::setCurrentContext(nullptr)); }, Thread::Wait::UntilDone));
  thread->stopRunLoop();
  thread->join();
}

}  // namespace
}  // namespace platform
