#include "platform/media/MediaTestSupport.h"

#include <fstream>

namespace platform::mediatest {

URL writeClip(testenv::TestEnvironment& env, const std::string& bytes, const std::string& name) {
  const auto path = env.temporaryDirectory() / name;
  std::ofstream(path, std::ios::binary) << bytes;
  return URL::fileURL(path);
}

}  // namespace platform::mediatest
