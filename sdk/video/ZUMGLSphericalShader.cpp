#include "sdk/video/ZUMGLSphericalShader.h"

#include <cmath>
#include <mutex>
#include <numbers>

#include <GLES2/gl2ext.h>

#include "platform/base/TestingReset.h"
#include "platform/gl/GLContext.h"
#include "platform/gl/GLProgramCalls.h"
#include "platform/gl/GLTexture.h"
#include "platform/gl/GLTextureCache.h"
#include "platform/media/PixelBuffer.h"
#include "platform/ui/MotionManager.h"
#include "sdk/foundation/ZUMApplication.h"
#include "sdk/foundation/ZUMLogger.h"
#include "sdk/foundation/ZUMThreading.h"
#include "sdk/video/ZUMCreateGLProgram.h"

namespace {

constexpr double kRadiansPerDegree = 0.017453292519943295;
// tan(50 degrees).
constexpr double kTanHalfFieldOfView = 1.191753603281887;
constexpr double kFullTurn = 2 * std::numbers::pi;

const char* const kVertexSource = R"(attribute vec3 position;
varying vec3 pos;
void main() {
  gl_Position = vec4(position, 1.0);
  pos = position;
})";

// The luma offset is taken away before the matrix, which is made for video-range values.
const char* const kFragmentSource = R"(#define INV_PI 0.31830988618379
precision highp float;
varying vec3 pos;
uniform sampler2D SamplerY;
uniform sampler2D SamplerUV;
uniform mat3 colorConversionMatrix;
uniform float uFOVx;
uniform float uFOVy;
uniform highp mat4 uVMat;
void main() {
  vec3 ray = vec3(pos.x * tan(uFOVx), pos.y * tan(uFOVy), -1.0);
  ray = normalize((uVMat * vec4(ray, 1.0)).xyz);
  vec2 uv = vec2(0.5 + atan(ray.x, -ray.z) * INV_PI * 0.5, acos(ray.y) * INV_PI);
  vec3 yuv;
  yuv.x = texture2D(SamplerY, uv).r - 0.0627450980392157;
  yuv.yz = texture2D(SamplerUV, uv).rg - vec2(0.5, 0.5);
  gl_FragColor = vec4(colorConversionMatrix * yuv, 1.0);
})";

// Column-major, as uploaded.
const GLfloat kBT601[9] = {1.164f, 1.164f, 1.164f, 0.0f, -0.392f, 2.017f, 1.596f, -0.813f, 0.0f};
const GLfloat kBT709[9] = {1.164f, 1.164f, 1.164f, 0.0f, -0.213f, 2.112f, 1.793f, -0.533f, 0.0f};
const GLfloat kQuad[12] = {-1, -1, 0, 1, -1, 0, -1, 1, 0, 1, 1, 0};
constexpr GLuint kPositionAttribute = 0;

struct SourcesOverride {
  std::mutex mutex;
  std::optional<ZUMGLSphericalShader::Sources> sources;
};

SourcesOverride& sourcesOverride() {
  static auto* override = [] {
    auto* made = new SourcesOverride;
    platform::registerTestingReset(made, [made] {
      std::lock_guard lock(made->mutex);
      made->sources.reset();
    });
    return made;
  }();
  return *override;
}

double usableMultiplier(double multiplier) {
  return std::isfinite(multiplier) ? multiplier : ZUMGLSphericalShader::kDefaultTouchMultiplier;
}

// `angle` + `delta` within one turn; a delta that is not finite changes nothing.
double accumulated(double angle, double delta) {
  if (!std::isfinite(delta)) return angle;
  return std::fmod(angle + std::fmod(delta, kFullTurn), kFullTurn);
}

// The rotation nearest in spirit to a sensor's matrix: its first two columns made unit
// and at right angles, the third their cross product. nullopt when it has no direction.
std::optional<ZUMGLMatrix4> rotationFrom(const platform::RotationMatrix& attitude) {
  double largest = 0;
  for (const auto& row : attitude.m) {
    for (double value : row) largest = std::fmax(largest, std::fabs(value));
  }
  if (!(largest > 0) || !std::isfinite(largest)) return std::nullopt;
  double c[3][3];  // c[column][row], scaled so nothing overflows
  for (int r = 0; r < 3; ++r) {
    for (int col = 0; col < 3; ++col) c[col][r] = attitude.m[r][col] / largest;
  }
  auto normalize = [](double* v) {
    const double length = std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
    if (!(length > 1e-9)) return false;
    for (int i = 0; i < 3; ++i) v[i] /= length;
    return true;
  };
  if (!normalize(c[0])) return std::nullopt;
  const double along = c[1][0] * c[0][0] + c[1][1] * c[0][1] + c[1][2] * c[0][2];
  for (int i = 0; i < 3; ++i) c[1][i] -= along * c[0][i];
  if (!normalize(c[1])) return std::nullopt;
  c[2][0] = c[0][1] * c[1][2] - c[0][2] * c[1][1];
  c[2][1] = c[0][2] * c[1][0] - c[0][0] * c[1][2];
  c[2][2] = c[0][0] * c[1][1] - c[0][1] * c[1][0];
  ZUMGLMatrix4 rotation;
  for (int r = 0; r < 3; ++r) {
    for (int col = 0; col < 3; ++col) rotation.at(r, col) = c[col][r];
  }
  return rotation;
}

}  // namespace

const ZUMGLSphericalShader::Sources& ZUMGLSphericalShader::defaultSources() {
  static const auto* sources = new Sources{kVertexSource, kFragmentSource};
  return *sources;
}

void ZUMGLSphericalShader::setSourcesForTesting(std::optional<Sources> sources) {
  auto& override = sourcesOverride();
  std::lock_guard lock(override.mutex);
  override.sources = std::move(sources);
}

std::shared_ptr<ZUMGLSphericalShader> ZUMGLSphericalShader::create(double touchPitchMultiplier,
                                                                   double touchRollMultiplier, const Sources& sources) {
  std::optional<Sources> chosen;
  {
    auto& override = sourcesOverride();
    std::lock_guard lock(override.mutex);
    chosen = override.sources;
  }
  std::shared_ptr<ZUMGLSphericalShader> shader(new ZUMGLSphericalShader(touchPitchMultiplier, touchRollMultiplier));
  if (!shader->setUpOpenGL(chosen ? *chosen : sources)) return nullptr;
  return shader;
}

ZUMGLSphericalShader::ZUMGLSphericalShader(double touchPitchMultiplier, double touchRollMultiplier)
    : externalPitchMultiplier_(usableMultiplier(touchPitchMultiplier)),
      externalRollMultiplier_(usableMultiplier(touchRollMultiplier)) {}

ZUMGLSphericalShader::~ZUMGLSphericalShader() {
  stopMotionTracking();
  cleanupTextures();
  destroyOpenGLProgram();
}

bool ZUMGLSphericalShader::setUpOpenGL(const Sources& sources) {
  destroyOpenGLProgram();
  platform::ErrorPtr error;
  if (!ZUMCreateGLProgram(sources.vertex, sources.fragment, {{kPositionAttribute, "position"}}, &program_, &error)) {
    ZUMLog(kZUMLogLevelDefault, "Spherical shader: " + (error ? error->localizedDescription() : std::string()));
    destroyOpenGLProgram();
    return false;
  }
  platform::gl::useProgram(program_);
  const GLint samplerY = platform::gl::getUniformLocation(program_, "SamplerY");
  const GLint samplerUV = platform::gl::getUniformLocation(program_, "SamplerUV");
  uniformColorConversionMatrix_ = platform::gl::getUniformLocation(program_, "colorConversionMatrix");
  uniformFOVx_ = platform::gl::getUniformLocation(program_, "uFOVx");
  uniformFOVy_ = platform::gl::getUniformLocation(program_, "uFOVy");
  uniformVMat_ = platform::gl::getUniformLocation(program_, "uVMat");
  for (GLint location :
       {samplerY, samplerUV, uniformColorConversionMatrix_, uniformFOVx_, uniformFOVy_, uniformVMat_}) {
    if (location < 0) {
      ZUMLog(kZUMLogLevelDefault, "Spherical shader: a uniform of the program is missing.");
      return false;
    }
  }
  glDisable(GL_DEPTH_TEST);
  glUniform1i(samplerY, 0);
  glUniform1i(samplerUV, 1);
  if (!videoTextureCache_) videoTextureCache_ = platform::GLTextureCache::create(platform::GLContext::currentContext());
  return videoTextureCache_ != nullptr;
}

void ZUMGLSphericalShader::destroyOpenGLProgram() {
  if (program_ == 0) return;
  platform::gl::deleteProgram(program_);
  program_ = 0;
}

void ZUMGLSphericalShader::cleanupTextures() {
  lumaTexture_.reset();
  chromaTexture_.reset();
  if (videoTextureCache_) videoTextureCache_->flush();
}

std::pair<double, double> ZUMGLSphericalShader::fieldOfView(double width, double height) {
  if (width > height) return {kHalfFieldOfView, std::atan(height * kTanHalfFieldOfView / width)};
  return {std::atan(width * kTanHalfFieldOfView / height), kHalfFieldOfView};
}

void ZUMGLSphericalShader::displayPixelBuffer(const std::shared_ptr<const platform::PixelBuffer>& frame,
                                              const platform::Rect& viewport) {
  platform::gl::useProgram(program_);
  if (frame && !uploadFrame(*frame)) cleanupTextures();
  const double w = viewport.size.width, h = viewport.size.height;
  if (!lumaTexture_ || !chromaTexture_ || !(w > 0) || !(h > 0) || !std::isfinite(w) || !std::isfinite(h)) return;
  const GLuint textures[2] = {lumaTexture_->name(), chromaTexture_->name()};
  for (int unit = 0; unit < 2; ++unit) {
    glActiveTexture(GL_TEXTURE0 + unit);
    glBindTexture(GL_TEXTURE_2D, textures[unit]);
  }
  const auto [fovX, fovY] = fieldOfView(w, h);
  glUniform1f(uniformFOVx_, static_cast<GLfloat>(fovX));
  glUniform1f(uniformFOVy_, static_cast<GLfloat>(fovY));
  const auto view = deviceRotationMatrix().floats();
  glUniformMatrix4fv(uniformVMat_, 1, GL_FALSE, view.data());
  glEnableVertexAttribArray(kPositionAttribute);
  glVertexAttribPointer(kPositionAttribute, 3, GL_FLOAT, GL_FALSE, 0, kQuad);
  glDrawArrays(GL_TRIANGLE_STRIP, 0, 4);
}

bool ZUMGLSphericalShader::uploadFrame(const platform::PixelBuffer& frame) {
  cleanupTextures();
  const bool bt601 = frame.yCbCrMatrix() == platform::kYCbCrMatrixITU_R_601_4;
  glUniformMatrix3fv(uniformColorConversionMatrix_, 1, GL_FALSE, bt601 ? kBT601 : kBT709);
  glActiveTexture(GL_TEXTURE0);
  lumaTexture_ = createTexture(frame, 0, GL_RED_EXT, frame.width(), frame.height());
  glActiveTexture(GL_TEXTURE1);
  chromaTexture_ = createTexture(frame, 1, GL_RG_EXT, (frame.width() + 1) / 2, (frame.height() + 1) / 2);
  return lumaTexture_ && chromaTexture_;
}

std::shared_ptr<platform::GLTexture> ZUMGLSphericalShader::createTexture(const platform::PixelBuffer& frame, int plane,
                                                                         GLenum format, int width, int height) {
  platform::ErrorPtr error;
  auto texture = videoTextureCache_->createTextureFromImage(frame, GL_TEXTURE_2D, static_cast<int>(format), width,
                                                            height, format, GL_UNSIGNED_BYTE, plane, &error);
  if (!texture) {
    ZUMLog(kZUMLogLevelDefault, "Spherical shader: no texture of plane " + std::to_string(plane) + ": " +
                                    (error ? error->localizedDescription() : std::string()));
    return nullptr;
  }
  glBindTexture(texture->target(), texture->name());
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
  return texture;
}

void ZUMGLSphericalShader::handleUserTouchMovedByVector(double dx, double dy) {
  updateApplicationOrientation();
  pitchAngle_ = accumulated(pitchAngle_, dy * externalPitchMultiplier_ * kRadiansPerDegree);
  rollAngle_ = accumulated(rollAngle_, dx * externalRollMultiplier_ * kRadiansPerDegree);
  externalPitchRotation_ = ZUMGLMatrix4::rotationX(pitchAngle_);
  externalRollRotation_ = ZUMGLMatrix4::rotationY(rollAngle_);
}

ZUMGLMatrix4 ZUMGLSphericalShader::attitude() const {
  const auto motion = motionManager_ ? motionManager_->deviceMotion() : std::nullopt;
  if (!motion) return ZUMGLMatrix4::identity();
  return rotationFrom(motion->attitudeRotationMatrix).value_or(ZUMGLMatrix4::identity());
}

ZUMGLMatrix4 ZUMGLSphericalShader::deviceRotationMatrix() {
  const bool motionActive = motionManager_ && motionManager_->isDeviceMotionActive();
  updateApplicationOrientation();
  ZUMGLMatrix4 c = attitude() * ZUMGLMatrix4::rotationX(90 * kRadiansPerDegree);
  if (!motionActive) {
    if (firstRenderingOrientationHandled_) c = c * orientationOffsetRotationY_;
    return c.transposed();
  }
  c = orientedForApplication(c);
  return externalRollRotation_ * c.transposed() * externalPitchRotation_;
}

ZUMGLMatrix4 ZUMGLSphericalShader::orientedForApplication(ZUMGLMatrix4 c) {
  // Numbers as the platform gives them: 3 and 4 are the two landscape orientations.
  double offsetDegrees = 0, turnDegrees = 0;
  bool known = true;
  switch (lastApplicationOrientation()) {
    case platform::kInterfaceOrientationPortrait:
      break;
    case platform::kInterfaceOrientationPortraitUpsideDown:
      turnDegrees = -180;
      break;
    case 3:
      offsetDegrees = 270, turnDegrees = -270;
      break;
    case 4:
      offsetDegrees = 90, turnDegrees = -90;
      break;
    default:
      known = false;
      break;
  }
  // The offset is fixed at the first frame drawn in a known orientation and applies from
  // that frame on.
  if (known && !firstRenderingOrientationHandled_) {
    firstRenderingOrientationHandled_ = true;
    orientationOffsetRotationY_ = ZUMGLMatrix4::rotationY(offsetDegrees * kRadiansPerDegree);
  }
  if (firstRenderingOrientationHandled_) c = c * orientationOffsetRotationY_;
  if (turnDegrees != 0) c = ZUMGLMatrix4::rotationZ(turnDegrees * kRadiansPerDegree) * c;
  return c;
}

void ZUMGLSphericalShader::startMotionTracking() {
  if (motionManager_) return;
  if (!platform::MotionManager::isDeviceMotionAvailable()) return;
  motionManager_ = platform::MotionManager::create();
  motionManager_->startDeviceMotionUpdates();
  updateApplicationOrientation();
}

void ZUMGLSphericalShader::stopMotionTracking() {
  if (!motionManager_) return;
  motionManager_->stopDeviceMotionUpdates();
  motionManager_.reset();
}

void ZUMGLSphericalShader::updateApplicationOrientation() {
  ZUMRunOnMainThread([orientation = lastApplicationOrientation_] {
    orientation->store(ZUMApplication::sharedInstance()->topViewControllerOrientation());
  });
}
