#include "sdk/rendering/ZUMOpener.h"

#include <mutex>

#include "platform/ui/ViewController.h"
#include "sdk/foundation/ZUMLogger.h"
#include "sdk/network/ZUMAdURLStash.h"
#include "sdk/network/ZUMAutoClickProtection.h"
#include "sdk/rendering/ZUMAdView.h"
#include "sdk/rendering/ZUMClickHandling.h"

namespace {

std::mutex& clickHandlingMutex() {
  static auto* mutex = new std::mutex();  // never destroyed: read while the process exits
  return *mutex;
}
std::shared_ptr<ZUMClickHandling>& clickHandlingInstance() {
  static auto* instance = new std::shared_ptr<ZUMClickHandling>();
  return *instance;
}

std::shared_ptr<ZUMClickHandling> clickHandlingFor(const char* action, const platform::URL& url) {
  auto handling = ZUMCurrentClickHandling();
  if (!handling) ZUMLog(kZUMLogLevelDefault, std::string("No click handling: ") + action + " " + url.absoluteString() + " not opened.");
  return handling;
}

}  // namespace

std::shared_ptr<ZUMClickHandling> ZUMCurrentClickHandling() {
  std::lock_guard lock(clickHandlingMutex());
  return clickHandlingInstance();
}

void ZUMRegisterClickHandling(std::shared_ptr<ZUMClickHandling> clickHandling) {
  std::lock_guard lock(clickHandlingMutex());
  clickHandlingInstance() = std::move(clickHandling);
}

std::shared_ptr<ZUMOpener> ZUMOpener::create() { return std::shared_ptr<ZUMOpener>(new ZUMOpener()); }

ZUMOpener::~ZUMOpener() = default;

void ZUMOpener::openApp(const platform::URL& url) {
  if (auto handling = clickHandlingFor("openApp", url)) handling->openApp(*this, url);
}

void ZUMOpener::openEmailComposer(const platform::URL& url) {
  if (auto handling = clickHandlingFor("openEmailComposer", url)) handling->openEmailComposer(*this, url);
}

void ZUMOpener::openSmsComposer(const platform::URL& url) {
  if (auto handling = clickHandlingFor("openSmsComposer", url)) handling->openSmsComposer(*this, url);
}

bool ZUMOpener::shouldPerformOpenAction() {
  if (!autoClickProtection_ || !autoClickProtection_->isEnabled()) return true;
  auto adView = adView_.lock();
  if (adView && adView->touched()) return true;
  if (adView && navigationRequest_) {
    ZUMAdURLStash::sharedInstance()->adViewDidAttemptAutoClickRequest(adView->stashKey(), *navigationRequest_);
  }
  return false;
}
