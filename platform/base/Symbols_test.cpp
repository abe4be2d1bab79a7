#include "platform/base/Symbols.h"

#include <memory>

#include <gtest/gtest.h>

// Exported, so that they resolve by name.
[[gnu::noinline]] std::vector<std::uintptr_t> symbolsTestRecorder(int maxFrames) {
  return platform::callStackReturnAddresses(__builtin_return_address(0), static_cast<std::size_t>(maxFrames));
}

[[gnu::noinline]] std::vector<std::uintptr_t> symbolsTestCaller(int maxFrames) {
  auto stack = symbolsTestRecorder(maxFrames);
  __asm__ volatile("" ::: "memory");  // no tail call: this frame stays
  return stack;
}

namespace platform {
namespace {

[[gnu::noinline]] int functionWithoutExportedSymbol(int x) { return x * 3 + 1; }

TEST(SymbolsTest, AnAddressInsideANamedFunctionResolvesToItsImageAndName) {
  const auto start = reinterpret_cast<std::uintptr_t>(&symbolsTestRecorder);
  for (const std::uintptr_t address : {start, start + 4}) {
    const auto resolved = resolveAddress(address);
    ASSERT_TRUE(resolved.has_value());
    EXPECT_EQ(resolved->imageName(), "platform_base_tests");
    EXPECT_EQ(resolved->symbol, "symbolsTestRecorder(int)");
    EXPECT_EQ(resolved->symbolAddress, start);
    EXPECT_NE(resolved->imageBase, 0u);
  }
  EXPECT_EQ(imagePathForAddress(start), resolveAddress(start)->imagePath);
  // A return address at a function's first byte returns from a call that never returns,
  // made by whatever precedes the function.
  const auto returning = resolveAddress(start, AddressKind::ReturnAddress);
  ASSERT_TRUE(returning.has_value());
  EXPECT_NE(returning->symbol, std::optional<std::string>("symbolsTestRecorder(int)"));
}

TEST(SymbolsTest, TellsNoImageFromNoSymbol) {
  const auto heap = std::make_unique<int>(1);
  EXPECT_FALSE(resolveAddress(heap.get()).has_value());
  EXPECT_FALSE(resolveAddress(std::uintptr_t{0}).has_value());
  EXPECT_FALSE(imagePathForAddress(reinterpret_cast<std::uintptr_t>(heap.get())).has_value());

  const auto hidden = resolveAddress(reinterpret_cast<const void*>(&functionWithoutExportedSymbol));
  ASSERT_TRUE(hidden.has_value());
  EXPECT_EQ(hidden->imageName(), "platform_base_tests");
  EXPECT_FALSE(hidden->symbol.has_value());
  EXPECT_EQ(hidden->symbolAddress, 0u);
}

TEST(SymbolsTest, ARecordedStackStartsAtTheGivenReturnAddress) {
  const auto stack = symbolsTestCaller(64);
  ASSERT_GE(stack.size(), 2u);
  const auto caller = resolveAddress(stack[0], AddressKind::ReturnAddress);
  ASSERT_TRUE(caller && caller->symbol);
  EXPECT_EQ(*caller->symbol, "symbolsTestCaller(int)");
  EXPECT_EQ(symbolsTestCaller(1).size(), 1u);
}

TEST(SymbolsTest, DemanglesAndNamesTheProcess) {
  EXPECT_EQ(demangledSymbol("_ZN8platform11processNameB5cxx11Ev"), "platform::processName[abi:cxx11]()");
  EXPECT_EQ(demangledSymbol("main"), "main");
  EXPECT_EQ(demangledSymbol(nullptr), "");
  EXPECT_EQ(processName(), "platform_base_tests");
}

}  // namespace
}  // namespace platform
