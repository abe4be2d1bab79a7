#include "sdk/network/ZUMPinger.h"

#include <set>
#include <utility>

#include "platform/base/DispatchQueue.h"
#include "platform/base/OperationQueue.h"
#include "platform/base/TestingReset.h"
#include "platform/base/UserDefaults.h"
#include "platform/net/URLConnection.h"
#include "platform/ui/Window.h"
#include "platform/web/WebView.h"
#include "platform/web/WebViewDelegate.h"
#include "sdk/foundation/ZUMApplication.h"
#include "sdk/foundation/ZUMBindWeak.h"
#include "sdk/foundation/ZUMLogger.h"
#include "sdk/foundation/ZUMScheduler.h"
#include "sdk/foundation/ZUMThreading.h"
#include "sdk/foundation/ZUMURLUtilities.h"
#include "sdk/foundation/ZUMUserDefaults.h"
#include "sdk/network/ZUMPingerRetryStore.h"

namespace {

bool isHTTPScheme(const platform::URL& url) { return ZUMURLHasScheme(url, "http") || ZUMURLHasScheme(url, "https"); }

// An http(s) URL with a host, or nothing.
std::optional<platform::URL> pingableURL(const std::optional<std::string>& string) {
  if (!string || string->empty()) return std::nullopt;
  auto url = platform::URL::fromString(*string);
  if (!url || !isHTTPScheme(*url) || !url->host() || url->host()->empty()) return std::nullopt;
  return url;
}

// A ping of a plain-HTTP URL loaded as a page in a hidden web view, parked in the hub's
// placeholder window until the page finishes or fails, or the time-out passes. Main
// thread only; each running ping keeps itself in running() until it ends.
class WebViewPing final : public platform::WebViewDelegate, public std::enable_shared_from_this<WebViewPing> {
 public:
  static void start(const platform::URLRequest& request, ZUMPinger::CompletionBlock done) {
    auto ping = std::shared_ptr<WebViewPing>(new WebViewPing(std::move(done)));
    running().insert(ping);
    ping->webView_->setHidden(true);
    ping->webView_->setDelegate(ping);
    if (auto window = ZUMApplication::sharedInstance()->placeholderWindow()) window->addSubview(ping->webView_);
    std::weak_ptr<WebViewPing> weak = ping;
    platform::DispatchQueue::main()->after(ZUMPinger::kPingTimeout, ZUMBindWeak(weak, &WebViewPing::finish, false));
    ping->webView_->loadRequest(request);
  }

  // The ping's own page and where it redirects; nothing that would leave the app.
  bool webViewShouldStartLoadWithRequest(platform::WebView&, const platform::URLRequest& request,
                                         platform::WebViewNavigationType) override {
    return request.url() && isHTTPScheme(*request.url());
  }
  // Frames report their own finishes and failures; only the page's own end counts.
  void webViewDidFinishLoad(platform::WebView& webView) override {
    if (!webView.isLoading()) finish(true);
  }
  void webViewDidFailLoadWithError(platform::WebView& webView, const platform::ErrorPtr&) override {
    if (!webView.isLoading()) finish(false);
  }

 private:
  explicit WebViewPing(ZUMPinger::CompletionBlock done)
      : done_(std::move(done)), webView_(platform::WebView::create({{0, 0}, {1, 1}})) {}

  static std::set<std::shared_ptr<WebViewPing>>& running() {
    static auto* set = [] {
      auto* made = new std::set<std::shared_ptr<WebViewPing>>();
      platform::registerTestingReset(made, [made] { made->clear(); });
      return made;
    }();
    return *set;
  }

  void finish(bool success) {
    if (!done_) return;
    auto done = std::exchange(done_, nullptr);
    // The web view may be inside its own report: take it down on a later turn.
    auto self = shared_from_this();
    platform::DispatchQueue::main()->async([self] {
      self->webView_->setDelegate(nullptr);
      self->webView_->stopLoading();
      self->webView_->removeFromSuperview();
      running().erase(self);
    });
    done(success);
  }

  ZUMPinger::CompletionBlock done_;
  std::shared_ptr<platform::WebView> webView_;
};

std::string inFlightKey(const std::string& groupKey, const std::string& string) { return groupKey + '\n' + string; }

}  // namespace

std::shared_ptr<ZUMPinger> ZUMPinger::sharedInstance() {
  static auto* shared = new platform::ResettableShared<ZUMPinger>(&ZUMPinger::create);
  return shared->get();
}

std::shared_ptr<ZUMPinger> ZUMPinger::create() { return std::shared_ptr<ZUMPinger>(new ZUMPinger()); }

ZUMPinger::ZUMPinger()
    : queue_(ZUMDispatchQueueCreate("com.vantor.morvane.pinger")),
      store_(std::make_unique<ZUMPingerRetryStore>(platform::UserDefaults::standard())) {}

ZUMPinger::~ZUMPinger() {
  std::lock_guard lock(mutex_);
  if (scheduler_) scheduler_->stop();
}

void ZUMPinger::pingURLString(const std::optional<std::string>& urlString,
                              std::shared_ptr<platform::DispatchQueue> queue, CompletionBlock completion) {
  // Completions go to the caller's queue, or stay on the main operation queue where the
  // loads complete.
  auto counter = pingsInFlight_;
  ++*counter;
  CompletionBlock done = [queue, counter, completion = std::move(completion)](bool success) {
    if (!completion) {
      --*counter;
    } else if (queue) {
      queue->async([completion, success, counter] {
        completion(success);
        --*counter;
      });
    } else {
      completion(success);
      --*counter;
    }
  };
  const auto url = pingableURL(urlString);
  if (!url) {
    ZUMLog(kZUMLogLevelDefault, "Invalid ping URL: " + (urlString ? urlString->substr(0, 256) : "(none)"));
    platform::OperationQueue::main()->addOperation([done] { done(false); });
    return;
  }
  if (ZUMURLHasScheme(url, "http") &&
      ZUMUserDefaults::boolForKey("/vantor/ads/enable_http_web_view_pings").value_or(true)) {
    sendThroughWebView(*url, std::move(done));
  } else {
    sendThroughLoader(*url, std::move(done));
  }
}

std::size_t ZUMPinger::pingsInFlight() const { return *pingsInFlight_; }

void ZUMPinger::sendThroughLoader(const platform::URL& url, CompletionBlock done) {
  auto request = ZUMURLRequestWithBody(url, std::nullopt, std::nullopt, std::nullopt);
  if (!request) {
    platform::OperationQueue::main()->addOperation([done] { done(false); });
    return;
  }
  request->setTimeoutInterval(kPingTimeout);
  platform::URLConnection::sendAsynchronousRequest(
      std::move(*request), platform::OperationQueue::main(),
      [done = std::move(done)](std::optional<platform::HTTPURLResponse> response, std::string,
                               platform::ErrorPtr error) {
        done(!error && response && response->statusCode() >= 200 && response->statusCode() < 400);
      },
      kMaximumResponseBytes);
}

void ZUMPinger::sendThroughWebView(const platform::URL& url, CompletionBlock done) {
  auto request = ZUMURLRequestWithBody(url, std::nullopt, std::nullopt, std::nullopt);
  if (!request) {
    platform::OperationQueue::main()->addOperation([done] { done(false); });
    return;
  }
  request->setTimeoutInterval(kPingTimeout);
  ZUMRunOnMainThread([request = std::move(*request), done = std::move(done)] { WebViewPing::start(request, done); });
}

void ZUMPinger::pingWithRetryGroupKey(const std::string& groupKey, const platform::URL& url,
                                      const std::string& retryURLString) {
  std::weak_ptr<ZUMPinger> weak = weak_from_this();
  queue_->async([weak, groupKey, url, retryURLString] {
    auto self = weak.lock();
    if (!self) return;
    const auto limits = ZUMPingerRetryStore::currentLimits();
    self->store_->storeRetryURLString(retryURLString, groupKey, limits.maximumCount, platform::clock().wallNow());
    // The retry string is on its way with this ping: the schedule leaves it alone.
    const auto key = inFlightKey(groupKey, retryURLString);
    const bool tracked = self->inFlight_.insert(key).second;
    self->pingURLString(url.absoluteString(), self->queue_, [weak, groupKey, retryURLString, key, tracked](bool ok) {
      auto self = weak.lock();
      if (!self) return;
      if (tracked) self->inFlight_.erase(key);
      if (ok) self->store_->removeRetryURLString(retryURLString, groupKey);
    });
  });
}

void ZUMPinger::storeRetryURLString(const std::string& string, const std::string& groupKey) {
  queue_->sync([&] {
    const auto limits = ZUMPingerRetryStore::currentLimits();
    store_->storeRetryURLString(string, groupKey, limits.maximumCount, platform::clock().wallNow());
  });
}

void ZUMPinger::startRetrySchedule() {
  std::lock_guard lock(mutex_);
  if (scheduler_) return;
  scheduler_ = ZUMScheduler::create(ZUMPingerRetryStore::currentPingInterval());
  std::weak_ptr<ZUMPinger> weak = weak_from_this();
  scheduler_->taskIDScheduledOnQueue(queue_, ZUMBindWeak(weak, &ZUMPinger::resendStoredPings));
  scheduler_->start();
}

void ZUMPinger::resendStoredPings() {
  const auto groups = store_->prune(ZUMPingerRetryStore::currentLimits(), platform::clock().wallNow());
  std::weak_ptr<ZUMPinger> weak = weak_from_this();
  for (const auto& [groupKey, entries] : groups) {
    for (const auto& entry : entries) {
      if (!pingableURL(entry.urlString)) {
        store_->removeRetryURLString(entry.urlString, groupKey);  // can never succeed
        continue;
      }
      auto key = inFlightKey(groupKey, entry.urlString);
      if (!inFlight_.insert(key).second) continue;
      pingURLString(entry.urlString, queue_, [weak, group = groupKey, urlString = entry.urlString, key](bool ok) {
        auto self = weak.lock();
        if (!self) return;
        self->inFlight_.erase(key);
        if (ok) self->store_->removeRetryURLString(urlString, group);
      });
    }
  }
}
