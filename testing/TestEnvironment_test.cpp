#include "testing/TestEnvironment.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

#include <gtest/gtest.h>

namespace testenv {
namespace {

// A death test's child runs the test again from its start, in a process of its own, and
// dies there before its environment's teardown: the folders it made must not outlive the
// run. It tells the parent where they are through a file named by the parent's id.
TEST(TestEnvironmentTest, TheFoldersOfADeathTestsChildGoWithTheParentsTeardown) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  const auto report = [](pid_t parent) {
    return std::filesystem::temp_directory_path() / ("morvane-death-report-" + std::to_string(parent));
  };
  {
    TestEnvironment env;
    EXPECT_DEATH(
        {
          std::ofstream(report(getppid())) << env.root().string();
          std::abort();
        },
        "");
  }
  std::string childRoot;
  std::getline(std::ifstream(report(getpid())), childRoot);
  std::filesystem::remove(report(getpid()));
  ASSERT_FALSE(childRoot.empty());
  EXPECT_FALSE(std::filesystem::exists(childRoot)) << childRoot;
}

}  // namespace
}  // namespace testenv
