// Draws one frame of an equirectangular 360-degree video as seen from the centre of the
// sphere: a full-screen quad whose fragment shader casts a ray per pixel, turns it by the
// view matrix and looks the direction up in the frame's two planes (luma and interleaved
// chroma, converted with the frame's BT.601 or BT.709 matrix after taking away the video
// range's luma offset). The view matrix follows the device's attitude when device motion
// is available, turned for the application's orientation, and the touch rotations the
// user's pans add.
//
// Made, used and dropped on one render thread, where its GL context is current; the
// application's orientation is read on the main thread and handed over atomically.
#pragma once

#include <atomic>
#include <memory>
#include <optional>
#include <string>

#include <GLES2/gl2.h>

#include "platform/ui/Geometry.h"
#include "platform/ui/InterfaceOrientation.h"
#include "sdk/video/ZUMGLMatrix.h"

namespace platform {
class GLTexture;
class GLTextureCache;
class MotionManager;
class PixelBuffer;
}  // namespace platform

class ZUMGLSphericalShader {
 public:
  // Degrees per point of touch movement, when the settings give none usable.
  static constexpr double kDefaultTouchMultiplier = 0.2;
  // The field of view from the centre to the edge of the longer side: 50 degrees.
  static constexpr double kHalfFieldOfView = 0.87266463;
  // Luma of video-range black, taken away before the colour matrix.
  static constexpr double kVideoRangeLumaOffset = 16.0 / 255.0;

  struct Sources {
    std::string vertex, fragment;
  };
  static const Sources& defaultSources();

  // nullptr when the program, a uniform or the texture cache cannot be made (logged).
  // Multipliers that are not finite give kDefaultTouchMultiplier.
  static std::shared_ptr<ZUMGLSphericalShader> create(double touchPitchMultiplier, double touchRollMultiplier,
                                                      const Sources& sources = defaultSources());
  ~ZUMGLSphericalShader();
  ZUMGLSphericalShader(const ZUMGLSphericalShader&) = delete;
  ZUMGLSphericalShader& operator=(const ZUMGLSphericalShader&) = delete;

  // Tests: every later create() uses `sources` (nullopt: the default ones). The test
  // environment puts the default back.
  static void setSourcesForTesting(std::optional<Sources> sources);

  // Uploads `frame` (when given; otherwise the textures of the last frame are drawn
  // again) and draws it into `viewport`, in pixels. Nothing is drawn before the first
  // frame or into a viewport without area.
  void displayPixelBuffer(const std::shared_ptr<const platform::PixelBuffer>& frame, const platform::Rect& viewport);

  // A pan by (dx, dy) points: dx turns the view about the vertical axis, dy about the
  // horizontal one. Movements that are not finite are ignored.
  void handleUserTouchMovedByVector(double dx, double dy);

  // The view matrix: the attitude (identity without device motion) turned by Rx(90
  // degrees), transposed; with device motion also turned for the orientation and wrapped
  // in the touch rotations. Always finite and a rotation.
  ZUMGLMatrix4 deviceRotationMatrix();

  void startMotionTracking();
  void stopMotionTracking();
  bool isTrackingMotion() const { return motionManager_ != nullptr; }

  // Asks the main thread for the top view controller's orientation (stored when read).
  void updateApplicationOrientation();
  platform::InterfaceOrientation lastApplicationOrientation() const { return lastApplicationOrientation_->load(); }
  void setLastApplicationOrientation(platform::InterfaceOrientation orientation) {
    lastApplicationOrientation_->store(orientation);
  }

  // The horizontal and vertical half-angles (radians) for a viewport of w x h pixels:
  // the longer side spans kHalfFieldOfView.
  static std::pair<double, double> fieldOfView(double width, double height);

  GLuint glProgram() const { return program_; }
  const ZUMGLMatrix4& externalPitchRotation() const { return externalPitchRotation_; }
  const ZUMGLMatrix4& externalRollRotation() const { return externalRollRotation_; }
  double externalPitchMultiplier() const { return externalPitchMultiplier_; }
  double externalRollMultiplier() const { return externalRollMultiplier_; }
  const std::shared_ptr<platform::GLTexture>& lumaTexture() const { return lumaTexture_; }
  const std::shared_ptr<platform::GLTexture>& chromaTexture() const { return chromaTexture_; }

 private:
  ZUMGLSphericalShader(double touchPitchMultiplier, double touchRollMultiplier);
  [[nodiscard]] bool setUpOpenGL(const Sources& sources);
  void destroyOpenGLProgram();
  void cleanupTextures();
  [[nodiscard]] bool uploadFrame(const platform::PixelBuffer& frame);
  std::shared_ptr<platform::GLTexture> createTexture(const platform::PixelBuffer& frame, int plane, GLenum format,
                                                     int width, int height);
  ZUMGLMatrix4 attitude() const;
  // Turns `c` for the orientation (fixing the offset on the first such frame).
  ZUMGLMatrix4 orientedForApplication(ZUMGLMatrix4 c);

  GLuint program_ = 0;
  GLint uniformColorConversionMatrix_ = -1, uniformFOVx_ = -1, uniformFOVy_ = -1, uniformVMat_ = -1;
  std::shared_ptr<platform::GLTextureCache> videoTextureCache_;
  std::shared_ptr<platform::GLTexture> lumaTexture_, chromaTexture_;
  std::shared_ptr<platform::MotionManager> motionManager_;
  // The touch rotations, kept as their accumulated angles (radians, within one turn) so
  // that no number of pans lets rounding pull the matrices away from rotations.
  double pitchAngle_ = 0, rollAngle_ = 0;
  ZUMGLMatrix4 externalPitchRotation_, externalRollRotation_;
  double externalPitchMultiplier_, externalRollMultiplier_;
  // Shared with the main-thread block that reads the orientation, which may outlive us.
  std::shared_ptr<std::atomic<platform::InterfaceOrientation>> lastApplicationOrientation_ =
      std::make_shared<std::atomic<platform::InterfaceOrientation>>(platform::kInterfaceOrientationUnknown);
  ZUMGLMatrix4 orientationOffsetRotationY_;
  bool firstRenderingOrientationHandled_ = false;
};
