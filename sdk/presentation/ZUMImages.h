// The pictures the SDK's full-screen screens draw themselves, made from data inside the
// SDK (no resource files), and the scaling of a picture for the screen.
// Any thread.
#pragma once

#include <memory>

namespace platform {
class Image;
}

// The standard close button: a white cross on a dark translucent disc, 50 x 50 pixels
// at scale 2, so 25 x 25 points. Made once.
std::shared_ptr<platform::Image> ZUMCloseButtonImage();
// A fully transparent 10 x 10 point picture. Made once.
std::shared_ptr<platform::Image> ZUMBlankImage();
// `image` redrawn at its size times `factor`, at the main screen's scale, in a
// non-opaque context. nullptr for no image, or a factor that is not positive and finite
// or would give no pixels or too many.
std::shared_ptr<platform::Image> ZUMScaledImage(const std::shared_ptr<platform::Image>& image, double factor);
