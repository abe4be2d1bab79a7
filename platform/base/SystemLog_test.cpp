#include "platform/base/SystemLog.h"

#include <thread>

#include <gtest/gtest.h>

namespace platform {
namespace {

TEST(SystemLogTest, CapturesSeeEveryLineWhileTheyLive) {
  SystemLog::write("before", "not seen");
  SystemLog::Capture outer(true);
  SystemLog::write("com.vantor.morvane.logging", "<Vantor> first");
  {
    SystemLog::Capture inner(true);
    SystemLog::write("x", "second");
    EXPECT_EQ(inner.messages(), (std::vector<std::string>{"second"}));
  }
  SystemLog::write("x", "third\nwith a newline");
  auto lines = outer.lines();
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0].subsystem, "com.vantor.morvane.logging");
  EXPECT_TRUE(outer.contains("with a newline"));
  outer.clear();
  EXPECT_TRUE(outer.lines().empty());
}

TEST(SystemLogTest, LinesFromThreadsAreKeptWhole) {
  SystemLog::Capture capture(true);
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([t] {
      for (int i = 0; i < 100; ++i) SystemLog::write("t", "thread " + std::to_string(t));
    });
  }
  for (auto& thread : threads) thread.join();
  auto messages = capture.messages();
  ASSERT_EQ(messages.size(), 400u);
  for (const auto& message : messages) EXPECT_EQ(message.rfind("thread ", 0), 0u);
}

}  // namespace
}  // namespace platform
