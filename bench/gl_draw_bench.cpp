// One video frame drawn per iteration on Mesa's software rasterizer: a 1920 x 1080 NV12
// frame's two planes uploaded as textures, then drawn into a 1280 x 720 drawable either
// by the SDK's spherical shader (a ray per pixel looked up in the equirectangular frame,
// as the 360-degree view draws) or as a flat blit through the same colour matrix.
// Both run in one process, so their ratio is the cost of the spherical look-up. Each is
// repeated (see BenchSpread.h) and reported as min/median/max of the repetitions.
#include <cmath>
#include <memory>
#include <string>

#include <GLES2/gl2.h>
#include <GLES2/gl2ext.h>
#include <benchmark/benchmark.h>

#include "BenchSpread.h"
#include "platform/base/RunLoop.h"
#include "platform/gl/GLContext.h"
#include "platform/gl/GLProgramCalls.h"
#include "platform/gl/GLTexture.h"
#include "platform/gl/GLTextureCache.h"
#include "platform/gl/GLView.h"
#include "platform/media/PixelBuffer.h"
#include "sdk/video/ZUMCreateGLProgram.h"
#include "sdk/video/ZUMGLSphericalShader.h"

namespace {

using namespace platform;

const char* kQuadVertex = R"(
attribute vec3 position;
varying vec3 pos;
void main() {
  gl_Position = vec4(position, 1.0);
  pos = position;
})";

const char* kFlatFragment = R"(
precision highp float;
varying vec3 pos;
uniform sampler2D SamplerY;
uniform sampler2D SamplerUV;
uniform mat3 colorConversionMatrix;
void main() {
  vec2 uv = vec2(pos.x * 0.5 + 0.5, 0.5 - pos.y * 0.5);
  vec3 yuv = vec3(texture2D(SamplerY, uv).r, texture2D(SamplerUV, uv).rg - vec2(0.5, 0.5));
  gl_FragColor = vec4(colorConversionMatrix * yuv, 1.0);
})";

const GLfloat kBT709[9] = {1.164f, 1.164f, 1.164f, 0.0f, -0.213f, 2.112f, 1.793f, -0.533f, 0.0f};
const GLfloat kQuad[12] = {-1, -1, 0, 1, -1, 0, -1, 1, 0, 1, 1, 0};

// The flat program, made as the SDK makes its own.
GLuint link(const char* fragment) {
  GLuint program = 0;
  return ZUMCreateGLProgram(kQuadVertex, fragment, {{0, "position"}}, &program, nullptr) ? program : 0;
}

struct Rig {
  std::shared_ptr<GLContext> context = GLContext::create();
  std::shared_ptr<GLView> view = GLView::create(Rect(0, 0, 1280, 720), context);
  std::shared_ptr<GLTextureCache> cache = GLTextureCache::create(context);
  std::shared_ptr<PixelBuffer> frame = std::make_shared<PixelBuffer>(1920, 1080, false, kYCbCrMatrixITU_R_709_2);
  std::unique_ptr<GLContextScope> scope;

  Rig() {
    for (int i = 0; i < 1920 * 1080; ++i) frame->mutableBaseAddressOfPlane(0)[i] = static_cast<std::uint8_t>(i * 7);
    for (int i = 0; i < 960 * 540 * 2; ++i) frame->mutableBaseAddressOfPlane(1)[i] = static_cast<std::uint8_t>(i * 13);
    scope = std::make_unique<GLContextScope>(context);
  }

  bool ready() const { return context && cache && scope->isCurrent(); }

  // One frame: both planes uploaded, drawn with `program`, finished.
  void drawFrame(GLuint program) {
    if (!view->bindDrawable()) return;
    auto luma =
        cache->createTextureFromImage(*frame, GL_TEXTURE_2D, GL_RED_EXT, 1920, 1080, GL_RED_EXT, GL_UNSIGNED_BYTE, 0);
    auto chroma =
        cache->createTextureFromImage(*frame, GL_TEXTURE_2D, GL_RG_EXT, 960, 540, GL_RG_EXT, GL_UNSIGNED_BYTE, 1);
    if (!luma || !chroma) return;
    glUseProgram(program);
    const GLuint textures[2] = {luma->name(), chroma->name()};
    for (int unit = 0; unit < 2; ++unit) {
      glActiveTexture(GL_TEXTURE0 + unit);
      glBindTexture(GL_TEXTURE_2D, textures[unit]);
      glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
      glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
      glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
      glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    }
    glUniform1i(glGetUniformLocation(program, "SamplerY"), 0);
    glUniform1i(glGetUniformLocation(program, "SamplerUV"), 1);
    glUniformMatrix3fv(glGetUniformLocation(program, "colorConversionMatrix"), 1, GL_FALSE, kBT709);
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    glEnableVertexAttribArray(0);
    glVertexAttribPointer(0, 3, GL_FLOAT, GL_FALSE, 0, kQuad);
    glDrawArrays(GL_TRIANGLE_STRIP, 0, 4);
    glFinish();
    luma.reset();
    chroma.reset();
    cache->flush();
  }
};

void BM_SphericalDraw1080pInto720p(benchmark::State& state) {
  // The shader reads the application's orientation on the main thread: this one.
  platform::bindMainThread();
  Rig rig;
  auto shader = rig.ready() ? ZUMGLSphericalShader::create(0.2, 0.2) : nullptr;
  if (!shader) {
    state.SkipWithError("no GL context or shader");
    return;
  }
  for (auto _ : state) {
    if (!rig.view->bindDrawable()) break;
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    shader->displayPixelBuffer(rig.frame, Rect(0, 0, 1280, 720));
    glFinish();
  }
  // Proof that the frame was drawn: the centre pixel's brightness, never the clear colour's 0.
  std::uint8_t pixel[4] = {};
  glReadPixels(640, 360, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, pixel);
  state.counters["centre"] = pixel[0] + pixel[1] + pixel[2];
}

void BM_FlatBlit1080pInto720p(benchmark::State& state) {
  Rig rig;
  const GLuint program = rig.ready() ? link(kFlatFragment) : 0;
  if (!program) {
    state.SkipWithError("no GL context or program");
    return;
  }
  for (auto _ : state) rig.drawFrame(program);
  gl::deleteProgram(program);
}

BENCHMARK(BM_SphericalDraw1080pInto720p)
    ->Apply(morvanebench::withSpread)
    ->ReportAggregatesOnly(true)
    ->Unit(benchmark::kMillisecond)
    ->MinTime(0.5);
BENCHMARK(BM_FlatBlit1080pInto720p)
    ->Apply(morvanebench::withSpread)
    ->ReportAggregatesOnly(true)
    ->Unit(benchmark::kMillisecond)
    ->MinTime(0.5);

}  // namespace

BENCHMARK_MAIN();
