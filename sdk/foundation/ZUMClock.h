// The SDK's clocks, read through the platform's clock so tests drive them.
//
// Both functions may be called from any thread.
#pragma once

#include <cstdint>

// Whole milliseconds of the monotonic clock since the first call in the process, plus
// 1: never 0, never decreasing.
uint64_t ZUMMonotonicTimeInMilliseconds();

// Seconds since the device booted; 0.0 when the time cannot be read.
double ZUMTimeIntervalSinceBoot();
