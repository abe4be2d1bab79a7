#include "platform/base/UncaughtExceptionHandler.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cxxabi.h>
#include <dlfcn.h>
#include <mutex>
#include <string_view>
#include <typeinfo>
#include <unistd.h>

#include "platform/base/Symbols.h"
#include "platform/base/TestingReset.h"

namespace platform {

namespace {

std::atomic<UncaughtExceptionHandler> gHandler{nullptr};
[[maybe_unused]] const bool kHandlerReset = resetBetweenTests(gHandler, UncaughtExceptionHandler{nullptr});

std::terminate_handler gPreviousTerminate = nullptr;
std::atomic<bool> gHandling{false};
thread_local bool tlsHandling = false;

// Whether `address` is in the C++ runtime's throw, or an interceptor of it: the frames
// above the last such one are where the exception was thrown.
bool isThrowFrame(std::uintptr_t address) {
  Dl_info info{};
  if (dladdr(reinterpret_cast<const void*>(address - 1), &info) == 0 || !info.dli_sname) return false;
  const std::string_view name = info.dli_sname;
  return name.find("__cxa_throw") != name.npos || name.find("__cxa_rethrow") != name.npos ||
         name.find("rethrow_exception") != name.npos;
}

// An exception that found no handler is still on the stack of its throw; one stopped by
// a noexcept boundary was unwound to it, and the stack here is all that is left.
std::vector<std::uintptr_t> stackAtThrow(const std::vector<std::uintptr_t>& stackHere) {
  for (std::size_t i = stackHere.size(); i-- > 0;) {
    if (isThrowFrame(stackHere[i])) return {stackHere.begin() + static_cast<std::ptrdiff_t>(i) + 1, stackHere.end()};
  }
  return stackHere;
}

}  // namespace

// Turns whatever escaped into the platform exception the handler hears.
class UncaughtExceptions {
 public:
  static Exception describe(const std::exception_ptr& escaped, const std::vector<std::uintptr_t>& stackHere) {
    try {
      std::rethrow_exception(escaped);
    } catch (const Exception& exception) {
      Exception copy(exception);
      if (copy.callStack_.empty()) copy.callStack_ = stackAtThrow(stackHere);
      return copy;
    } catch (const std::exception& exception) {
      Exception made(demangledSymbol(typeid(exception).name()), std::string(exception.what()));
      made.callStack_ = stackAtThrow(stackHere);
      return made;
    } catch (...) {
      const std::type_info* type = abi::__cxa_current_exception_type();
      Exception made(type ? demangledSymbol(type->name()) : "unknown", std::nullopt);
      made.callStack_ = stackAtThrow(stackHere);
      return made;
    }
  }

  [[noreturn]] static void terminate() {
    const auto stackHere = callStackReturnAddresses();
    if (tlsHandling) {
      static constexpr char kMessage[] = "The uncaught-exception handler raised again; ending the process.\n";
      [[maybe_unused]] auto written = ::write(STDERR_FILENO, kMessage, sizeof kMessage - 1);
      std::abort();
    }
    tlsHandling = true;
    const UncaughtExceptionHandler handler = gHandler.load();
    const std::exception_ptr escaped = std::current_exception();
    if (!handler || !escaped) endAsCxxDoes();
    if (gHandling.exchange(true)) {
      for (;;) pause();  // another thread is handling its exception and ends the process
    }
    try {
      handler(describe(escaped, stackHere));
    } catch (...) {
      static constexpr char kMessage[] = "The uncaught-exception handler raised; ending the process.\n";
      [[maybe_unused]] auto written = ::write(STDERR_FILENO, kMessage, sizeof kMessage - 1);
    }
    std::abort();
  }

 private:
  [[noreturn]] static void endAsCxxDoes() {
    if (gPreviousTerminate) gPreviousTerminate();
    std::abort();
  }
};

UncaughtExceptionHandler getUncaughtExceptionHandler() { return gHandler.load(); }

void setUncaughtExceptionHandler(UncaughtExceptionHandler handler) {
  static std::once_flag installed;
  std::call_once(installed, [] { gPreviousTerminate = std::set_terminate(&UncaughtExceptions::terminate); });
  gHandler.store(handler);
}

}  // namespace platform
