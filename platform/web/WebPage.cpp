#include "platform/web/WebPage.h"

#include <algorithm>
#include <atomic>
#include <cmath>

#include "platform/base/DispatchQueue.h"
#include "platform/base/FileManager.h"
#include "platform/base/RunLoop.h"
#include "platform/base/SystemLog.h"
#include "platform/base/TestingReset.h"
#include "platform/base/Timer.h"
#include "platform/net/URLConnection.h"
#include "platform/web/CSSColor.h"
#include "platform/web/ContentProcess.h"
#include "platform/web/HTMLDocument.h"
#include "platform/web/WebKitPage.h"

namespace platform {

namespace {

using Json = nlohmann::ordered_json;

// Files and scripts larger than this are not pages.
constexpr std::size_t kMaxDocumentBytes = 32u << 20;
// Browsers hold timers nested this deep to at least 4 ms, so a page cannot spin the loop.
constexpr int kTimerNestingLimit = 5;
constexpr double kMinimumNestedDelay = 0.004;
// A page that keeps adding timers gets no more than this many at once.
constexpr std::size_t kMaxTimers = 10000;

// The first `max` bytes of `text`, not cutting a UTF-8 sequence in two.
std::string clipped(std::string text, std::size_t max) {
  if (text.size() <= max) return text;
  std::size_t end = max;
  while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
  text.resize(end);
  return text;
}

std::size_t keptBytes(const WebConsoleMessage& message) { return message.level.size() + message.message.size(); }
std::size_t keptBytes(const std::string& text) { return text.size(); }

// Keeps `item` as the latest, letting the oldest go until the caps hold.
template <typename Kept, typename Item>
void keep(Kept& kept, Item item) {
  kept.bytes += keptBytes(item);
  kept.items.push_back(std::move(item));
  while (kept.items.size() > WebPage::kMaxKeptMessages || kept.bytes > WebPage::kMaxKeptBytes) {
    kept.bytes -= keptBytes(kept.items.front());
    kept.items.pop_front();
    ++kept.dropped;
  }
}

bool schemeIs(const URL& url, std::string_view scheme) {
  const auto& s = url.scheme();
  if (!s || s->size() != scheme.size()) return false;
  for (std::size_t i = 0; i < scheme.size(); ++i) {
    char c = (*s)[i];
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (c != scheme[i]) return false;
  }
  return true;
}

URL aboutBlank() { return *URL::fromString("about:blank"); }

}  // namespace

// --- Client defaults ---------------------------------------------------------------

void WebPage::Client::pageDecidePolicy(const Navigation&, std::function<void(bool)> decide) { decide(true); }
void WebPage::Client::pageDidStartProvisionalLoad(const URLRequest&) {}
void WebPage::Client::pageDidCommitLoad() {}
void WebPage::Client::pageDidFinishLoad() {}
void WebPage::Client::pageDidFailLoad(const ErrorPtr&, bool) {}
void WebPage::Client::pageDidLoadSubframe(const Navigation&, const ErrorPtr&) {}
void WebPage::Client::pageRequestsNewWindow(const Navigation&) {}
void WebPage::Client::pageDidAlert(const std::string&) {}
void WebPage::Client::pageContentSizeDidChange() {}
void WebPage::Client::pageWebContentProcessDidTerminate() {}
std::vector<WebPage::UserScript> WebPage::Client::pageUserScripts() { return {}; }

// --- Loading a document over the network ------------------------------------------

// Collects one main-frame document (or a `src` script) through URL loading.
class WebPage::MainLoad : public URLConnectionDelegate {
 public:
  using Done = std::function<void(std::optional<HTTPURLResponse>, std::string, ErrorPtr)>;
  explicit MainLoad(Done done) : done_(std::move(done)) {}

  void start(const URLRequest& request, const std::shared_ptr<MainLoad>& self) {
    connection_ = URLConnection::create(request, self);
    connection_->limitBodyLength(kMaxDocumentBytes);
    connection_->scheduleInRunLoop(RunLoop::main(), kCommonRunLoopModes);
    connection_->start();
  }
  void cancel() {
    done_ = nullptr;
    if (connection_) connection_->cancel();
    connection_.reset();
  }

  void connectionDidReceiveResponse(URLConnection&, const HTTPURLResponse& response) override {
    response_ = response;
    data_.clear();
  }
  void connectionDidReceiveData(URLConnection& connection, std::string_view data) override {
    if (data_.size() + data.size() > kMaxDocumentBytes) {
      connection.cancel();
      finish(std::nullopt, std::string(),
             makeURLError(kURLErrorDataLengthExceedsMaximum, connection.currentRequest().url()->absoluteString()));
      return;
    }
    data_.append(data);
  }
  void connectionDidFinishLoading(URLConnection&) override { finish(std::move(response_), std::move(data_), nullptr); }
  void connectionDidFailWithError(URLConnection&, const ErrorPtr& error) override { finish(std::nullopt, {}, error); }

 private:
  void finish(std::optional<HTTPURLResponse> response, std::string data, ErrorPtr error) {
    auto done = std::exchange(done_, nullptr);
    connection_.reset();
    if (done) done(std::move(response), std::move(data), std::move(error));
  }

  Done done_;
  std::shared_ptr<URLConnection> connection_;
  std::optional<HTTPURLResponse> response_;
  std::string data_;
};

std::shared_ptr<WebPage::MainLoad> WebPage::fetch(const URLRequest& request, FetchDone done) {
  auto load = std::make_shared<MainLoad>(std::move(done));
  load->start(request, load);
  return load;
}

void WebPage::cancelFetch(const std::shared_ptr<MainLoad>& load) {
  if (load) load->cancel();
}

// --- The page ------------------------------------------------------------------------

namespace {

// 0: not chosen yet (WebKit where a display is available); else the engine plus one.
std::atomic<int> gDefaultEngine{0};
// Tests run on the deterministic engine unless they name another.
const bool kDefaultEngineReset = [] {
  registerTestingReset(&gDefaultEngine, [] { gDefaultEngine = static_cast<int>(WebEngine::Deterministic) + 1; });
  return true;
}();

}  // namespace

WebEngine WebPage::defaultEngine() {
  if (const int chosen = gDefaultEngine.load()) return static_cast<WebEngine>(chosen - 1);
  const WebEngine engine = WebKitPage::isAvailable() ? WebEngine::WebKit : WebEngine::Deterministic;
  gDefaultEngine = static_cast<int>(engine) + 1;
  return engine;
}

void WebPage::setDefaultEngine(WebEngine engine) { gDefaultEngine = static_cast<int>(engine) + 1; }

std::shared_ptr<WebPage> WebPage::create(Client* client) { return create(client, defaultEngine()); }

std::shared_ptr<WebPage> WebPage::create(Client* client, WebEngine engine) {
  (void)kDefaultEngineReset;
  if (engine == WebEngine::WebKit) {
    if (auto page = WebKitPage::create(client)) return page;
    SystemLog::write("web", "WebKit cannot start here (no display?); the page runs on the deterministic engine");
  }
  return std::shared_ptr<WebPage>(new WebPage(client));
}

namespace {
std::string nextPageIdentifier() {
  static std::atomic<std::uint64_t> counter{0};
  return "page-" + std::to_string(++counter);
}
}  // namespace

WebPage::WebPage(Client* client) : client_(client), identifier_(nextPageIdentifier()) {}

WebPage::~WebPage() { detach(); }

void WebPage::detach() {
  client_ = nullptr;
  ++serial_;
  ++hostLoadSerial_;
  hostLoadPending_ = false;
  loading_ = false;
  if (mainLoad_) mainLoad_->cancel();
  mainLoad_.reset();
  clearTimers();
}

std::optional<URL> WebPage::URL() const {
  if (loading_ && provisionalURL_) return provisionalURL_;
  return documentURL_;
}

Size WebPage::contentSize(Size viewport) const {
  return {contentWidth_.value_or(viewport.width), contentHeight_.value_or(viewport.height)};
}

WebPage::Navigation WebPage::makeNavigation(platform::URL url, NavigationKind kind, bool mainFrame) const {
  Navigation navigation;
  navigation.request = URLRequest(url);
  navigation.request.setMainDocumentURL(mainFrame ? std::optional(url) : documentURL_);
  navigation.request.setValue(ContentProcess::defaultOptions().userAgent, "User-Agent");
  navigation.kind = kind;
  navigation.mainFrame = mainFrame;
  return navigation;
}

void WebPage::navigateLater(Navigation navigation, std::optional<std::string> html, bool addToHistory) {
  const std::uint64_t serial = ++hostLoadSerial_;
  hostLoadPending_ = true;
  std::weak_ptr<WebPage> weak = weak_from_this();
  DispatchQueue::main()->async(
      [weak, serial, navigation = std::move(navigation), html = std::move(html), addToHistory]() mutable {
        auto self = weak.lock();
        if (!self || serial != self->hostLoadSerial_) return;
        self->navigate(std::move(navigation), std::move(html), addToHistory, serial);
      });
}

void WebPage::loadHTMLString(const std::string& html, const std::optional<platform::URL>& baseURL) {
  navigateLater(makeNavigation(baseURL.value_or(aboutBlank()), NavigationKind::Other, true), html, true);
}

void WebPage::loadRequest(const URLRequest& request) {
  if (!request.url()) {
    if (client_) client_->pageDidFailLoad(makeURLError(kURLErrorBadURL), true);
    return;
  }
  Navigation navigation;
  navigation.request = request;
  navigation.request.setMainDocumentURL(request.url());
  if (!navigation.request.valueForHTTPHeaderField("User-Agent")) {
    navigation.request.setValue(ContentProcess::defaultOptions().userAgent, "User-Agent");
  }
  navigateLater(std::move(navigation), std::nullopt, true);
}

void WebPage::reload() {
  if (history_.empty()) return;
  const HistoryEntry entry = history_[historyIndex_];
  Navigation navigation;
  navigation.request = entry.request;
  navigation.kind = NavigationKind::Reload;
  navigateLater(std::move(navigation), entry.html, false);
}

bool WebPage::canGoBack() const { return !history_.empty() && historyIndex_ > 0; }
bool WebPage::canGoForward() const { return !history_.empty() && historyIndex_ + 1 < history_.size(); }

void WebPage::goBack() {
  if (!canGoBack()) return;
  --historyIndex_;
  const HistoryEntry entry = history_[historyIndex_];
  navigateLater({entry.request, NavigationKind::BackForward, true, false}, entry.html, false);
}

void WebPage::goForward() {
  if (!canGoForward()) return;
  ++historyIndex_;
  const HistoryEntry entry = history_[historyIndex_];
  navigateLater({entry.request, NavigationKind::BackForward, true, false}, entry.html, false);
}

void WebPage::navigate(Navigation navigation, std::optional<std::string> html, bool addToHistory,
                       std::optional<std::uint64_t> hostLoad) {
  if (!client_) return;
  std::weak_ptr<WebPage> weak = weak_from_this();
  auto decided = std::make_shared<bool>(false);
  client_->pageDecidePolicy(navigation,
                            [weak, decided, navigation, html = std::move(html), addToHistory, hostLoad](bool allow) {
                              if (std::exchange(*decided, true)) return;
                              auto self = weak.lock();
                              if (!self || !self->client_) return;
                              if (hostLoad) {
                                // A later load or stopLoading() overrides a load not decided yet.
                                if (*hostLoad != self->hostLoadSerial_) return;
                                self->hostLoadPending_ = false;
                              }
                              if (allow) self->beginLoad(navigation, html, addToHistory);
                            });
}

void WebPage::beginLoad(const Navigation& navigation, std::optional<std::string> html, bool addToHistory) {
  cancelLoad(true);
  const std::uint64_t serial = ++serial_;
  const platform::URL url = *navigation.request.url();
  loading_ = true;
  provisional_ = true;
  provisionalURL_ = url;
  if (addToHistory) {
    if (!history_.empty()) history_.resize(historyIndex_ + 1);
    history_.push_back({navigation.request, html});
    historyIndex_ = history_.size() - 1;
  }
  client_->pageDidStartProvisionalLoad(navigation.request);
  if (serial != serial_) return;

  std::weak_ptr<WebPage> weak = weak_from_this();
  if (html || schemeIs(url, "about")) {
    DispatchQueue::main()->async([weak, serial, url, html = html.value_or("")] {
      if (auto self = weak.lock()) self->commit(serial, url, html);
    });
    return;
  }
  if (url.isFileURL()) {
    DispatchQueue::main()->async([weak, serial, url] {
      auto self = weak.lock();
      if (!self) return;
      auto path = url.path();
      auto size = path ? FileManager::fileSize(*path) : std::nullopt;
      auto data = size && *size <= kMaxDocumentBytes ? FileManager::readFile(*path) : std::nullopt;
      if (!data) {
        self->failLoad(serial, makeURLError(kURLErrorFileDoesNotExist, url.absoluteString()));
        return;
      }
      self->commit(serial, url, *data);
    });
    return;
  }
  mainLoad_ = std::make_shared<MainLoad>(
      [weak, serial, url](std::optional<HTTPURLResponse> response, std::string data, ErrorPtr error) {
        auto self = weak.lock();
        if (!self) return;
        if (error) {
          self->failLoad(serial, error);
          return;
        }
        self->commit(serial, response ? response->url() : url, data);
      });
  mainLoad_->start(navigation.request, mainLoad_);
}

void WebPage::cancelLoad(bool report) {
  if (mainLoad_) mainLoad_->cancel();
  mainLoad_.reset();
  fetchesLeft_ = 0;
  pendingScripts_.clear();
  if (!loading_) return;
  const bool provisional = provisional_;
  const auto url = URL();
  ++serial_;
  loading_ = false;
  provisional_ = false;
  provisionalURL_.reset();
  if (report && client_) {
    client_->pageDidFailLoad(
        makeURLError(kURLErrorCancelled, url ? std::optional(url->absoluteString()) : std::nullopt), provisional);
  }
}

void WebPage::stopLoading() {
  ++hostLoadSerial_;
  hostLoadPending_ = false;
  cancelLoad(true);
}

void WebPage::followInPlace(const Navigation& navigation) {
  Navigation inPlace = navigation;
  inPlace.newWindow = false;
  inPlace.mainFrame = true;
  navigate(std::move(inPlace), std::nullopt, true);
}

void WebPage::failLoad(std::uint64_t serial, const ErrorPtr& error) {
  if (serial != serial_ || !loading_) return;
  const bool provisional = provisional_;
  ++serial_;
  loading_ = false;
  provisional_ = false;
  provisionalURL_.reset();
  mainLoad_.reset();
  if (client_) client_->pageDidFailLoad(error, provisional);
}

bool WebPage::ensureProcess() {
  if (process_ && process_->isAlive()) return true;
  process_ = ContentProcess::launch();
  processEverStarted_ = true;
  reportedProcess_ = nullptr;
  return process_ != nullptr;
}

void WebPage::commit(std::uint64_t serial, platform::URL documentURL, const std::string& html) {
  if (serial != serial_ || !client_) return;
  mainLoad_.reset();
  provisional_ = false;
  provisionalURL_.reset();
  documentURL_ = documentURL;
  clearTimers();
  readyState_ = "loading";
  bodyText_.clear();
  title_.clear();
  backgroundColor_.reset();
  contentWidth_.reset();
  contentHeight_.reset();
  // A process that was killed is replaced by the next document.
  if (!ensureProcess()) {
    noteTermination("it could not be started");
    failLoad(serial, makeWebContentProcessTerminatedError(terminationReason_));
    return;
  }
  client_->pageDidCommitLoad();
  if (serial != serial_) return;

  const HTMLDocument document = HTMLDocument::parse(html);
  title_ = document.title();
  pendingScripts_.clear();
  pendingLoad_ = Json{{"op", "load"},
                      {"documentURL", documentURL.absoluteString()},
                      {"title", document.title()},
                      {"bodyText", document.bodyText()},
                      {"bodyStyle", document.bodyStyle()},
                      {"elements", Json::array()}};
  for (const auto& element : document.elements()) {
    Json item = {{"tag", element.tag},   {"id", element.id},         {"name", element.name},    {"src", element.src},
                 {"href", element.href}, {"target", element.target}, {"action", element.action}};
    // Links, forms and frames point at absolute URLs, as the page's DOM would show them.
    for (const char* key : {"src", "href", "action"}) {
      std::string value = item[key].get<std::string>();
      if (value.empty()) continue;
      if (auto resolved = URL::fromString(value, documentURL)) item[key] = resolved->absoluteString();
    }
    pendingLoad_["elements"].push_back(std::move(item));
  }
  std::weak_ptr<WebPage> weak = weak_from_this();
  for (const auto& script : document.scripts()) {
    if (!script.isJavaScript) continue;
    if (!script.src) {
      pendingScripts_.push_back({script.text, {}, true});
      continue;
    }
    auto url = URL::fromString(*script.src, documentURL);
    if (!url) {
      addConsoleMessage("error", "cannot load script " + *script.src);
      continue;
    }
    const std::size_t index = pendingScripts_.size();
    pendingScripts_.push_back({{}, url->absoluteString(), false});
    ++fetchesLeft_;
    URLRequest request(*url);
    request.setMainDocumentURL(documentURL);
    request.setValue(ContentProcess::defaultOptions().userAgent, "User-Agent");
    request.setProperty(identifier_, std::string(kURLRequestWebPageIdentifierProperty));
    auto fetch = std::make_shared<MainLoad>(
        [weak, serial, index](std::optional<HTTPURLResponse> response, std::string data, ErrorPtr error) {
          auto self = weak.lock();
          if (!self || serial != self->serial_ || index >= self->pendingScripts_.size()) return;
          auto& pending = self->pendingScripts_[index];
          pending.fetched = true;
          if (error || !response || response->statusCode() >= 400) {
            self->addConsoleMessage("error", "cannot load script " + pending.url);
          } else {
            pending.text = std::move(data);
          }
          if (--self->fetchesLeft_ == 0) self->runDocument(serial);
        });
    fetch->start(request, fetch);
  }
  // Frames with a source navigate as the document is read.
  for (const auto& element : document.elements()) {
    if (element.tag != "iframe" || element.src.empty()) continue;
    ContentProtocol::Event event;
    event.type = ContentProtocol::Event::Type::Navigation;
    event.url = element.src;
    event.mainFrame = false;
    event.frame = element.name.empty() ? element.id : element.name;
    handleNavigation(event, false);
    if (serial != serial_) return;
  }
  if (fetchesLeft_ == 0) runDocument(serial);
}

void WebPage::runDocument(std::uint64_t serial) {
  if (serial != serial_ || !client_) return;
  Json scripts = Json::array();
  const auto userScripts = client_->pageUserScripts();
  for (const auto& script : userScripts) {
    if (script.atDocumentStart) scripts.push_back({{"phase", "start"}, {"text", script.source}});
  }
  for (const auto& script : pendingScripts_) {
    if (script.fetched) scripts.push_back({{"phase", "page"}, {"text", script.text}, {"url", script.url}});
  }
  for (const auto& script : userScripts) {
    if (!script.atDocumentStart) scripts.push_back({{"phase", "end"}, {"text", script.source}});
  }
  pendingScripts_.clear();
  Json request = std::move(pendingLoad_);
  pendingLoad_ = Json();
  request["scripts"] = std::move(scripts);
  if (!process_) {
    processTerminated();
    return;
  }
  // Answered on a later turn: the main loop goes on while the page runs.
  std::weak_ptr<WebPage> weak = weak_from_this();
  process_->sendAsync(std::move(request), {}, [weak, serial](std::optional<ContentProtocol::Reply> reply) {
    auto self = weak.lock();
    if (!self) return;
    if (!reply) {
      self->processTerminated();
      return;
    }
    self->noteDroppedEvents(reply->droppedEvents);
    self->handleEvents(reply->events, serial, 0);
    self->finishLoad(serial);
  });
}

void WebPage::finishLoad(std::uint64_t serial) {
  if (serial != serial_ || !loading_) return;
  loading_ = false;
  if (client_) client_->pageDidFinishLoad();
}

WebPage::EvaluationResult WebPage::evaluate(const std::string& script) {
  auto self = shared_from_this();
  if (!process_ && !processEverStarted_) ensureProcess();
  if (!process_ || !process_->isAlive()) return terminatedResult();
  auto reply = process_->send({{"op", "evaluate"}, {"script", script}});
  return evaluated(std::move(reply), serial_);
}

void WebPage::evaluate(const std::string& script, std::function<void(EvaluationResult)> done) {
  if (!process_ && !processEverStarted_) ensureProcess();
  if (!process_ || !process_->isAlive()) {
    if (done) done(terminatedResult());
    return;
  }
  std::weak_ptr<WebPage> weak = weak_from_this();
  process_->sendAsync({{"op", "evaluate"}, {"script", script}}, {},
                      [weak, serial = serial_, done = std::move(done)](std::optional<ContentProtocol::Reply> reply) {
                        auto self = weak.lock();
                        if (!self) return;
                        auto result = self->evaluated(std::move(reply), serial);
                        if (done) done(std::move(result));
                      });
}

WebPage::EvaluationResult WebPage::terminatedResult() const {
  EvaluationResult result;
  result.error = makeWebContentProcessTerminatedError(terminationReason_);
  return result;
}

WebPage::EvaluationResult WebPage::evaluated(std::optional<ContentProtocol::Reply> reply, std::uint64_t serial) {
  auto self = shared_from_this();
  if (!reply) {
    processTerminated();
    return terminatedResult();
  }
  noteDroppedEvents(reply->droppedEvents);
  handleEvents(reply->events, serial, 0);
  EvaluationResult result;
  if (reply->error) {
    Error::Details details;
    details.localizedDescription = "A JavaScript exception occurred";
    details.localizedFailureReason = reply->error->name + ": " + reply->error->message;
    result.error = Error::create(kWebContentErrorDomain, kWebContentErrorJavaScriptException,
                                 Json{{"ExceptionMessage", reply->error->message}}, std::move(details));
  } else if (reply->unsupported) {
    Error::Details details;
    details.localizedDescription = "JavaScript execution returned a result of an unsupported type";
    result.error = Error::create(kWebContentErrorDomain, kWebContentErrorJavaScriptResultTypeIsUnsupported,
                                 Json::object(), std::move(details));
  } else {
    if (reply->result) result.result = std::move(*reply->result);
    result.text = std::move(reply->text);
  }
  return result;
}

bool WebPage::isBusy() const { return process_ && process_->hasOutstandingRequests(); }

void WebPage::noteTermination(std::string reason) {
  if (reason.empty()) reason = "it ended";
  SystemLog::write("web", "the page's content process ended: " + reason);
  terminationReason_ = std::move(reason);
}

void WebPage::processTerminated() {
  // Each request the process still owed fails too; the end is reported once.
  if (process_ && process_.get() == reportedProcess_) return;
  reportedProcess_ = process_.get();
  noteTermination(process_ ? process_->terminationReason() : "it could not be started");
  clearTimers();
  const bool wasLoading = loading_;
  const auto url = URL();
  ++serial_;
  loading_ = false;
  provisional_ = false;
  provisionalURL_.reset();
  if (!client_) return;
  if (wasLoading) {
    Error::Details details;
    details.localizedDescription = "The web page's content process ended.";
    details.localizedFailureReason = terminationReason_;
    Json userInfo = Json::object();
    if (url) userInfo[kErrorFailingURLStringKey] = url->absoluteString();
    client_->pageDidFailLoad(
        Error::create(kWebContentErrorDomain, kWebContentErrorProcessTerminated, userInfo, std::move(details)), false);
  }
  if (client_) client_->pageWebContentProcessDidTerminate();
}

void WebPage::handleEvents(const std::vector<ContentProtocol::Event>& events, std::uint64_t serial, int timerNesting) {
  using Type = ContentProtocol::Event::Type;
  auto self = shared_from_this();
  bool sizeChanged = false;
  for (const auto& event : events) {
    // A report may start a new document; what the old one did after that is void.
    if (serial != serial_ || !client_) return;
    switch (event.type) {
      case Type::Navigation:
        handleNavigation(event, false);
        break;
      case Type::OpenWindow:
        handleNavigation(event, true);
        break;
      case Type::SetTimer:
        setTimer(event.timer, event.delay, event.repeats, timerNesting + 1, serial);
        break;
      case Type::ClearTimer:
        if (auto it = timers_.find(event.timer); it != timers_.end()) {
          it->second.timer->invalidate();
          timers_.erase(it);
        }
        break;
      case Type::Console:
        addConsoleMessage(event.level, event.message);
        break;
      case Type::Alert:
        addAlert(event.message);
        break;
      case Type::ReadyState:
        readyState_ = event.text;
        break;
      case Type::BodyText:
        bodyText_ = event.text;
        break;
      case Type::BackgroundColor:
        backgroundColor_ = CSSColor::parse(event.text);
        break;
      case Type::ContentSize:
        if (event.width != contentWidth_ || event.height != contentHeight_) {
          contentWidth_ = event.width;
          contentHeight_ = event.height;
          sizeChanged = true;
        }
        break;
    }
  }
  if (sizeChanged && serial == serial_ && client_) client_->pageContentSizeDidChange();
}

void WebPage::handleNavigation(const ContentProtocol::Event& event, bool newWindow) {
  const platform::URL base = documentURL_.value_or(aboutBlank());
  auto url = URL::fromString(event.url, base);
  if (!url) {
    addConsoleMessage("warn", "navigation to an invalid URL: " + event.url);
    return;
  }
  Navigation navigation = makeNavigation(*url, event.navigationKind, newWindow || event.mainFrame);
  navigation.newWindow = newWindow;
  if (newWindow) {
    client_->pageRequestsNewWindow(navigation);
    return;
  }
  std::weak_ptr<WebPage> weak = weak_from_this();
  if (navigation.mainFrame) {
    navigate(std::move(navigation), std::nullopt, true);
    return;
  }
  auto decided = std::make_shared<bool>(false);
  client_->pageDecidePolicy(navigation, [weak, decided, navigation](bool allow) {
    if (std::exchange(*decided, true) || !allow) return;
    auto self = weak.lock();
    if (!self || !self->client_) return;
    const auto& u = *navigation.request.url();
    ErrorPtr error;
    if (!schemeIs(u, "http") && !schemeIs(u, "https") && !schemeIs(u, "about")) {
      error = makeURLError(kURLErrorUnsupportedURL, u.absoluteString());
    }
    self->client_->pageDidLoadSubframe(navigation, error);
  });
}

void WebPage::setTimer(std::int64_t id, double delay, bool repeats, int nesting, std::uint64_t serial) {
  if (auto it = timers_.find(id); it != timers_.end()) {
    it->second.timer->invalidate();
  } else if (timers_.size() >= kMaxTimers) {
    addConsoleMessage("warn", "too many timers; one was dropped");
    return;
  }
  if (!std::isfinite(delay) || delay < 0) delay = 0;
  if (repeats || nesting > kTimerNestingLimit) delay = std::max(delay, kMinimumNestedDelay);
  std::weak_ptr<WebPage> weak = weak_from_this();
  auto timer = Timer::create(delay, repeats, [weak, id, serial](Timer&) {
    if (auto self = weak.lock()) self->fireTimer(id, serial);
  });
  timers_[id] = {timer, nesting};
  RunLoop::main().addTimer(timer, kCommonRunLoopModes);
}

void WebPage::fireTimer(std::int64_t id, std::uint64_t serial) {
  auto it = timers_.find(id);
  if (it == timers_.end() || serial != serial_ || !process_) return;
  // A repeating timer whose last fire is not answered yet skips this one, so a slow page
  // cannot pile up fires.
  if (!timersFiring_.insert(id).second) return;
  const int nesting = it->second.nesting;
  if (!it->second.timer->repeats()) timers_.erase(it);
  std::weak_ptr<WebPage> weak = weak_from_this();
  process_->sendAsync({{"op", "fireTimer"}, {"timer", id}}, {},
                      [weak, id, serial, nesting](std::optional<ContentProtocol::Reply> reply) {
                        auto self = weak.lock();
                        if (!self) return;
                        self->timersFiring_.erase(id);
                        if (!reply) {
                          self->processTerminated();
                          return;
                        }
                        self->noteDroppedEvents(reply->droppedEvents);
                        self->handleEvents(reply->events, serial, nesting);
                      });
}

void WebPage::addConsoleMessage(std::string level, std::string message) {
  keep(console_, ConsoleMessage{clipped(std::move(level), 64), clipped(std::move(message), kMaxMessageBytes)});
}

void WebPage::addAlert(const std::string& message) {
  keep(alerts_, clipped(message, kMaxMessageBytes));
  if (client_) client_->pageDidAlert(message);
}

void WebPage::recordEvaluatedScript(std::vector<std::string>& recorded, const std::string& script) {
  recorded.push_back(script);
  std::size_t bytes = 0;
  std::size_t keepFrom = recorded.size();
  while (keepFrom > 0 && recorded.size() - keepFrom < kMaxRecordedScripts &&
         (keepFrom == recorded.size() || bytes + recorded[keepFrom - 1].size() <= kMaxKeptBytes)) {
    bytes += recorded[--keepFrom].size();
  }
  recorded.erase(recorded.begin(), recorded.begin() + static_cast<std::ptrdiff_t>(keepFrom));
}

void WebPage::noteDroppedEvents(std::uint64_t count) {
  if (count == 0) return;
  if (droppedPageEvents_ == 0) {
    SystemLog::write("web", "page made " + std::to_string(count) +
                                " events past the limit of one turn, or navigations to URLs too long to read; they "
                                "were dropped (later drops are only counted)");
  }
  droppedPageEvents_ += count;
}

void WebPage::clearTimers() {
  for (auto& [id, timer] : timers_) timer.timer->invalidate();
  timers_.clear();
  timersFiring_.clear();
}

void WebPage::draw(View::DrawContext& context, const Rect& bounds) const {
  if (backgroundColor_) context.fillRect(bounds, *backgroundColor_);
  if (bodyText_.empty()) return;
  // Text is drawn as one block of ink: 7 by 14 points a character, wrapped at the width.
  const double charWidth = 7, lineHeight = 14;
  const double perLine = std::max(1.0, std::floor(bounds.width() / charWidth));
  const double chars = static_cast<double>(bodyText_.size());
  const double lines = std::ceil(chars / perLine);
  Rect ink(bounds.minX(), bounds.minY(), std::min(bounds.width(), chars * charWidth),
           std::min(bounds.height(), lines * lineHeight));
  context.fillRect(ink, Color::black());
}

}  // namespace platform
