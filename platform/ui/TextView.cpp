#include "platform/ui/TextView.h"

namespace platform {

std::shared_ptr<TextView> TextView::create(const Rect& frame) { return std::shared_ptr<TextView>(new TextView(frame)); }

}  // namespace platform
