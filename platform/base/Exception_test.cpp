#include "platform/base/Exception.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "platform/base/Symbols.h"

// Exported, so that the frames resolve by name (a function of an anonymous namespace
// would not).
[[gnu::noinline]] void exceptionTestRaiser(bool withUserInfo) {
  if (withUserInfo) platform::Exception::raise("TestException", "with user info", {{"slot", 3}});
  platform::Exception("TestException", std::nullopt).raise();
}

[[gnu::noinline]] void exceptionTestCaller(bool withUserInfo) {
  exceptionTestRaiser(withUserInfo);
  __asm__ volatile("" ::: "memory");  // no tail call: this frame stays
}

namespace platform {
namespace {

std::string symbolOf(std::uintptr_t address) {
  const auto resolved = resolveAddress(address, AddressKind::ReturnAddress);
  return resolved && resolved->symbol ? *resolved->symbol : "";
}

TEST(ExceptionTest, RaisingRecordsTheStackFromTheRaisingFunction) {
  const struct {
    bool withUserInfo;
    std::optional<std::string> reason;
    const char* what;
    const char* userInfo;
  } rows[] = {
      {true, "with user info", "with user info", R"({"slot":3})"},
      {false, std::nullopt, "TestException", "{}"},
  };
  for (const auto& row : rows) {
    try {
      exceptionTestCaller(row.withUserInfo);
      ADD_FAILURE() << "nothing raised";
    } catch (const Exception& exception) {
      EXPECT_EQ(exception.name(), "TestException");
      EXPECT_EQ(exception.reason(), row.reason);
      EXPECT_STREQ(exception.what(), row.what);
      EXPECT_EQ(exception.userInfo().dump(), row.userInfo);
      const auto& stack = exception.callStackReturnAddresses();
      ASSERT_GE(stack.size(), 2u);
      EXPECT_EQ(symbolOf(stack[0]), "exceptionTestRaiser(bool)");
      EXPECT_EQ(symbolOf(stack[1]), "exceptionTestCaller(bool)");
    }
  }
}

TEST(ExceptionTest, IsNotRaisedUntilRaiseAndTakesOnlyObjectsAsUserInfo) {
  const Exception made("Made", "not raised", nlohmann::ordered_json::array({1, 2}));
  EXPECT_TRUE(made.callStackReturnAddresses().empty());
  EXPECT_TRUE(made.userInfo().is_object());
  EXPECT_TRUE(made.userInfo().empty());
  const Exception copy = made;
  EXPECT_EQ(copy.name(), "Made");
  EXPECT_EQ(copy.reason(), "not raised");
}

}  // namespace
}  // namespace platform
