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

// WebKit's libraries keep process-lifetime caches that LeakSanitizer reports as leaks
// (fonts, the session bus, GLib's type system, JavaScriptCore's heap); nothing else is
// let off.
extern "C" const char* __lsan_default_suppressions() {
  return "leak:libfontconfig.so\n"
         "leak:libdbus-1.so\n"
         "leak:libglib-2.0.so\n"
         "leak:libjavascriptcoregtk-4.1.so\n";
}

int main(int argc, char** argv) {
  ::testing::InitGoogleMock(&argc, argv);
  ::testing::UnitTest::GetInstance()->listeners().Append(new ResetsAroundEachTest);
  return RUN_ALL_TESTS();
}
