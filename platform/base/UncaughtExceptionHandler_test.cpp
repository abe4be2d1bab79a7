#include "platform/base/UncaughtExceptionHandler.h"

#include <algorithm>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "testing/ChildProcess.h"

namespace platform {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

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

// What one run of the child program wrote, what it said on stderr, and how it ended.
struct ChildRun {
  int status = 0;
  std::vector<std::string> lines;
  std::string stderrText;
};

std::vector<std::string> readLines(const std::filesystem::path& path) {
  std::vector<std::string> lines;
  std::ifstream in(path);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

ChildRun runChild(const std::string& mode) {
  const auto base = std::filesystem::temp_directory_path() / ("uncaught-" + mode + "-" + std::to_string(::getpid()));
  const auto output = base.string() + ".txt";
  const auto errors = base.string() + ".err";
  std::filesystem::remove(output);
  ChildRun run;
  // A child that hangs (a handler entered twice waiting for itself) fails by its status.
  const auto status = testenv::runChildProcess({MORVANE_UNCAUGHT_EXCEPTION_CHILD, mode, output}, errors);
  if (!status) return run;
  run.status = *status;
  run.lines = readLines(output);
  std::ifstream err(errors);
  run.stderrText.assign(std::istreambuf_iterator<char>(err), {});
  std::filesystem::remove(output);
  std::filesystem::remove(errors);
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
      {"thrown", "ChildTestException", "thrown without raise()", "{}"},
      {"non-standard", "int", "(none)", "{}"},
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
  const struct {
    const char* mode;
    const char* said;
  } rows[] = {
      {"reraise", "The uncaught-exception handler raised; ending the process."},
      {"reraise-noexcept", "The uncaught-exception handler raised again; ending the process."},
  };
  for (const auto& row : rows) {
    const auto run = runChild(row.mode);
    EXPECT_TRUE(endedByAbort(run.status)) << row.mode << " status " << run.status;
    EXPECT_THAT(run.lines, ElementsAre("reraising handler: ChildTestException")) << row.mode;
    EXPECT_THAT(run.stderrText, ::testing::HasSubstr(row.said)) << row.mode;
  }
}

TEST(UncaughtExceptionHandlerTest, WithoutAHandlerTheProcessEndsAsCxxEndsIt) {
  const auto run = runChild("no-handler");
  EXPECT_TRUE(endedByAbort(run.status)) << run.status;
  EXPECT_THAT(run.lines, IsEmpty());
  EXPECT_THAT(run.stderrText, ::testing::HasSubstr("terminate called after throwing"));
}

}  // namespace
}  // namespace platform
