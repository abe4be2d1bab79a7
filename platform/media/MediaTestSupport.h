// Helpers of the media tests: clips as files, a resource-loader delegate that serves
// bytes from memory, and waiting for an asset or item to settle.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/base/URL.h"
#include "testing/MemoryLoaderDelegate.h"
#include "testing/TestEnvironment.h"

namespace platform::mediatest {

// Writes `bytes` to a file in the test's temporary folder and returns its URL.
URL writeClip(testenv::TestEnvironment& env, const std::string& bytes, const std::string& name = "clip.mp4");

using testenv::MemoryLoaderDelegate;

}  // namespace platform::mediatest
