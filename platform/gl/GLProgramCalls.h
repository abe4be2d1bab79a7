// The OpenGL ES 2 calls the SDK makes to build and query its programs, each a thin
// forward to GL: shaders from source, a program linking two of them, attribute bindings
// and uniform and attribute lookups. A test can have each call recorded in order,
// process-wide, to see, for instance, whether an attribute was bound before the program
// was linked: GL itself often gives the same location either way.
//
// Call them where a context is current, as the GL calls they forward to.
#pragma once

#include <string>
#include <vector>

#include <GLES2/gl2.h>

namespace platform::gl {

GLuint createShader(GLenum type);
void shaderSource(GLuint shader, const std::string& source);
void compileShader(GLuint shader);
// GL_COMPILE_STATUS and the like.
GLint getShaderiv(GLuint shader, GLenum parameter);
std::string getShaderInfoLog(GLuint shader);
void deleteShader(GLuint shader);

GLuint createProgram();
void attachShader(GLuint program, GLuint shader);
void detachShader(GLuint program, GLuint shader);
void bindAttribLocation(GLuint program, GLuint index, const std::string& name);
void linkProgram(GLuint program);
// GL_LINK_STATUS and the like.
GLint getProgramiv(GLuint program, GLenum parameter);
std::string getProgramInfoLog(GLuint program);
void useProgram(GLuint program);
void deleteProgram(GLuint program);
GLint getUniformLocation(GLuint program, const std::string& name);
GLint getAttribLocation(GLuint program, const std::string& name);

// One recorded call: the GL function's name ("glLinkProgram"), the shader or program it
// acted on (the one made, for creations) and its string argument (a name), if any.
struct RecordedGLCall {
  std::string function;
  GLuint object = 0;
  std::string argument;
  friend bool operator==(const RecordedGLCall&, const RecordedGLCall&) = default;
};
// Off until turned on, in every build type; the test environment turns it off and clears
// the calls between tests.
void setRecordingCalls(bool recording);
// The calls above made while recording, in order.
std::vector<RecordedGLCall> recordedCalls();
// The function names alone, in order.
std::vector<std::string> recordedCallNames();
void clearRecordedCalls();

}  // namespace platform::gl
