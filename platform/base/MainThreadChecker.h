// The one check of "main thread only": a class whose header says "main thread only"
// calls platform::assertMainThread() at the top of each entry point, so a call from
// another queue fails in a debug build (every test build) instead of passing by luck. Under the deterministic executor, blocks of other
// queues run on the test's thread but are not on the main thread, so the check fails
// there as it would on a device.
//
// Debug builds stop the process with a line naming the function, file and line of the
// caller; release builds check nothing. Any thread.
#pragma once

#include <source_location>

namespace platform {

// Where the check was called from. Compilers whose library lacks std::source_location
// (the fuzzing build's) name no place.
#if defined(__cpp_lib_source_location)
using CallerLocation = std::source_location;
#else
struct CallerLocation {
  static constexpr CallerLocation current() { return {}; }
  constexpr const char* file_name() const { return "?"; }
  constexpr const char* function_name() const { return "?"; }
  constexpr unsigned line() const { return 0; }
};
#endif

#ifdef NDEBUG
inline void assertMainThread(CallerLocation = CallerLocation::current()) {}
#else
void assertMainThread(CallerLocation caller = CallerLocation::current());
#endif

}  // namespace platform
