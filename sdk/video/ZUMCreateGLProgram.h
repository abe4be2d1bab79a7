// Compiles a vertex and a fragment shader from source and links them into a GL program.
// Attribute locations are bound before the link, the only time GL takes them. Failures
// are SDK errors of code 11 with the step that failed in the description; shaders are
// always detached and deleted, and a failed program is deleted.
//
// Call where a GL context is current (the render thread).
#pragma once

#include <string>
#include <utility>
#include <vector>

#include <GLES2/gl2.h>

#include "platform/base/Error.h"

// A vertex attribute's location and name.
using ZUMGLAttributeBinding = std::pair<GLuint, std::string>;

// The linked program's name in `program`; false without a program pointer or when a step
// fails. `error` (when given) receives the failure.
[[nodiscard]] bool ZUMCreateGLProgram(const std::string& vertexSource, const std::string& fragmentSource,
                                      const std::vector<ZUMGLAttributeBinding>& attributes, GLuint* program,
                                      platform::ErrorPtr* error);
