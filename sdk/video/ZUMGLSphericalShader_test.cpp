// The spherical shader on Mesa's software rasterizer: the program it builds (through the
// recorded GL calls), the textures and uniforms a frame gives, the colours it draws, and
// the view matrix under device motion, orientations and pans.
#include "sdk/video/ZUMGLSphericalShader.h"

#include <cmath>
#include <limits>
#include <numbers>
#include <utility>

#include <GLES2/gl2.h>
#include <gtest/gtest.h>

#include "platform/gl/GLContext.h"
#include "platform/gl/GLProgramCalls.h"
#include "platform/gl/GLTexture.h"
#include "platform/gl/GLView.h"
#include "platform/media/PixelBuffer.h"
#include "platform/ui/MotionManager.h"
#include "sdk/foundation/ZUMApplication.h"
#include "sdk/video/ZUMCreateGLProgram.h"
#include "testing/TestEnvironment.h"

namespace {

constexpr double kDegree = std::numbers::pi / 180;
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

struct RGB {
  int r, g, b;
};

// A frame of one colour, or with `ramp` set a luma that climbs 10 per column around the
// middle column, so that the column a pixel shows can be read from its grey.
std::shared_ptr<platform::PixelBuffer> frameOf(int width, int height, int y, int cb, int cr,
                                               const std::string& matrix = platform::kYCbCrMatrixITU_R_709_2,
                                               bool ramp = false) {
  auto frame = std::make_shared<platform::PixelBuffer>(width, height, false, matrix);
  for (int row = 0; row < height; ++row) {
    for (int x = 0; x < width; ++x) {
      const int value = ramp ? std::clamp(16 + (x - width / 2 + 10) * 10, 16, 235) : y;
      frame->mutableBaseAddressOfPlane(0)[row * width + x] = static_cast<std::uint8_t>(value);
    }
  }
  const int pairs = frame->widthOfPlane(1) * frame->heightOfPlane(1);
  for (int i = 0; i < pairs; ++i) {
    frame->mutableBaseAddressOfPlane(1)[2 * i] = static_cast<std::uint8_t>(cb);
    frame->mutableBaseAddressOfPlane(1)[2 * i + 1] = static_cast<std::uint8_t>(cr);
  }
  return frame;
}

// What the video-range conversion gives, by the shader's matrices with the luma offset taken away.
RGB expected(bool bt601, double y, double cb, double cr) {
  y = (y - 16) * 1.164, cb -= 128, cr -= 128;
  const double r = y + (bt601 ? 1.596 : 1.793) * cr;
  const double g = y - (bt601 ? 0.392 : 0.213) * cb - (bt601 ? 0.813 : 0.533) * cr;
  const double b = y + (bt601 ? 2.017 : 2.112) * cb;
  auto clamp = [](double v) { return static_cast<int>(std::lround(std::clamp(v, 0.0, 255.0))); };
  return {clamp(r), clamp(g), clamp(b)};
}

void expectNear(const ZUMGLMatrix4& actual, const ZUMGLMatrix4& wanted, double tolerance = 1e-6) {
  for (int i = 0; i < 16; ++i) EXPECT_NEAR(actual.m[i], wanted.m[i], tolerance) << "entry " << i;
}

class ZUMGLSphericalShaderTest : public testenv::PlatformTest {
 protected:
  void SetUp() override {
    ASSERT_TRUE(context);
    ASSERT_TRUE(scope.isCurrent());
    platform::gl::setRecordingCalls(true);
  }
  std::shared_ptr<ZUMGLSphericalShader> made(double pitch = 0.2, double roll = 0.2) {
    auto shader = ZUMGLSphericalShader::create(pitch, roll);
    EXPECT_TRUE(shader);
    return shader;
  }
  // Draws into a drawable of w x h pixels and reads the pixel at (x, y) (GL's rows, bottom up).
  RGB draw(ZUMGLSphericalShader& shader, const std::shared_ptr<platform::PixelBuffer>& frame, int w, int h, int x,
           int y) {
    view = platform::GLView::create(platform::Rect(0, 0, w, h), context);
    EXPECT_TRUE(view->bindDrawable());
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    shader.displayPixelBuffer(frame, platform::Rect(0, 0, w, h));
    std::uint8_t pixel[4] = {};
    glReadPixels(x, y, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, pixel);
    return {pixel[0], pixel[1], pixel[2]};
  }
  static void withMotion(const platform::RotationMatrix& attitude) {
    platform::MotionManager::setDeviceMotionAvailable(true);
    ASSERT_TRUE(platform::MotionManager::setAttitudeRotationMatrix(attitude));
  }
  // Rx(-90 degrees) as a sensor matrix: with it the view looks at the frame's centre.
  static platform::RotationMatrix lookingAhead() { return {{{{1, 0, 0}, {0, 0, 1}, {0, -1, 0}}}}; }

  std::shared_ptr<platform::GLContext> context = platform::GLContext::create();
  platform::GLContextScope scope{context};
  std::shared_ptr<platform::GLView> view;
};

TEST_F(ZUMGLSphericalShaderTest, BindsThePositionBeforeLinkingAndReleasesItsShaders) {
  auto shader = made();
  ASSERT_TRUE(shader);
  EXPECT_NE(shader->glProgram(), 0u);
  EXPECT_EQ(platform::gl::recordedCallNames(),
            (std::vector<std::string>{
                "glCreateShader",       "glCreateShader",       "glCreateProgram",      "glShaderSource",
                "glCompileShader",      "glGetShaderiv",        "glShaderSource",       "glCompileShader",
                "glGetShaderiv",        "glAttachShader",       "glAttachShader",       "glBindAttribLocation",
                "glLinkProgram",        "glGetProgramiv",       "glDetachShader",       "glDeleteShader",
                "glDetachShader",       "glDeleteShader",       "glUseProgram",         "glGetUniformLocation",
                "glGetUniformLocation", "glGetUniformLocation", "glGetUniformLocation", "glGetUniformLocation",
                "glGetUniformLocation"}));
  const auto calls = platform::gl::recordedCalls();
  EXPECT_EQ(calls[11], (platform::gl::RecordedGLCall{"glBindAttribLocation", shader->glProgram(), "position"}));
  const GLuint program = shader->glProgram();
  draw(*shader, frameOf(4, 4, 100, 128, 128), 2, 2, 0, 0);
  const GLuint luma = shader->lumaTexture()->name(), chroma = shader->chromaTexture()->name();
  EXPECT_TRUE(glIsTexture(luma) && glIsTexture(chroma));
  platform::gl::clearRecordedCalls();
  shader.reset();
  EXPECT_FALSE(glIsTexture(luma) || glIsTexture(chroma)) << "the textures go with the shader";
  EXPECT_EQ(platform::gl::recordedCalls().back(), (platform::gl::RecordedGLCall{"glDeleteProgram", program, ""}));
}

TEST_F(ZUMGLSphericalShaderTest, AnyFailingStepFailsCreation) {
  const auto& good = ZUMGLSphericalShader::defaultSources();
  // The uniform stays declared but unused, so GL drops it and its lookup fails.
  auto without = [&](const std::string& use, const std::string& stand) {
    auto sources = good;
    const auto at = sources.fragment.find(use);
    EXPECT_NE(at, std::string::npos) << use;
    if (at != std::string::npos) sources.fragment.replace(at, use.size(), stand);
    return sources;
  };
  const struct {
    const char* name;
    ZUMGLSphericalShader::Sources sources;
    const char* error;  // of ZUMCreateGLProgram; nullptr: a uniform is missing
  } rows[] = {
      {"vertex does not compile",
       {"void main() { nonsense; }", good.fragment},
       "Failed compiling shader source: void main() { nonsense; } type 35633"},
      {"fragment does not compile",
       {good.vertex, "void main() { nonsense; }"},
       "Failed compiling shader source: void main() { nonsense; } type 35632"},
      {"varying missing",
       {"attribute vec3 position; void main() { gl_Position = vec4(position, 1.0); }", good.fragment},
       "Failed linking OpenGL program with created vertex and fragment shaders."},
      {"SamplerY", without("texture2D(SamplerY, uv).r", "0.5"), nullptr},
      {"SamplerUV", without("texture2D(SamplerUV, uv).rg", "vec2(0.5)"), nullptr},
      {"colorConversionMatrix", without("colorConversionMatrix * yuv", "yuv"), nullptr},
      {"uFOVx", without("tan(uFOVx)", "1.0"), nullptr},
      {"uFOVy", without("tan(uFOVy)", "1.0"), nullptr},
      {"uVMat", without("(uVMat * vec4(ray, 1.0)).xyz", "ray"), nullptr},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    platform::gl::clearRecordedCalls();
    EXPECT_EQ(ZUMGLSphericalShader::create(0.2, 0.2, row.sources), nullptr);
    GLuint program = 0;
    platform::ErrorPtr error;
    EXPECT_EQ(ZUMCreateGLProgram(row.sources.vertex, row.sources.fragment, {}, &program, &error), row.error == nullptr);
    if (row.error) {
      ASSERT_TRUE(error);
      EXPECT_EQ(error->code(), 11);
      EXPECT_EQ(error->localizedDescription(), row.error);
      EXPECT_EQ(program, 0u);
    } else {
      platform::gl::deleteProgram(program);
    }
    // Every shader made is deleted, and every failed program.
    const auto names = platform::gl::recordedCallNames();
    EXPECT_EQ(std::count(names.begin(), names.end(), "glDeleteShader"), 4);
    EXPECT_EQ(std::count(names.begin(), names.end(), "glDeleteProgram"), 2);
  }
  platform::ErrorPtr error;
  EXPECT_FALSE(ZUMCreateGLProgram(good.vertex, good.fragment, {}, nullptr, &error));
  ASSERT_TRUE(error);
  EXPECT_EQ(error->localizedDescription(), "Couldn't create OpenGL program as the output program pointer is empty.");
  EXPECT_FALSE(ZUMCreateGLProgram(good.vertex, good.fragment, {}, nullptr, nullptr));
  // A test's sources reach every later creation until they are put back.
  ZUMGLSphericalShader::setSourcesForTesting(rows[0].sources);
  EXPECT_EQ(ZUMGLSphericalShader::create(0.2, 0.2), nullptr);
  ZUMGLSphericalShader::setSourcesForTesting(std::nullopt);
  EXPECT_TRUE(ZUMGLSphericalShader::create(0.2, 0.2));
}

TEST_F(ZUMGLSphericalShaderTest, TexturesAndFieldOfViewFollowTheFrameAndViewport) {
  auto shader = made();
  const struct {
    int width, height, chromaWidth, chromaHeight;
  } frames[] = {{1920, 1080, 960, 540}, {1921, 1081, 961, 541}, {1, 1, 1, 1}};
  for (const auto& f : frames) {
    SCOPED_TRACE(f.width);
    draw(*shader, frameOf(f.width, f.height, 100, 128, 128), 4, 4, 0, 0);
    ASSERT_TRUE(shader->lumaTexture() && shader->chromaTexture());
    EXPECT_EQ(shader->lumaTexture()->width(), f.width);
    EXPECT_EQ(shader->lumaTexture()->height(), f.height);
    EXPECT_EQ(shader->chromaTexture()->width(), f.chromaWidth);
    EXPECT_EQ(shader->chromaTexture()->height(), f.chromaHeight);
  }
  const struct {
    int width, height;
    double fovX, fovY;  // degrees
  } viewports[] = {{400, 300, 50, 41.7908}, {300, 400, 41.7908, 50}, {300, 300, 50, 50}, {1, 1000, 0.0683, 50}};
  for (const auto& v : viewports) {
    SCOPED_TRACE(v.width);
    draw(*shader, nullptr, v.width, v.height, 0, 0);  // the last frame's textures, drawn again
    GLfloat fovX = 0, fovY = 0;
    glGetUniformfv(shader->glProgram(), glGetUniformLocation(shader->glProgram(), "uFOVx"), &fovX);
    glGetUniformfv(shader->glProgram(), glGetUniformLocation(shader->glProgram(), "uFOVy"), &fovY);
    EXPECT_NEAR(fovX / kDegree, v.fovX, 1e-3);
    EXPECT_NEAR(fovY / kDegree, v.fovY, 1e-3);
  }
}

TEST_F(ZUMGLSphericalShaderTest, DrawsVideoRangeColoursThroughTheFramesMatrix) {
  auto shader = made();
  const struct {
    const char* name;
    const char* matrix;
    bool bt601;
    int y, cb, cr;
  } rows[] = {
      {"601 black", platform::kYCbCrMatrixITU_R_601_4, true, 16, 128, 128},
      {"601 white", platform::kYCbCrMatrixITU_R_601_4, true, 235, 128, 128},
      {"601 grey", platform::kYCbCrMatrixITU_R_601_4, true, 126, 128, 128},
      {"601 red", platform::kYCbCrMatrixITU_R_601_4, true, 81, 90, 240},
      {"709 black", platform::kYCbCrMatrixITU_R_709_2, false, 16, 128, 128},
      {"709 white", platform::kYCbCrMatrixITU_R_709_2, false, 235, 128, 128},
      {"709 grey", platform::kYCbCrMatrixITU_R_709_2, false, 126, 128, 128},
      {"709 red", platform::kYCbCrMatrixITU_R_709_2, false, 63, 102, 240},
      {"untagged: 709", "", false, 63, 102, 240},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    const RGB got = draw(*shader, frameOf(64, 32, row.y, row.cb, row.cr, row.matrix), 9, 9, 4, 4);
    const RGB want = expected(row.bt601, row.y, row.cb, row.cr);
    EXPECT_NEAR(got.r, want.r, 2);
    EXPECT_NEAR(got.g, want.g, 2);
    EXPECT_NEAR(got.b, want.b, 2);
  }
  // Before any frame nothing is drawn; a viewport without area draws nothing either.
  auto fresh = made();
  EXPECT_EQ(draw(*fresh, nullptr, 3, 3, 1, 1).r, 0);
  draw(*fresh, frameOf(8, 8, 235, 128, 128), 3, 3, 1, 1);
  view = platform::GLView::create(platform::Rect(0, 0, 3, 3), context);
  ASSERT_TRUE(view->bindDrawable());
  glClear(GL_COLOR_BUFFER_BIT);
  for (const auto& empty : {platform::Rect(0, 0, 0, 3), platform::Rect(0, 0, 3, kNaN)}) {
    fresh->displayPixelBuffer(nullptr, empty);
    std::uint8_t pixel[4] = {};
    glReadPixels(1, 1, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, pixel);
    EXPECT_EQ(pixel[0], 0);
  }
}

TEST_F(ZUMGLSphericalShaderTest, WithoutDeviceMotionPansChangeTheRotationsButNotTheView) {
  auto shader = made();
  shader->startMotionTracking();
  EXPECT_FALSE(shader->isTrackingMotion());
  const auto rxMinus90 = ZUMGLMatrix4::rotationX(-90 * kDegree);
  expectNear(shader->deviceRotationMatrix(), rxMinus90);
  shader->handleUserTouchMovedByVector(10, 5);
  expectNear(shader->externalRollRotation(), ZUMGLMatrix4::rotationY(2 * kDegree));
  expectNear(shader->externalPitchRotation(), ZUMGLMatrix4::rotationX(1 * kDegree));
  expectNear(shader->deviceRotationMatrix(), rxMinus90);
  // Movements that are not numbers change nothing.
  shader->handleUserTouchMovedByVector(kNaN, std::numeric_limits<double>::infinity());
  expectNear(shader->externalRollRotation(), ZUMGLMatrix4::rotationY(2 * kDegree));
  expectNear(shader->externalPitchRotation(), ZUMGLMatrix4::rotationX(1 * kDegree));
}

TEST_F(ZUMGLSphericalShaderTest, ADragTurnsTheViewAboutTheVerticalAxis) {
  withMotion(lookingAhead());
  ZUMApplication::sharedInstance()->setForcedInterfaceOrientation(platform::kInterfaceOrientationPortrait);
  auto shader = made();
  shader->startMotionTracking();
  ASSERT_TRUE(shader->isTrackingMotion());
  expectNear(shader->deviceRotationMatrix(), ZUMGLMatrix4::identity());
  // 360 columns: one per degree. The centre ray falls between the two middle columns.
  const auto frame = frameOf(360, 180, 0, 128, 128, platform::kYCbCrMatrixITU_R_709_2, true);
  auto column = [&](double c) { return std::clamp(16 + (c - 180 + 10) * 10, 16.0, 235.0); };
  const RGB ahead = draw(*shader, frame, 101, 101, 50, 50);
  EXPECT_NEAR(ahead.g, expected(false, (column(179) + column(180)) / 2, 128, 128).g, 2);
  shader->handleUserTouchMovedByVector(10, 0);  // 10 points x 0.2 degrees
  expectNear(shader->deviceRotationMatrix(), ZUMGLMatrix4::rotationY(2 * kDegree));
  const RGB turned = draw(*shader, nullptr, 101, 101, 50, 50);
  EXPECT_NEAR(turned.g, expected(false, (column(177) + column(178)) / 2, 128, 128).g, 2);
  EXPECT_LT(turned.g + 15, ahead.g);
  shader->stopMotionTracking();
  EXPECT_FALSE(shader->isTrackingMotion());
  expectNear(shader->deviceRotationMatrix(), ZUMGLMatrix4::rotationX(-90 * kDegree));
}

TEST_F(ZUMGLSphericalShaderTest, OrientationsTurnTheViewByTheirNumbers) {
  withMotion({});
  const auto base = ZUMGLMatrix4::rotationX(90 * kDegree);
  const struct {
    platform::InterfaceOrientation orientation;
    double offset, turn;  // degrees
  } rows[] = {{1, 0, 0}, {2, 0, -180}, {3, 270, -270}, {4, 90, -90}};
  for (const auto& row : rows) {
    SCOPED_TRACE(row.orientation);
    ZUMApplication::sharedInstance()->setForcedInterfaceOrientation(row.orientation);
    auto shader = made();
    shader->startMotionTracking();
    const auto c = ZUMGLMatrix4::rotationZ(row.turn * kDegree) * base * ZUMGLMatrix4::rotationY(row.offset * kDegree);
    expectNear(shader->deviceRotationMatrix(), c.transposed());
    EXPECT_EQ(shader->lastApplicationOrientation(), row.orientation);
    // The offset stays that of the first frame; the turn follows the orientation.
    ZUMApplication::sharedInstance()->setForcedInterfaceOrientation(platform::kInterfaceOrientationPortrait);
    expectNear(shader->deviceRotationMatrix(), (base * ZUMGLMatrix4::rotationY(row.offset * kDegree)).transposed());
  }
  // An unknown orientation fixes no offset, so the first known one does.
  ZUMApplication::sharedInstance()->setForcedInterfaceOrientation(7);
  auto shader = made();
  shader->startMotionTracking();
  expectNear(shader->deviceRotationMatrix(), base.transposed());
  ZUMApplication::sharedInstance()->setForcedInterfaceOrientation(4);
  expectNear(shader->deviceRotationMatrix(),
             (ZUMGLMatrix4::rotationZ(-90 * kDegree) * base * ZUMGLMatrix4::rotationY(90 * kDegree)).transposed());
}

TEST_F(ZUMGLSphericalShaderTest, UntrustedSettingsAndReadingsKeepTheViewARotation) {
  withMotion({{{{0.3, 0.9, 0.1}, {-2, 0.5, 7}, {1e300, 0, -1e300}}}});
  ZUMApplication::sharedInstance()->setForcedInterfaceOrientation(platform::kInterfaceOrientationLandscapeLeft);
  auto shader = made(kNaN, std::numeric_limits<double>::infinity());
  EXPECT_EQ(shader->externalPitchMultiplier(), 0.2);
  EXPECT_EQ(shader->externalRollMultiplier(), 0.2);
  shader->startMotionTracking();
  for (int i = 0; i < 10000; ++i) shader->handleUserTouchMovedByVector(7.3 + i % 5, -3.1 * (i % 3));
  EXPECT_TRUE(shader->deviceRotationMatrix().isOrthonormal(1e-4));
  EXPECT_TRUE(shader->externalRollRotation().isOrthonormal(1e-9));
  // Huge multipliers still give finite rotations; a sensor reading of zeros is no direction.
  auto huge = made(1e300, -1e300);
  huge->startMotionTracking();
  huge->handleUserTouchMovedByVector(1e300, 3);
  EXPECT_TRUE(huge->deviceRotationMatrix().isOrthonormal(1e-9));
  ASSERT_TRUE(platform::MotionManager::setAttitudeRotationMatrix({{{{0, 0, 0}, {0, 0, 0}, {0, 0, 0}}}}));
  const auto landscape = ZUMGLMatrix4::rotationZ(-90 * kDegree) * ZUMGLMatrix4::rotationX(90 * kDegree) *
                         ZUMGLMatrix4::rotationY(90 * kDegree);
  expectNear(huge->deviceRotationMatrix(),
             huge->externalRollRotation() * landscape.transposed() * huge->externalPitchRotation());
}

TEST_F(ZUMGLSphericalShaderTest, EachPixelLooksAlongItsRay) {
  withMotion(lookingAhead());
  ZUMApplication::sharedInstance()->setForcedInterfaceOrientation(platform::kInterfaceOrientationPortrait);
  auto shader = made();
  shader->startMotionTracking();
  // Luma climbs one step per column (horizontal) or per row, so a pixel's grey tells the
  // frame coordinate its ray reached: (u x 180 - 0.5) texels from the first.
  auto ramp = [](bool horizontal) {
    auto frame = std::make_shared<platform::PixelBuffer>(180, 180, false, platform::kYCbCrMatrixITU_R_709_2);
    for (int row = 0; row < 180; ++row) {
      for (int x = 0; x < 180; ++x)
        frame->mutableBaseAddressOfPlane(0)[row * 180 + x] = static_cast<std::uint8_t>(16 + (horizontal ? x : row));
    }
    std::fill_n(frame->mutableBaseAddressOfPlane(1), 90 * 90 * 2, 128);
    return frame;
  };
  const int w = 101, h = 61;
  const auto [fovX, fovY] = ZUMGLSphericalShader::fieldOfView(w, h);
  for (bool horizontal : {true, false}) {
    const auto frame = ramp(horizontal);
    for (const auto& [x, y] : {std::pair{0, 0}, {100, 60}, {50, 30}, {100, 0}, {0, 60}, {20, 45}}) {
      SCOPED_TRACE(std::to_string(horizontal) + " " + std::to_string(x) + "," + std::to_string(y));
      const double ndcX = (x + 0.5) / w * 2 - 1, ndcY = (y + 0.5) / h * 2 - 1;
      const double rx = ndcX * std::tan(fovX), ry = ndcY * std::tan(fovY);
      const double u = 0.5 + std::atan2(rx, 1.0) / (2 * std::numbers::pi);
      const double v = std::acos(ry / std::sqrt(rx * rx + ry * ry + 1)) / std::numbers::pi;
      const double texel = std::clamp((horizontal ? u : v) * 180 - 0.5, 0.0, 179.0);
      EXPECT_NEAR(draw(*shader, frame, w, h, x, y).g, expected(false, 16 + texel, 128, 128).g, 2);
    }
  }
}

TEST_F(ZUMGLSphericalShaderTest, AnyAttitudeIsUsedAsTheRotationItIs) {
  ZUMApplication::sharedInstance()->setForcedInterfaceOrientation(platform::kInterfaceOrientationPortrait);
  const auto r = ZUMGLMatrix4::rotationZ(0.35) * ZUMGLMatrix4::rotationY(0.52) * ZUMGLMatrix4::rotationX(0.7);
  for (double scale : {1.0, 3.5, 1e-3}) {
    SCOPED_TRACE(scale);
    platform::RotationMatrix attitude;
    for (int row = 0; row < 3; ++row) {
      for (int column = 0; column < 3; ++column) attitude.m[row][column] = scale * r.at(row, column);
    }
    withMotion(attitude);
    auto shader = made();
    shader->startMotionTracking();
    expectNear(shader->deviceRotationMatrix(), (r * ZUMGLMatrix4::rotationX(90 * kDegree)).transposed(), 1e-9);
  }
}

TEST_F(ZUMGLSphericalShaderTest, OrthonormalMeansFiniteUnitColumnsAtRightAngles) {
  auto with = [](int row, int column, double value, ZUMGLMatrix4 m = ZUMGLMatrix4::rotationY(0.3)) {
    m.at(row, column) = value;
    return m;
  };
  auto sheared = ZUMGLMatrix4::identity();
  sheared.at(0, 1) = 0.1;
  const struct {
    const char* name;
    ZUMGLMatrix4 matrix;
    bool orthonormal;
  } rows[] = {
      {"identity", ZUMGLMatrix4::identity(), true},
      {"rotation", ZUMGLMatrix4::rotationZ(1) * ZUMGLMatrix4::rotationX(2), true},
      {"first column long", with(0, 0, 2 * std::cos(0.3)), false},
      {"last column long", with(2, 2, 2), false},
      {"columns not at right angles", sheared, false},
      {"not a number outside the rotation", with(3, 3, kNaN), false},
      {"infinite", with(3, 0, std::numeric_limits<double>::infinity()), false},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(row.matrix.isOrthonormal(1e-6), row.orthonormal) << row.name;
  }
  const auto t = (ZUMGLMatrix4::rotationZ(0.2) * ZUMGLMatrix4::rotationX(0.4)).transposed();
  expectNear(t * ZUMGLMatrix4::rotationZ(0.2) * ZUMGLMatrix4::rotationX(0.4), ZUMGLMatrix4::identity(), 1e-12);
}

}  // namespace
