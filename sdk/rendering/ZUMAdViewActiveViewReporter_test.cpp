#include "sdk/rendering/ZUMAdViewActiveViewReporter.h"

#include <gtest/gtest.h>

#include "testing/TestEnvironment.h"

namespace {

struct Observer : ZUMAdViewActiveViewMonitoring {
  void activeViewVisibilityChanged(bool) override {}
  bool activeViewMonitoringStarted(std::uint64_t receiver) override {
    log.push_back("start " + std::to_string(receiver));
    return accept;
  }
  void activeViewMonitoringDidStop(std::uint64_t receiver) override {
    log.push_back("stop " + std::to_string(receiver));
  }
  bool accept = true;
  std::vector<std::string> log;
};

using ZUMAdViewActiveViewReporterTest = testenv::PlatformTest;

TEST_F(ZUMAdViewActiveViewReporterTest, ReportsWhileTheObserverAcceptsAndStopsOnRelease) {
  auto observer = std::make_shared<Observer>();
  auto reporter = std::make_unique<ZUMAdViewActiveViewReporter>();
  reporter->start();  // no observer: not reporting
  EXPECT_FALSE(reporter->reporting());
  reporter->setObserver(observer);
  observer->accept = false;
  reporter->start();
  reporter->stop();  // refused: the observer is not told
  EXPECT_EQ(observer->log, std::vector<std::string>{"start 2"});

  observer->accept = true;
  reporter->start();
  EXPECT_TRUE(reporter->reporting());
  reporter->stop();
  reporter->stop();
  EXPECT_EQ(observer->log, (std::vector<std::string>{"start 2", "start 2", "stop 2"}));

  reporter->start();
  reporter.reset();
  EXPECT_EQ(observer->log.back(), "start 2");  // told on a later turn
  env.runUntilIdle();
  EXPECT_EQ(observer->log.back(), "stop 2");
}

}  // namespace
