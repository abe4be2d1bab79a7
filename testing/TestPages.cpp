#include "testing/TestPages.h"

namespace testenv {

const std::string& testPagesDirectory() {
  static const std::string directory = MORVANE_TEST_PAGES_DIR;
  return directory;
}

}  // namespace testenv
