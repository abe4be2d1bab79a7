#include "sdk/network/ZUMMRAIDInterceptor.h"

#include <string_view>
#include <utility>

#include "platform/base/ASCIIString.h"
#include "platform/base/DispatchQueue.h"
#include "platform/base/TestingReset.h"
#include "platform/base/URL.h"
#include "platform/net/HTTPURLResponse.h"
#include "platform/net/URLProtocol.h"
#include "platform/net/URLRequest.h"
#include "sdk/foundation/ZUMThreading.h"

namespace {

bool isHTTPURL(const platform::URL& url) {
  const auto& scheme = url.scheme();
  return scheme &&
         (platform::equalsIgnoringASCIICase(*scheme, "http") || platform::equalsIgnoringASCIICase(*scheme, "https"));
}

// The address of a hosted script as given, when it is an http(s) URL.
std::optional<std::string> hostedAddress(const std::optional<std::string>& URLString) {
  if (!URLString || URLString->empty()) return std::nullopt;
  const auto url = platform::URL::fromString(*URLString);
  if (!url || !isHTTPURL(*url)) return std::nullopt;
  return url->absoluteString();
}

// Answers a claimed MRAID script load with a redirect to the hosted script. The new
// request carries a marker so that it is not claimed again.
class MRAIDScriptRedirect : public platform::URLProtocol {
 public:
  static constexpr std::string_view kHandledProperty = "ZUMMRAIDInterceptorHandled";

  static bool canInitWithRequest(const platform::URLRequest& request) {
    if (request.property(kHandledProperty)) return false;
    return ZUMMRAIDInterceptor::sharedInstance()->redirectURLStringForRequest(request).has_value();
  }

  MRAIDScriptRedirect(const platform::URLRequest& request, std::shared_ptr<platform::URLProtocolClient> client)
      : URLProtocol(request, std::move(client)),
        target_(ZUMMRAIDInterceptor::sharedInstance()->redirectURLStringForRequest(request)) {}

  void startLoading() override {
    const platform::URL& original = *request().url();
    // The settings may have changed since the request was claimed: then the load goes
    // on to its own address, unclaimed.
    std::optional<platform::URL> destination;
    if (target_) destination = platform::URL::fromString(*target_);
    if (!destination) destination = original;
    platform::URLRequest next = request();
    next.setURL(*destination);
    next.setProperty("1", std::string(kHandledProperty));
    client()->URLProtocolWasRedirectedToRequest(
        *this, std::move(next),
        platform::HTTPURLResponse(original, 302, {{"Location", destination->absoluteString()}}));
  }

  void stopLoading() override {}

 private:
  const std::optional<std::string> target_;
};

}  // namespace

void ZUMRegisterURLInterception() {
  static auto* once = new platform::ResettableOnceFlag();
  once->call([] { platform::URLProtocol::registerClass<MRAIDScriptRedirect>(); });
}

std::shared_ptr<ZUMMRAIDInterceptor> ZUMMRAIDInterceptor::sharedInstance() {
  // Never destroyed: blocks queued on its own queue may still run while the process exits.
  static auto* shared = new platform::ResettableShared<ZUMMRAIDInterceptor>(
      [] { return std::shared_ptr<ZUMMRAIDInterceptor>(new ZUMMRAIDInterceptor()); }, platform::OnTestingReset::Keep);
  return shared->get();
}

ZUMMRAIDInterceptor::ZUMMRAIDInterceptor() : queue_(ZUMDispatchQueueCreate("com.vantor.morvane.mraidinterceptor")) {}

void ZUMMRAIDInterceptor::setBannerImplementationURLString(std::optional<std::string> URLString) {
  setImplementationURLString(Script::Banner, std::move(URLString));
}
void ZUMMRAIDInterceptor::setInterstitialImplementationURLString(std::optional<std::string> URLString) {
  setImplementationURLString(Script::Interstitial, std::move(URLString));
}
void ZUMMRAIDInterceptor::setExpandedBannerImplementationURLString(std::optional<std::string> URLString) {
  setImplementationURLString(Script::ExpandedBanner, std::move(URLString));
}

void ZUMMRAIDInterceptor::setImplementationURLString(Script script, std::optional<std::string> URLString) {
  queue_->async([this, script, URLString = std::move(URLString)]() mutable {
    std::lock_guard lock(mutex_);
    switch (script) {
      case Script::Banner:
        banner_ = std::move(URLString);
        break;
      case Script::Interstitial:
        interstitial_ = std::move(URLString);
        break;
      case Script::ExpandedBanner:
        expandedBanner_ = std::move(URLString);
        break;
    }
    hostedScripts_.clear();
    for (const auto* address : {&banner_, &interstitial_, &expandedBanner_}) {
      if (auto hosted = hostedAddress(*address)) hostedScripts_.insert(std::move(*hosted));
    }
  });
}

void ZUMMRAIDInterceptor::setEnabled(bool enabled) {
  queue_->async([this, enabled] {
    std::lock_guard lock(mutex_);
    enabled_ = enabled;
  });
}

bool ZUMMRAIDInterceptor::canRedirect() const {
  std::lock_guard lock(mutex_);
  return enabled_;
}

std::optional<std::string> ZUMMRAIDInterceptor::MRAIDURLStringForAdView(const AdView& adView) const {
  std::lock_guard lock(mutex_);
  if (adView.isInterstitialAdType()) return interstitial_;
  return adView.isMainAdView() ? banner_ : expandedBanner_;
}

void ZUMMRAIDInterceptor::setMRAIDURLStringForPage(const std::string& pageIdentifier,
                                                   std::optional<std::string> URLString) {
  std::lock_guard lock(mutex_);
  if (URLString && !URLString->empty()) {
    pageScripts_[pageIdentifier] = std::move(*URLString);
  } else {
    pageScripts_.erase(pageIdentifier);
  }
}

std::optional<std::string> ZUMMRAIDInterceptor::redirectURLStringForRequest(const platform::URLRequest& request) const {
  const auto& url = request.url();
  if (!url || !isHTTPURL(*url) || request.httpMethod() != "GET") return std::nullopt;
  const auto path = url->path();
  if (!path || !(*path == "mraid.js" || std::string_view(*path).ends_with("/mraid.js"))) return std::nullopt;
  std::lock_guard lock(mutex_);
  if (hostedScripts_.count(url->absoluteString())) return std::nullopt;
  return scriptForPageLocked(request.property(platform::kURLRequestWebPageIdentifierProperty));
}

void ZUMMRAIDInterceptor::waitForPendingSettings() const {
  queue_->sync([] {});
}

std::optional<std::string> ZUMMRAIDInterceptor::MRAIDURLStringForPage(const std::string& pageIdentifier) const {
  waitForPendingSettings();
  std::lock_guard lock(mutex_);
  return scriptForPageLocked(pageIdentifier);
}

std::optional<std::string> ZUMMRAIDInterceptor::scriptForPageLocked(
    const std::optional<std::string>& pageIdentifier) const {
  if (!enabled_) return std::nullopt;
  if (pageIdentifier) {
    if (auto chosen = pageScripts_.find(*pageIdentifier); chosen != pageScripts_.end()) {
      if (auto hosted = hostedAddress(chosen->second); hosted && hostedScripts_.count(*hosted)) return hosted;
    }
  }
  return hostedAddress(banner_);
}
