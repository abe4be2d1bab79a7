#include "platform/base/Symbols.h"

#include <algorithm>
#include <cstdlib>
#include <cxxabi.h>
#include <dlfcn.h>
#include <errno.h>
#include <execinfo.h>
#include <memory>

namespace platform {

std::string ResolvedAddress::imageName() const {
  const auto slash = imagePath.rfind('/');
  return slash == std::string::npos ? imagePath : imagePath.substr(slash + 1);
}

std::optional<ResolvedAddress> resolveAddress(std::uintptr_t address, AddressKind kind) {
  if (kind == AddressKind::ReturnAddress && address > 0) --address;
  Dl_info info{};
  if (address == 0 || dladdr(reinterpret_cast<const void*>(address), &info) == 0 || !info.dli_fname) {
    return std::nullopt;
  }
  ResolvedAddress resolved;
  resolved.imagePath = info.dli_fname;
  resolved.imageBase = reinterpret_cast<std::uintptr_t>(info.dli_fbase);
  if (info.dli_sname && *info.dli_sname) {
    resolved.symbol = demangledSymbol(info.dli_sname);
    resolved.symbolAddress = reinterpret_cast<std::uintptr_t>(info.dli_saddr);
  }
  return resolved;
}

std::optional<std::string> imagePathForAddress(std::uintptr_t address) {
  auto resolved = resolveAddress(address);
  if (!resolved) return std::nullopt;
  return std::move(resolved->imagePath);
}

std::vector<std::uintptr_t> callStackReturnAddresses(const void* firstReturnAddress, std::size_t maxFrames) {
  // Room for the frames of the caller's recorder above the first one it wants.
  constexpr std::size_t kRecorderFrames = 8;
  std::vector<void*> frames(maxFrames + kRecorderFrames);
  const int count = backtrace(frames.data(), static_cast<int>(frames.size()));
  frames.resize(static_cast<std::size_t>(std::max(count, 0)));
  auto first = frames.begin() + std::min<std::ptrdiff_t>(1, count);  // this function's own frame
  if (firstReturnAddress) {
    auto found = std::find(frames.begin(), frames.end(), firstReturnAddress);
    if (found != frames.end()) first = found;
  }
  std::vector<std::uintptr_t> addresses;
  for (auto it = first; it != frames.end() && addresses.size() < maxFrames; ++it) {
    addresses.push_back(reinterpret_cast<std::uintptr_t>(*it));
  }
  return addresses;
}

std::string demangledSymbol(const char* name) {
  if (!name) return {};
  int status = -1;
  std::unique_ptr<char, decltype(&std::free)> demangled(abi::__cxa_demangle(name, nullptr, nullptr, &status),
                                                        &std::free);
  return status == 0 && demangled ? std::string(demangled.get()) : std::string(name);
}

std::string processName() { return program_invocation_short_name; }

}  // namespace platform
