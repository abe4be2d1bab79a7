// Run by UncaughtExceptionHandler_test.cpp: raises an exception that nothing catches,
// three named functions deep, and writes what its handlers heard to a file.
//
//   platform_uncaught_exception_child <mode> <file>
// Modes: main-queue, serial-queue (a platform exception raised on that queue), standard
// (a std::out_of_range), thrown (a platform exception thrown without raise()),
// non-standard (an int), reraise (the handler raises), reraise-noexcept (the handler
// raises inside a noexcept function), no-handler (a handler installed, then removed).
#include <cstdio>
#include <stdexcept>
#include <string>

#include <nlohmann/json.hpp>

#include "platform/base/DispatchQueue.h"
#include "platform/base/Executor.h"
#include "platform/base/RunLoop.h"
#include "platform/base/Symbols.h"
#include "platform/base/UncaughtExceptionHandler.h"

namespace {

std::string gOutput;
std::string gMode;
platform::UncaughtExceptionHandler gReporterPrevious = nullptr;

void append(const std::string& line) {
  if (FILE* file = std::fopen(gOutput.c_str(), "a")) {
    std::fprintf(file, "%s\n", line.c_str());
    std::fclose(file);
  }
}

void previousHandler(const platform::Exception& exception) { append("previous handler: " + exception.name()); }

void reportingHandler(const platform::Exception& exception) {
  append("reporting handler");
  append("name: " + exception.name());
  append("reason: " + exception.reason().value_or("(none)"));
  append("user info: " + exception.userInfo().dump());
  for (const auto address : exception.callStackReturnAddresses()) {
    const auto resolved = platform::resolveAddress(address, platform::AddressKind::ReturnAddress);
    append("frame: " + (resolved ? resolved->imageName() + "," + resolved->symbol.value_or("") : "missing"));
  }
  if (gReporterPrevious) gReporterPrevious(exception);
}

void reraisingHandler(const platform::Exception& exception) {
  append("reraising handler: " + exception.name());
  platform::Exception::raise("AgainException", "raised by the handler");
}

void raiseAgain() noexcept { platform::Exception::raise("AgainException", "raised where nothing may escape"); }

void noexceptReraisingHandler(const platform::Exception& exception) {
  append("reraising handler: " + exception.name());
  raiseAgain();
}

platform::UncaughtExceptionHandler handlerFor(const std::string& mode) {
  if (mode == "reraise") return &reraisingHandler;
  if (mode == "reraise-noexcept") return &noexceptReraisingHandler;
  return &reportingHandler;
}

}  // namespace

// Exported (not static), so that the frames resolve by name; the empty asm after each call
// keeps it from becoming a jump that would leave no frame.
[[gnu::noinline]] void uncaughtLevel3() {
  if (gMode == "standard") throw std::out_of_range("index 7 past the end");
  if (gMode == "non-standard") throw 42;
  if (gMode == "thrown") throw platform::Exception("ChildTestException", "thrown without raise()");
  platform::Exception::raise("ChildTestException", "raised three functions deep", {{"key", "value"}});
}

[[gnu::noinline]] void uncaughtLevel2() {
  uncaughtLevel3();
  __asm__ volatile("" ::: "memory");
}

[[gnu::noinline]] void uncaughtLevel1() {
  uncaughtLevel2();
  __asm__ volatile("" ::: "memory");
}

int main(int argc, char** argv) {
  if (argc != 3) return 2;
  gMode = argv[1];
  gOutput = argv[2];
  platform::bindMainThread();
  platform::setUncaughtExceptionHandler(&previousHandler);
  gReporterPrevious = platform::getUncaughtExceptionHandler();
  // "no-handler" installs one and removes it again.
  platform::setUncaughtExceptionHandler(gMode == "no-handler" ? nullptr : handlerFor(gMode));
  if (gMode == "serial-queue") {
    platform::setExecutorKind(platform::ExecutorKind::Threaded);
    platform::DispatchQueue::serial("com.example.uncaught")->async(&uncaughtLevel1);
  } else {
    platform::DispatchQueue::main()->async(&uncaughtLevel1);
  }
  platform::RunLoop::main().run();
  return 0;
}
