#include "platform/gl/GLProgramCalls.h"

#include <atomic>
#include <mutex>

#include "platform/base/TestingReset.h"

namespace platform::gl {

namespace {

std::atomic<bool> gRecording{false};
[[maybe_unused]] const bool kRecordingReset = resetBetweenTests(gRecording, false);

struct Recorder {
  std::mutex mutex;
  std::vector<RecordedGLCall> calls;
};

Recorder& recorder() {
  // Never destroyed: render threads may record while the process exits.
  static auto* shared = [] {
    auto* r = new Recorder;
    registerTestingReset(r, [r] {
      std::lock_guard lock(r->mutex);
      r->calls.clear();
    });
    return r;
  }();
  return *shared;
}

void record(const char* function, GLuint object, const std::string& argument = {}) {
  if (!gRecording.load(std::memory_order_relaxed)) return;
  auto& r = recorder();
  std::lock_guard lock(r.mutex);
  r.calls.push_back({function, object, argument});
}

std::string infoLog(GLint length, void (*read)(GLuint, GLsizei, GLsizei*, GLchar*), GLuint object) {
  if (length <= 1) return {};
  std::string log(static_cast<std::size_t>(length), '\0');
  GLsizei written = 0;
  read(object, length, &written, log.data());
  log.resize(static_cast<std::size_t>(std::max<GLsizei>(0, written)));
  return log;
}

}  // namespace

GLuint createShader(GLenum type) {
  const GLuint shader = glCreateShader(type);
  record("glCreateShader", shader);
  return shader;
}

void shaderSource(GLuint shader, const std::string& source) {
  record("glShaderSource", shader);
  const GLchar* text = source.c_str();
  const GLint length = static_cast<GLint>(source.size());
  glShaderSource(shader, 1, &text, &length);
}

void compileShader(GLuint shader) {
  record("glCompileShader", shader);
  glCompileShader(shader);
}

GLint getShaderiv(GLuint shader, GLenum parameter) {
  record("glGetShaderiv", shader);
  GLint value = 0;
  glGetShaderiv(shader, parameter, &value);
  return value;
}

std::string getShaderInfoLog(GLuint shader) {
  GLint length = 0;
  glGetShaderiv(shader, GL_INFO_LOG_LENGTH, &length);
  return infoLog(length, glGetShaderInfoLog, shader);
}

void deleteShader(GLuint shader) {
  record("glDeleteShader", shader);
  glDeleteShader(shader);
}

GLuint createProgram() {
  const GLuint program = glCreateProgram();
  record("glCreateProgram", program);
  return program;
}

void attachShader(GLuint program, GLuint shader) {
  record("glAttachShader", program, std::to_string(shader));
  glAttachShader(program, shader);
}

void detachShader(GLuint program, GLuint shader) {
  record("glDetachShader", program, std::to_string(shader));
  glDetachShader(program, shader);
}

void bindAttribLocation(GLuint program, GLuint index, const std::string& name) {
  record("glBindAttribLocation", program, name);
  glBindAttribLocation(program, index, name.c_str());
}

void linkProgram(GLuint program) {
  record("glLinkProgram", program);
  glLinkProgram(program);
}

GLint getProgramiv(GLuint program, GLenum parameter) {
  record("glGetProgramiv", program);
  GLint value = 0;
  glGetProgramiv(program, parameter, &value);
  return value;
}

std::string getProgramInfoLog(GLuint program) {
  GLint length = 0;
  glGetProgramiv(program, GL_INFO_LOG_LENGTH, &length);
  return infoLog(length, glGetProgramInfoLog, program);
}

void useProgram(GLuint program) {
  record("glUseProgram", program);
  glUseProgram(program);
}

void deleteProgram(GLuint program) {
  record("glDeleteProgram", program);
  glDeleteProgram(program);
}

GLint getUniformLocation(GLuint program, const std::string& name) {
  record("glGetUniformLocation", program, name);
  return glGetUniformLocation(program, name.c_str());
}

GLint getAttribLocation(GLuint program, const std::string& name) {
  record("glGetAttribLocation", program, name);
  return glGetAttribLocation(program, name.c_str());
}

void setRecordingCalls(bool recording) { gRecording.store(recording, std::memory_order_relaxed); }

std::vector<RecordedGLCall> recordedCalls() {
  auto& r = recorder();
  std::lock_guard lock(r.mutex);
  return r.calls;
}

std::vector<std::string> recordedCallNames() {
  std::vector<std::string> names;
  for (const auto& call : recordedCalls()) names.push_back(call.function);
  return names;
}

void clearRecordedCalls() {
  auto& r = recorder();
  std::lock_guard lock(r.mutex);
  r.calls.clear();
}

}  // namespace platform::gl
