// The pool of content processes that web views of one configuration share. Here every
// web view runs its page in a content process of its own, so a pool is only an identity
// that configurations carry. Any thread.
#pragma once

#include <memory>

namespace platform {

class WKProcessPool {
 public:
  static std::shared_ptr<WKProcessPool> create() { return std::make_shared<WKProcessPool>(); }
};

}  // namespace platform
