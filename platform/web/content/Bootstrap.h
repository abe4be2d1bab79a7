// The set-up script of the content process's heaps (see Bootstrap.cpp).
#pragma once

namespace platform::content {

// A function expression taking (io, mode) and returning the request dispatcher: a
// function from one request line to one reply line.
extern const char* const kBootstrapSource;

}  // namespace platform::content
