#include "platform/base/MainThreadChecker.h"

#include <cstdio>
#include <cstdlib>

#include "platform/base/RunLoop.h"

namespace platform {

#ifndef NDEBUG
void assertMainThread(CallerLocation caller) {
  if (isMainThread()) return;
  std::fprintf(stderr, "%s:%u: %s: called off the main thread, which it allows only\n", caller.file_name(),
               static_cast<unsigned>(caller.line()), caller.function_name());
  std::abort();
}
#endif

}  // namespace platform
