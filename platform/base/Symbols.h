// Where an address of the process lies: the file of the loaded image (executable or
// shared library) that holds it and the nearest exported symbol at or before it,
// demangled; the call stack of the calling thread as return addresses; the process's
// name. Crash reports label each frame of an exception's call stack with these.
//
// Symbols come from the images' dynamic symbol tables, so functions of an executable
// resolve by name only when it exports them: every executable linking the platform is
// linked with --export-dynamic (platform/base/CMakeLists.txt). Functions with internal
// linkage (static, anonymous namespace) and inlined frames never resolve by name, nor do
// the ".cold" parts an optimiser splits off, and a call in tail position leaves no frame:
// the project's optimised builds do neither (CMakeLists.txt).
//
// Any thread. Not async-signal-safe (it allocates).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace platform {

struct ResolvedAddress {
  std::string imagePath;  // as the image was loaded; may be relative
  std::uintptr_t imageBase = 0;
  std::optional<std::string> symbol;  // none: the image has no symbol for the address
  std::uintptr_t symbolAddress = 0;   // 0 without a symbol

  // The last path component of imagePath.
  std::string imageName() const;
};

// A return address points after its call, which may be the first byte of the next
// function when the call never returns; such addresses are resolved one byte earlier.
enum class AddressKind { Exact, ReturnAddress };

// None when no loaded image holds the address.
std::optional<ResolvedAddress> resolveAddress(std::uintptr_t address, AddressKind kind = AddressKind::Exact);
inline std::optional<ResolvedAddress> resolveAddress(const void* address, AddressKind kind = AddressKind::Exact) {
  return resolveAddress(reinterpret_cast<std::uintptr_t>(address), kind);
}

// The path of the image holding `address`; none when no image holds it.
std::optional<std::string> imagePathForAddress(std::uintptr_t address);

// The return addresses of the calling thread's stack, innermost first, starting with the
// frame that returns to `firstReturnAddress` when given and found (so a recorder can leave
// its own frames out); at most `maxFrames`.
std::vector<std::uintptr_t> callStackReturnAddresses(const void* firstReturnAddress = nullptr,
                                                     std::size_t maxFrames = 256);

// The C++ name of a mangled one; the text itself when it is not a mangled name.
std::string demangledSymbol(const char* name);

// The executable's file name, as the system names the process.
std::string processName();

}  // namespace platform
