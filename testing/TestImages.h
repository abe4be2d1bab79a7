// Pictures encoded at run time for tests that serve or decode images: PNG bytes of a
// given pixel size in one colour. Nothing is read from the repository. Any thread.
#pragma once

#include <cstdint>
#include <string>

namespace testenv {

struct RGBA {
  std::uint8_t r = 0, g = 0, b = 0, a = 255;
};

// A `width` x `height` PNG filled with `colour`; empty for a side that is not positive.
std::string pngBytes(int width, int height, RGBA colour = {});

}  // namespace testenv
