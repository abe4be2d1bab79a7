#include "platform/gl/GLView.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <vector>

#include <GLES2/gl2.h>

#include "platform/base/SystemLog.h"
#include "platform/gl/GLContext.h"
#include "platform/gl/GLError.h"
#include "platform/gl/GLProgramCalls.h"
#include "platform/gl/GLViewDelegate.h"
#include "platform/gl/Thread.h"
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
  auto context = GLContext::create();
  ASSERT_NE(context, nullptr);
  ASSERT_TRUE(GLContext::setCurrentContext(context));
  EXPECT_TRUE(context->isCurrent());
  std::atomic<bool> tookElsewhere{true};
  auto thread = Thread::create("example.other", [&] {
    SystemLog::Capture log(true);
    tookElsewhere = GLContext::setCurrentContext(context);
  });
  thread->start();
  thread->join();
  EXPECT_FALSE(tookElsewhere);
  ASSERT_TRUE(GLContext::setCurrentContext(nullptr));
  EXPECT_FALSE(context->isCurrent());
  EXPECT_EQ(GLContext::currentContext(), nullptr);
}

const char* kVertex = "attribute vec3 position; void main() { gl_Position = vec4(position, 1.0); }";
const char* kFragment = "precision mediump float; uniform vec4 tint; void main() { gl_FragColor = tint; }";

struct Built {
  GLint compiled[2] = {0, 0};
  GLint linked = 0;
  std::string log;
};

// Compiles and links as the SDK does, binding "position" to 0 before the link.
Built build(const char* vertex, const char* fragment, GLuint& program) {
  Built built;
  GLuint shaders[2] = {gl::createShader(GL_VERTEX_SHADER), gl::createShader(GL_FRAGMENT_SHADER)};
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
  for (GLuint shader : shaders) {
    gl::detachShader(program, shader);
    gl::deleteShader(shader);
  }
  return built;
}

TEST_F(GLViewTest, ProgramCallsReportFailuresAndAreRecordedInOrder) {
  auto context = GLContext::create();
  ASSERT_NE(context, nullptr);
  GLContextScope scope(context);
  ASSERT_TRUE(scope.isCurrent());

  GLuint program = 0;
  const Built good = build(kVertex, kFragment, program);
  EXPECT_EQ(good.linked, GL_TRUE) << good.log;
  gl::useProgram(program);
  EXPECT_GE(gl::getUniformLocation(program, "tint"), 0);
  EXPECT_EQ(gl::getUniformLocation(program, "absent"), -1);
  EXPECT_EQ(gl::getAttribLocation(program, "position"), 0);
  const auto names = gl::recordedCallNames();
  const auto bind = std::find(names.begin(), names.end(), "glBindAttribLocation");
  const auto link = std::find(names.begin(), names.end(), "glLinkProgram");
  EXPECT_LT(bind, link) << "the attribute is bound before the link";
  EXPECT_EQ(gl::recordedCalls().back(), (gl::RecordedGLCall{"glGetAttribLocation", program, "position"}));
  gl::deleteProgram(program);

  gl::clearRecordedCalls();
  const Built badShader = build(kVertex, "void main() { gl_FragColor = nonsense; }", program);
  EXPECT_EQ(badShader.compiled[0], GL_TRUE);
  EXPECT_EQ(badShader.compiled[1], GL_FALSE);
  EXPECT_EQ(badShader.linked, GL_FALSE);
  EXPECT_NE(badShader.log.find("nonsense"), std::string::npos) << badShader.log;
  EXPECT_EQ(gl::recordedCallNames().front(), "glCreateShader");
  gl::deleteProgram(program);

  // Both compile, but the fragment shader reads a varying the vertex shader never writes.
  const Built badLink = build(kVertex, "precision mediump float; varying vec2 uv; void main() { gl_FragColor = vec4(uv, 0, 1); }",
                              program);
  EXPECT_EQ(badLink.compiled[1], GL_TRUE);
  EXPECT_EQ(badLink.linked, GL_FALSE);
  EXPECT_FALSE(badLink.log.empty());
  gl::deleteProgram(program);
}

}  // namespace
}  // namespace platform
