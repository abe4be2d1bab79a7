// The spherical shader's view matrix under hostile settings and readings. The input is
// "name=value" lines, in order: "pitch=" and "roll=" give the touch multipliers (read
// before the first other line), "attitude=" nine numbers of the sensor's matrix, row by
// row, "orientation=" the application's orientation, "motion=" 0 or 1 for whether device
// motion is available, and "pan=" a movement "dx dy". Numbers are read as strtod reads
// them, so "nan", "inf" and "1e308" reach the shader. After every line the view matrix
// is finite and a rotation (orthonormal within 1e-4); touch rotations always are.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz/FuzzEnvironment.h"
#include "platform/gl/GLContext.h"
#include "platform/ui/MotionManager.h"
#include "sdk/foundation/ZUMApplication.h"
#include "sdk/video/ZUMGLSphericalShader.h"

namespace {

std::vector<double> numbers(const std::string& text) {
  std::vector<double> values;
  const char* at = text.c_str();
  while (*at) {
    char* end = nullptr;
    const double value = std::strtod(at, &end);
    if (end == at) {
      ++at;
      continue;
    }
    values.push_back(value);
    at = end;
  }
  return values;
}

double first(const std::string& text, double fallback) {
  const auto values = numbers(text);
  return values.empty() ? fallback : values.front();
}

void checkView(ZUMGLSphericalShader& shader) {
  fuzzenv::check(shader.deviceRotationMatrix().isOrthonormal(1e-4));
  fuzzenv::check(shader.externalPitchRotation().isOrthonormal(1e-9));
  fuzzenv::check(shader.externalRollRotation().isOrthonormal(1e-9));
}

void apply(ZUMGLSphericalShader& shader, const std::string& name, const std::string& value) {
  if (name == "attitude") {
    const auto v = numbers(value);
    platform::RotationMatrix matrix;
    for (std::size_t i = 0; i < v.size() && i < 9; ++i) matrix.m[i / 3][i % 3] = v[i];
    static_cast<void>(platform::MotionManager::setAttitudeRotationMatrix(matrix));  // non-finite: refused
  } else if (name == "orientation") {
    const double o = first(value, 1);
    ZUMApplication::sharedInstance()->setForcedInterfaceOrientation(o > -1e9 && o < 1e9 ? static_cast<std::int64_t>(o)
                                                                                        : 0);
  } else if (name == "motion") {
    platform::MotionManager::setDeviceMotionAvailable(first(value, 0) != 0);
    shader.stopMotionTracking();
    shader.startMotionTracking();
  } else if (name == "pan") {
    const auto v = numbers(value);
    shader.handleUserTouchMovedByVector(v.empty() ? 0 : v[0], v.size() < 2 ? 0 : v[1]);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzzenv::setUpOnce("spherical-view-fuzzer");
  // Never destroyed: the thread's current context is gone by the time statics would be.
  static const auto* scope = new platform::GLContextScope(platform::GLContext::create());
  if (!scope->isCurrent()) return 0;

  const auto lines = fuzzenv::pairsFromLines(std::string_view(reinterpret_cast<const char*>(data), size), '=', true);
  double pitch = 0.2, roll = 0.2;
  std::size_t index = 0;
  for (; index < lines.size() && (lines[index].first == "pitch" || lines[index].first == "roll"); ++index) {
    (lines[index].first == "pitch" ? pitch : roll) = first(std::string(lines[index].second), 0.2);
  }
  platform::MotionManager::setDeviceMotionAvailable(true);
  static_cast<void>(platform::MotionManager::setAttitudeRotationMatrix({}));
  ZUMApplication::sharedInstance()->setForcedInterfaceOrientation(1);
  auto shader = ZUMGLSphericalShader::create(pitch, roll);
  if (!shader) return 0;
  shader->startMotionTracking();
  checkView(*shader);
  for (; index < lines.size(); ++index) {
    apply(*shader, std::string(lines[index].first), std::string(lines[index].second));
    checkView(*shader);
  }
  fuzzenv::drainMainLoop();
  return 0;
}
