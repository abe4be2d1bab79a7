#include "platform/gl/GLTextureCache.h"

#include <vector>

#include <GLES2/gl2.h>
#include <GLES2/gl2ext.h>
#include <gtest/gtest.h>

#include "platform/gl/GLContext.h"
#include "platform/gl/GLError.h"
#include "platform/gl/GLTexture.h"
#include "platform/media/PixelBuffer.h"
#include "platform/ui/Bitmap.h"
#include "testing/TestEnvironment.h"

namespace platform {
namespace {

using GLTextureCacheTest = testenv::PlatformTest;

// A frame whose every byte tells where it lies: luma (x + 3y) mod 251, Cb x mod 241,
// Cr y mod 239.
PixelBuffer patternFrame(int width, int height) {
  PixelBuffer frame(width, height, false, kYCbCrMatrixITU_R_709_2);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) frame.mutableBaseAddressOfPlane(0)[y * width + x] = (x + 3 * y) % 251;
  }
  for (int y = 0; y < frame.heightOfPlane(1); ++y) {
    std::uint8_t* row = frame.mutableBaseAddressOfPlane(1) + y * frame.bytesPerRowOfPlane(1);
    for (int x = 0; x < frame.widthOfPlane(1); ++x) {
      row[2 * x] = x % 241;
      row[2 * x + 1] = y % 239;
    }
  }
  return frame;
}

// The texture's texels as RGBA, read through a framebuffer it is attached to.
Bitmap readBack(const GLTexture& texture) {
  GLuint framebuffer = 0;
  glGenFramebuffers(1, &framebuffer);
  glBindFramebuffer(GL_FRAMEBUFFER, framebuffer);
  glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, texture.name(), 0);
  std::vector<std::uint8_t> rgba(static_cast<std::size_t>(texture.width()) * texture.height() * 4);
  if (glCheckFramebufferStatus(GL_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE) {
    glReadPixels(0, 0, texture.width(), texture.height(), GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
  }
  glBindFramebuffer(GL_FRAMEBUFFER, 0);
  glDeleteFramebuffers(1, &framebuffer);
  return Bitmap(texture.width(), texture.height(), std::move(rgba));
}

TEST_F(GLTextureCacheTest, PlanesOfAnOddFrameBecomeTexturesOfTheirSizeAndBytes) {
  auto context = GLContext::create();
  ASSERT_NE(context, nullptr);
  GLContextScope scope(context);
  auto cache = GLTextureCache::create(context);
  ASSERT_NE(cache, nullptr);
  const PixelBuffer frame = patternFrame(1921, 1081);

  ErrorPtr error;
  auto luma = cache->createTextureFromImage(frame, GL_TEXTURE_2D, GL_RED_EXT, 1921, 1081, GL_RED_EXT, GL_UNSIGNED_BYTE,
                                            0, &error);
  auto chroma =
      cache->createTextureFromImage(frame, GL_TEXTURE_2D, GL_RG_EXT, 961, 541, GL_RG_EXT, GL_UNSIGNED_BYTE, 1, &error);
  ASSERT_NE(luma, nullptr) << error->description();
  ASSERT_NE(chroma, nullptr) << error->description();
  EXPECT_EQ(luma->width(), 1921);
  EXPECT_EQ(luma->height(), 1081);
  EXPECT_EQ(chroma->width(), 961);
  EXPECT_EQ(chroma->height(), 541);
  EXPECT_NE(luma->name(), chroma->name());

  // Rows are read back bottom-up in GL; row r of the bitmap is row r of the plane.
  const Bitmap y = readBack(*luma), uv = readBack(*chroma);
  const struct { int x, y; } points[] = {{0, 0}, {1920, 0}, {0, 1080}, {1920, 1080}, {777, 555}};
  for (const auto& p : points) {
    EXPECT_EQ(y.pixel(p.x, p.y).r, (p.x + 3 * p.y) % 251) << p.x << "," << p.y;
    EXPECT_EQ(uv.pixel(p.x / 2, p.y / 2).r, (p.x / 2) % 241) << p.x << "," << p.y;
    EXPECT_EQ(uv.pixel(p.x / 2, p.y / 2).g, (p.y / 2) % 239) << p.x << "," << p.y;
  }
}

TEST_F(GLTextureCacheTest, ArgumentsThatDoNotDescribeAPlaneAreErrors) {
  auto context = GLContext::create();
  ASSERT_NE(context, nullptr);
  auto cache = GLTextureCache::create(context);
  const PixelBuffer frame = patternFrame(6, 5);
  const struct {
    const char* name;
    unsigned target;
    int internalFormat;
    int width, height;
    unsigned format, type;
    int plane;
    bool current;
    GLErrorCode code;
  } rows[] = {
      {"good luma", GL_TEXTURE_2D, GL_RED_EXT, 6, 5, GL_RED_EXT, GL_UNSIGNED_BYTE, 0, true, GLErrorCode{0}},
      {"good chroma", GL_TEXTURE_2D, GL_RG_EXT, 3, 3, GL_RG_EXT, GL_UNSIGNED_BYTE, 1, true, GLErrorCode{0}},
      {"no third plane", GL_TEXTURE_2D, GL_RG_EXT, 3, 3, GL_RG_EXT, GL_UNSIGNED_BYTE, 2, true, kGLErrorInvalidArgument},
      {"negative plane", GL_TEXTURE_2D, GL_RED_EXT, 6, 5, GL_RED_EXT, GL_UNSIGNED_BYTE, -1, true,
       kGLErrorInvalidArgument},
      {"chroma rounded down", GL_TEXTURE_2D, GL_RG_EXT, 3, 2, GL_RG_EXT, GL_UNSIGNED_BYTE, 1, true,
       kGLErrorInvalidArgument},
      {"luma too wide", GL_TEXTURE_2D, GL_RED_EXT, 7, 5, GL_RED_EXT, GL_UNSIGNED_BYTE, 0, true,
       kGLErrorInvalidArgument},
      {"two channels of luma", GL_TEXTURE_2D, GL_RG_EXT, 6, 5, GL_RG_EXT, GL_UNSIGNED_BYTE, 0, true,
       kGLErrorInvalidArgument},
      {"formats differ", GL_TEXTURE_2D, GL_RED_EXT, 3, 3, GL_RG_EXT, GL_UNSIGNED_BYTE, 1, true,
       kGLErrorInvalidArgument},
      {"cube map", GL_TEXTURE_CUBE_MAP, GL_RED_EXT, 6, 5, GL_RED_EXT, GL_UNSIGNED_BYTE, 0, true,
       kGLErrorInvalidArgument},
      {"floats", GL_TEXTURE_2D, GL_RED_EXT, 6, 5, GL_RED_EXT, GL_FLOAT, 0, true, kGLErrorInvalidArgument},
      {"no current context", GL_TEXTURE_2D, GL_RED_EXT, 6, 5, GL_RED_EXT, GL_UNSIGNED_BYTE, 0, false,
       kGLErrorNoCurrentContext},
  };
  for (const auto& row : rows) {
    GLContextScope scope(row.current ? context : nullptr);
    ErrorPtr error;
    auto texture = cache->createTextureFromImage(frame, row.target, row.internalFormat, row.width, row.height,
                                                 row.format, row.type, row.plane, &error);
    EXPECT_EQ(texture == nullptr, row.code != 0) << row.name;
    EXPECT_EQ(error ? error->code() : 0, row.code) << row.name;
  }
  EXPECT_EQ(GLTextureCache::create(nullptr), nullptr);
}

TEST_F(GLTextureCacheTest, DroppedTexturesAreDeletedAtTheNextFlushWithTheContextCurrent) {
  auto context = GLContext::create();
  ASSERT_NE(context, nullptr);
  auto cache = GLTextureCache::create(context);
  const PixelBuffer frame = patternFrame(4, 4);
  GLuint name = 0;
  {
    GLContextScope scope(context);
    // The caller's binding and unpacking stay as they were.
    GLuint bound = 0;
    glGenTextures(1, &bound);
    glBindTexture(GL_TEXTURE_2D, bound);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 8);
    auto texture =
        cache->createTextureFromImage(frame, GL_TEXTURE_2D, GL_RED_EXT, 4, 4, GL_RED_EXT, GL_UNSIGNED_BYTE, 0);
    ASSERT_NE(texture, nullptr);
    name = texture->name();
    GLint binding = 0, alignment = 0;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &binding);
    glGetIntegerv(GL_UNPACK_ALIGNMENT, &alignment);
    EXPECT_EQ(static_cast<GLuint>(binding), bound);
    EXPECT_EQ(alignment, 8);
    glDeleteTextures(1, &bound);
  }
  cache->flush();  // not current: the name waits
  GLContextScope scope(context);
  EXPECT_TRUE(glIsTexture(name));
  cache->flush();
  EXPECT_FALSE(glIsTexture(name));
}

}  // namespace
}  // namespace platform
