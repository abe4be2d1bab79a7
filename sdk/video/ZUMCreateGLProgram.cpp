#include "sdk/video/ZUMCreateGLProgram.h"

#include "platform/gl/GLProgramCalls.h"
#include "sdk/errors/ZUMErrors.h"

namespace {

constexpr std::int64_t kVideoErrorCode = 11;

void fail(platform::ErrorPtr* error, const std::string& description) {
  if (error) *error = ZUMMakeErrorWithDescription(kVideoErrorCode, description);
}

// Empty when compiled, else the failure.
std::string compile(GLuint shader, const std::string& source, GLenum type) {
  if (shader == 0) return "Invalid shader identifier.";
  platform::gl::shaderSource(shader, source);
  platform::gl::compileShader(shader);
  if (platform::gl::getShaderiv(shader, GL_COMPILE_STATUS)) return {};
  return "Failed compiling shader source: " + source + " type " + std::to_string(static_cast<long long>(type));
}

// Empty when linked, else the failure.
std::string link(GLuint program, GLuint vertex, GLuint fragment, const std::vector<ZUMGLAttributeBinding>& attributes) {
  if (program == 0 || vertex == 0 || fragment == 0) return "OpenGL shaders invalid.";
  platform::gl::attachShader(program, vertex);
  platform::gl::attachShader(program, fragment);
  for (const auto& [index, name] : attributes) platform::gl::bindAttribLocation(program, index, name);
  platform::gl::linkProgram(program);
  if (platform::gl::getProgramiv(program, GL_LINK_STATUS)) return {};
  return "Failed linking OpenGL program with created vertex and fragment shaders.";
}

// `program` 0: the shader was never attached.
void release(GLuint program, GLuint shader) {
  if (shader == 0) return;
  if (program != 0) platform::gl::detachShader(program, shader);
  platform::gl::deleteShader(shader);
}

}  // namespace

bool ZUMCreateGLProgram(const std::string& vertexSource, const std::string& fragmentSource,
                        const std::vector<ZUMGLAttributeBinding>& attributes, GLuint* program,
                        platform::ErrorPtr* error) {
  if (!program) {
    fail(error, "Couldn't create OpenGL program as the output program pointer is empty.");
    return false;
  }
  const GLuint vertex = platform::gl::createShader(GL_VERTEX_SHADER);
  const GLuint fragment = platform::gl::createShader(GL_FRAGMENT_SHADER);
  const GLuint made = platform::gl::createProgram();
  std::string failure = compile(vertex, vertexSource, GL_VERTEX_SHADER);
  if (failure.empty()) failure = compile(fragment, fragmentSource, GL_FRAGMENT_SHADER);
  const bool attached = failure.empty() && made != 0 && vertex != 0 && fragment != 0;
  if (failure.empty()) failure = link(made, vertex, fragment, attributes);
  release(attached ? made : 0, vertex);
  release(attached ? made : 0, fragment);
  if (!failure.empty()) {
    if (made != 0) platform::gl::deleteProgram(made);
    fail(error, failure);
    return false;
  }
  *program = made;
  return true;
}
