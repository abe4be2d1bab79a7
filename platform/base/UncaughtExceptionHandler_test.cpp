#include "platform/base/UncaughtExceptionHandler.h"

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

extern char** environ;

namespace platform {
namespace {

using ::testing::ElementsAre;

void firstHandler(const Exception&) {}
void secondHandler(const Exception&) {}

TEST(UncaughtExceptionHandlerTest, KeepsTheHandlerUntilTheNextTest) {
  EXPECT_EQ(getUncaughtExceptionHandler(), nullptr);
  setUncaughtExceptionHandler(&firstHandler);
  EXPECT_EQ(getUncaughtExceptionHandler(), &firstHandler);
  setUncaughtExceptionHandler(&secondHandler);
  EXPECT_EQ(getUncaughtExceptionHandler(), &secondHandler);
  setUncaughtExceptionHandler(nullptr);
  EXPECT_EQ(getUncaughtExceptionHandler(), nullptr);
  setUncaughtExceptionHandler(&firstHandler);  // the resets remove it
}

// What one run of the child program wrote, and how it ended.
struct ChildRun {
  int status = 0;
  std::vector<std::string> lines;
};

ChildRun runChild(const std::string& mode) {
  const auto output = std::filesystem::temp_directory_path() /
                      ("uncaught-" + mode + "-" + std::to_string(::getpid()) + ".txt");
  std::filesystem::remove(output);
  std::string program = MORVANE_UNCAUGHT_EXCEPTION_CHILD;
  std::string outputPath = output.string();
  char* argv[] = {program.data(), const_cast<char*>(mode.c_str()), outputPath.data(), nullptr};
  ChildRun run;
  pid_t pid = 0;
  if (posix_spawn(&pid, program.c_str(), nullptr, nullptr, argv, environ) != 0) return run;
  ::waitpid(pid, &run.status, 0);
  std::ifstream in(output);
  for (std::string line; std::getline(in, line);) run.lines.push_back(line);
  std::filesystem::remove(output);
  return run;
}

// The symbols of the "frame:" lines, in order.
std::vector<std::string> frameSymbols(const std::vector<std::string>& lines) {
  std::vector<std::string> symbols;
  for (const auto& line : lines) {
    if (line.rfind("frame: ", 0) != 0) continue;
    const auto comma = line.find(',');
    symbols.push_back(comma == std::string::npos ? "" : line.substr(comma + 1));
  }
  return symbols;
}

bool endedByAbort(int status) { return WIFSIGNALED(status) && WTERMSIG(status) == SIGABRT; }

TEST(UncaughtExceptionHandlerTest, AnExceptionNothingCatchesReachesTheChainedHandlersOnceThenAborts) {
  const struct {
    const char* mode;
    const char* name;
    const char* reason;
    const char* userInfo;
  } rows[] = {
      {"main-queue", "ChildTestException", "raised three functions deep", R"({"key":"value"})"},
      {"serial-queue", "ChildTestException", "raised three functions deep", R"({"key":"value"})"},
      {"standard", "std::out_of_range", "index 7 past the end", "{}"},
  };
  for (const auto& row : rows) {
    const auto run = runChild(row.mode);
    EXPECT_TRUE(endedByAbort(run.status)) << row.mode << " status " << run.status;
    ASSERT_GE(run.lines.size(), 5u) << row.mode;
    EXPECT_EQ(run.lines[0], "reporting handler") << row.mode;
    EXPECT_EQ(run.lines[1], std::string("name: ") + row.name) << row.mode;
    EXPECT_EQ(run.lines[2], std::string("reason: ") + row.reason) << row.mode;
    EXPECT_EQ(run.lines[3], std::string("user info: ") + row.userInfo) << row.mode;
    // The raising function first, then its callers, all in the child's own image.
    const auto symbols = frameSymbols(run.lines);
    ASSERT_GE(symbols.size(), 3u) << row.mode;
    EXPECT_THAT(std::vector<std::string>(symbols.begin(), symbols.begin() + 3),
                ElementsAre("uncaughtLevel3()", "uncaughtLevel2()", "uncaughtLevel1()"))
        << row.mode;
    EXPECT_THAT(run.lines, ::testing::Contains("frame: platform_uncaught_exception_child,uncaughtLevel3()"));
    // The handler that was there before ran after the newest one, and nothing ran twice.
    EXPECT_EQ(run.lines.back(), std::string("previous handler: ") + row.name) << row.mode;
    EXPECT_EQ(std::count(run.lines.begin(), run.lines.end(), "reporting handler"), 1) << row.mode;
  }
}

TEST(UncaughtExceptionHandlerTest, AHandlerThatRaisesAgainEndsTheProcessOnce) {
  const auto run = runChild("reraise");
  EXPECT_TRUE(endedByAbort(run.status)) << run.status;
  EXPECT_THAT(run.lines, ElementsAre("reraising handler: ChildTestException"));
}

}  // namespace
}  // namespace platform
