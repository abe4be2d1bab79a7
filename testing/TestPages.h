// Where the test pages (testing/pages) are. Compiled into one source of its own, so the
// other test sources hold no path of the checkout and the compiler cache serves them to a
// clone in any folder.
#pragma once

#include <string>

namespace testenv {

// The absolute path of the folder that holds the test pages.
const std::string& testPagesDirectory();

}  // namespace testenv
