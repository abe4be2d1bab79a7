// The one check of "main thread only" (Chromium's sequence checker is the model): a class
// whose header says "main thread only" calls platform::assertMainThread() at the top of
// each entry point, so a call from another queue fails in a debug build (every test
// build) instead of passing by luck. Under the deterministic executor, blocks of other
// queues run on the test's thread but are not on the main thread, so the check fails
// there as it would on a device.
//
// Debug builds stop the process with a line naming the function, file and line of the
// caller; release builds check nothing. Any thread.
#pragma once

#include <source_location>

namespace platform {

#ifdef NDEBUG
inline void assertMainThread(std::source_location = std::source_location::current()) {}
#else
void assertMainThread(std::source_location caller = std::source_location::current());
#endif

}  // namespace platform
