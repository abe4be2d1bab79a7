// The process's uncaught-exception handler. An exception that nothing catches, on the
// main thread or on any other (a queue's worker included), reaches the installed handler
// once, then the process ends by abort. A platform::Exception arrives as raised; any other
// C++ exception is handed over as one: its type's name as the name, what() as the reason
// (none for types that are not std::exception), and the call stack where it was thrown.
//
// A handler that wants the one before it to run too reads it with
// getUncaughtExceptionHandler() before installing itself, and calls it. A handler that
// raises again does not re-enter: the process ends at once. While one thread's exception
// is being handled, an exception escaping on another thread waits for the process's end.
//
// Any thread. The test environment removes the handler between tests.
#pragma once

#include "platform/base/Exception.h"

namespace platform {

using UncaughtExceptionHandler = void (*)(const Exception& exception);

UncaughtExceptionHandler getUncaughtExceptionHandler();
// Null removes the handler; uncaught exceptions then end the process as C++ does.
void setUncaughtExceptionHandler(UncaughtExceptionHandler handler);

}  // namespace platform
