// The main of every test binary: GoogleTest, plus the process-wide resets around each
// test, so a test that makes no TestEnvironment neither sees nor leaves shared state.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "platform/base/TestingReset.h"

namespace {

class ResetsAroundEachTest : public ::testing::EmptyTestEventListener {
  void OnTestStart(const ::testing::TestInfo&) override { platform::runTestingResets(); }
  void OnTestEnd(const ::testing::TestInfo&) override { platform::runTestingResets(); }
};

}  // namespace

int main(int argc, char** argv) {
  ::testing::InitGoogleMock(&argc, argv);
  ::testing::UnitTest::GetInstance()->listeners().Append(new ResetsAroundEachTest);
  return RUN_ALL_TESTS();
}
