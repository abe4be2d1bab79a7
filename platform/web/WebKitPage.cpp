#include "platform/web/WebKitPage.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <set>
#include <stdlib.h>
#include <utility>
#include <vector>

#include <gtk/gtk.h>
#include <nlohmann/json.hpp>
#include <webkit2/webkit2.h>

#include "platform/base/DispatchQueue.h"
#include "platform/base/JSONParsing.h"
#include "platform/base/RunLoop.h"
#include "platform/base/SystemLog.h"
#include "platform/ui/Image.h"
#include "platform/web/ContentProcess.h"

namespace platform {

namespace {

using Json = nlohmann::ordered_json;

// How often the watchdog asks each page for its trivial answer.
constexpr guint kWatchdogIntervalMs = 100;
// At most this many ready GLib events a pass of the main loop, so a flood cannot hold it.
constexpr int kMaxDispatchPerPass = 64;

constexpr const char* kConsoleHandler = "morvaneConsole";
// Hands the page's console lines to the host; the page's own console still gets them.
constexpr const char* kConsoleScript = R"JS((function () {
  var handlers = window.webkit && window.webkit.messageHandlers;
  var handler = handlers && handlers.morvaneConsole;
  if (!handler) return;
  ['log', 'info', 'warn', 'error', 'debug'].forEach(function (level) {
    var original = console[level];
    console[level] = function () {
      try {
        handler.postMessage(JSON.stringify([level, Array.prototype.map.call(arguments, String).join(' ')]));
      } catch (e) {}
      if (original) return original.apply(console, arguments);
    };
  });
})();)JS";

double steadySeconds() { return static_cast<double>(g_get_monotonic_time()) / 1e6; }

// Serves GLib's default main context from the platform's main run loop.
class GLibEventSource final : public RunLoopEventSource {
 public:
  bool dispatchReady() override {
    int dispatched = 0;
    while (dispatched < kMaxDispatchPerPass && g_main_context_iteration(nullptr, FALSE)) ++dispatched;
    return dispatched > 0;
  }
  // One iteration of the context, its poll bounded by `limit` (GLib's own loop, with the
  // wait cut short; no timer source is made for it).
  bool waitAndDispatch(std::chrono::nanoseconds limit) override { return iterate(limit, {}); }
  // The same poll watches the content processes' sockets, so neither GLib's events nor a
  // page's reply waits for the other.
  bool waitAndDispatchWatching(std::chrono::nanoseconds limit, const std::vector<int>& descriptors) override {
    return iterate(limit, descriptors);
  }
  void wakeUp() override { g_main_context_wakeup(nullptr); }
  bool isBusy() const override { return WebKitPage::anyBusy(); }

 private:
  // Whether GLib dispatched anything.
  bool iterate(std::chrono::nanoseconds limit, const std::vector<int>& descriptors) {
    GMainContext* context = g_main_context_default();
    if (!g_main_context_acquire(context)) return false;
    gint priority = 0;
    g_main_context_prepare(context, &priority);
    gint timeout = 0;
    gint count = 0;
    while ((count = g_main_context_query(context, priority, &timeout, fds_.data(), static_cast<gint>(fds_.size()))) >
           static_cast<gint>(fds_.size())) {
      fds_.resize(static_cast<std::size_t>(count));
    }
    // Another source's descriptors follow GLib's own; GLib checks only its own.
    fds_.resize(std::max(fds_.size(), static_cast<std::size_t>(count) + descriptors.size()));
    for (std::size_t i = 0; i < descriptors.size(); ++i) {
      fds_[static_cast<std::size_t>(count) + i] = GPollFD{descriptors[i], G_IO_IN | G_IO_HUP | G_IO_ERR, 0};
    }
    const auto ms = std::clamp<long long>(std::chrono::ceil<std::chrono::milliseconds>(limit).count(), 0, 60'000);
    if (timeout < 0 || timeout > ms) timeout = static_cast<gint>(ms);
    g_poll(fds_.data(), static_cast<guint>(static_cast<std::size_t>(count) + descriptors.size()), timeout);
    const bool ready = g_main_context_check(context, priority, fds_.data(), count);
    if (ready) g_main_context_dispatch(context);
    g_main_context_release(context);
    return ready;
  }

  std::vector<GPollFD> fds_ = std::vector<GPollFD>(16);
};

std::set<const WebKitPage*>& livePages() {
  static std::set<const WebKitPage*> pages;
  return pages;
}

void pageCreated(const WebKitPage* page) {
  livePages().insert(page);
  if (livePages().size() == 1) RunLoop::main().setEventSource(std::make_shared<GLibEventSource>());
}

void pageDestroyed(const WebKitPage* page) {
  livePages().erase(page);
  if (livePages().empty()) RunLoop::main().setEventSource(nullptr);
}

WebKitWebContext* sharedContext() {
  static WebKitWebContext* context = [] {
    WebKitMemoryPressureSettings* settings = webkit_memory_pressure_settings_new();
    webkit_memory_pressure_settings_set_memory_limit(settings, static_cast<guint>(WebKitPage::kMemoryLimit >> 20));
    webkit_memory_pressure_settings_set_kill_threshold(settings, 1.0);
    auto* created =
        WEBKIT_WEB_CONTEXT(g_object_new(WEBKIT_TYPE_WEB_CONTEXT, "memory-pressure-settings", settings, nullptr));
    webkit_memory_pressure_settings_free(settings);
    webkit_web_context_set_cache_model(created, WEBKIT_CACHE_MODEL_DOCUMENT_VIEWER);
    return created;
  }();
  return context;
}

WebPage::NavigationKind navigationKind(WebKitNavigationType type) {
  switch (type) {
    case WEBKIT_NAVIGATION_TYPE_LINK_CLICKED:
      return WebPage::NavigationKind::LinkClicked;
    case WEBKIT_NAVIGATION_TYPE_FORM_SUBMITTED:
      return WebPage::NavigationKind::FormSubmitted;
    case WEBKIT_NAVIGATION_TYPE_BACK_FORWARD:
      return WebPage::NavigationKind::BackForward;
    case WEBKIT_NAVIGATION_TYPE_RELOAD:
      return WebPage::NavigationKind::Reload;
    case WEBKIT_NAVIGATION_TYPE_FORM_RESUBMITTED:
      return WebPage::NavigationKind::FormResubmitted;
    case WEBKIT_NAVIGATION_TYPE_OTHER:
      break;
  }
  return WebPage::NavigationKind::Other;
}

ErrorPtr loadError(int domainIsNetwork, int code, const std::string& uri, const std::string& message) {
  int mapped = kURLErrorUnknown;
  if (domainIsNetwork) {
    switch (code) {
      case WEBKIT_NETWORK_ERROR_CANCELLED:
        mapped = kURLErrorCancelled;
        break;
      case WEBKIT_NETWORK_ERROR_UNKNOWN_PROTOCOL:
        mapped = kURLErrorUnsupportedURL;
        break;
      case WEBKIT_NETWORK_ERROR_FILE_DOES_NOT_EXIST:
        mapped = kURLErrorFileDoesNotExist;
        break;
      case WEBKIT_NETWORK_ERROR_TRANSPORT:
        mapped = kURLErrorCannotConnectToHost;
        break;
      default:
        break;
    }
  }
  auto error = makeURLError(mapped, uri);
  if (mapped == kURLErrorUnknown || mapped == kURLErrorCannotConnectToHost) {
    SystemLog::write("web", "WebKit could not load " + uri + ": " + message);
  }
  return error;
}

ErrorPtr terminatedError() { return makeWebContentProcessTerminatedError(); }

// A policy decision held until the client answers; one left unanswered is ignored.
struct HeldDecision {
  explicit HeldDecision(WebKitPolicyDecision* d) : decision(WEBKIT_POLICY_DECISION(g_object_ref(d))) {}
  ~HeldDecision() {
    decide(false);
    g_object_unref(decision);
  }
  HeldDecision(const HeldDecision&) = delete;
  HeldDecision& operator=(const HeldDecision&) = delete;
  void decide(bool allow) {
    if (std::exchange(decided, true)) return;
    if (allow) {
      webkit_policy_decision_use(decision);
    } else {
      webkit_policy_decision_ignore(decision);
    }
  }
  WebKitPolicyDecision* decision;
  bool decided = false;
};

// What an asynchronous WebKit call hands back to its page, if the page still lives.
template <typename Result>
struct Pending {
  std::weak_ptr<WebPage> page;
  std::function<void(WebKitPage&, Result)> done;
};

// Runs a script of the host's and has the page itself serialise its value (keeping its
// keys' order) and say what it was. Defined in each document at its start, so an
// evaluation sends only the call; a page that took the name away gets it inline.
constexpr const char* kEvaluateFunction =
    "function(s){try{var v=(0,eval)(s);var t=typeof v;"
    "if(t==='function'||t==='symbol'||t==='bigint')return JSON.stringify({u:1});"
    "var j;try{j=v===undefined?null:JSON.stringify(v);}catch(x){return JSON.stringify({u:1});}"
    "if(j===undefined)return JSON.stringify({u:1});"
    "return JSON.stringify({r:j,t:v==null?'':String(v)});"
    "}catch(e){return JSON.stringify({e:[e&&e.name?String(e.name):'Error',"
    "e&&e.message!==undefined?String(e.message):String(e)]});}}";

std::string evaluateFunctionScript() {
  return std::string("Object.defineProperty(window,'__morvaneEvaluate',{value:") + kEvaluateFunction +
         ",configurable:true});";
}

std::string wrappedScript(const std::string& script) {
  const std::string source = nlohmann::json(script).dump();
  return "(typeof __morvaneEvaluate==='function'?__morvaneEvaluate:" + std::string(kEvaluateFunction) + ")(" + source +
         ")";
}

WebPage::EvaluationResult evaluationResult(const std::string& answer) {
  WebPage::EvaluationResult result;
  const Json reply = parseJSON(answer, JSONParseFailure::Discard);
  if (!reply.is_object()) {
    result.error = Error::create(kWebContentErrorDomain, kWebContentErrorUnknown);
    return result;
  }
  if (reply.contains("e") && reply["e"].is_array() && reply["e"].size() == 2) {
    const std::string name = reply["e"][0].is_string() ? reply["e"][0].get<std::string>() : "Error";
    const std::string message = reply["e"][1].is_string() ? reply["e"][1].get<std::string>() : "";
    Error::Details details;
    details.localizedDescription = "A JavaScript exception occurred";
    details.localizedFailureReason = name + ": " + message;
    result.error = Error::create(kWebContentErrorDomain, kWebContentErrorJavaScriptException,
                                 Json{{"ExceptionMessage", message}}, std::move(details));
  } else if (reply.contains("u")) {
    Error::Details details;
    details.localizedDescription = "JavaScript execution returned a result of an unsupported type";
    result.error = Error::create(kWebContentErrorDomain, kWebContentErrorJavaScriptResultTypeIsUnsupported,
                                 Json::object(), std::move(details));
  } else {
    if (reply.contains("r") && reply["r"].is_string()) {
      result.result = parseJSON(reply["r"].get<std::string>(), JSONParseFailure::Discard);
      if (result.result.is_discarded()) result.result = nullptr;
    }
    if (reply.contains("t") && reply["t"].is_string()) result.text = reply["t"].get<std::string>();
  }
  return result;
}

// Runs GLib's main context until `done()` or `seconds` of real time have passed.
bool waitInGLib(const std::function<bool()>& done, double seconds) {
  GLibEventSource source;
  const double end = steadySeconds() + seconds;
  while (!done()) {
    const double left = end - steadySeconds();
    if (left <= 0) return false;
    source.waitAndDispatch(std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::duration<double>(left)));
  }
  return true;
}

}  // namespace

struct WebKitPage::Native {
  GtkWidget* window = nullptr;
  WebKitWebView* view = nullptr;
  WebKitUserContentManager* content = nullptr;
  guint watchdog = 0;
  // The holder the watchdog's GLib timer points at.
  std::weak_ptr<WebPage>* watchdogPage = nullptr;
};

bool WebKitPage::anyBusy() {
  for (const WebKitPage* page : livePages()) {
    if (page->attached_ && (page->evaluationsInFlight_ > 0 || page->isLoading())) return true;
  }
  return false;
}

bool WebKitPage::isAvailable() {
  static const bool available = [] {
    // Pixels are the same without compositing, and a page takes about half the memory.
    setenv("WEBKIT_DISABLE_COMPOSITING_MODE", "1", 0);
    return gtk_init_check(nullptr, nullptr) != FALSE;
  }();
  return available;
}

std::shared_ptr<WebKitPage> WebKitPage::create(Client* client) {
  if (!isAvailable()) return nullptr;
  auto page = std::shared_ptr<WebKitPage>(new WebKitPage(client));
  auto* holder = new std::weak_ptr<WebPage>(page);
  page->native_->watchdogPage = holder;
  page->native_->watchdog = g_timeout_add_full(
      G_PRIORITY_DEFAULT, kWatchdogIntervalMs,
      [](gpointer data) -> gboolean {
        auto self = std::static_pointer_cast<WebKitPage>(static_cast<std::weak_ptr<WebPage>*>(data)->lock());
        if (self) self->watchdogTick();
        return G_SOURCE_CONTINUE;
      },
      holder, [](gpointer data) { delete static_cast<std::weak_ptr<WebPage>*>(data); });
  return page;
}

WebKitPage::WebKitPage(Client* client) : WebPage(client), native_(std::make_unique<Native>()) {
  pageCreated(this);
  auto& n = *native_;
  n.content = webkit_user_content_manager_new();
  g_signal_connect(n.content, "script-message-received::morvaneConsole",
                   G_CALLBACK(+[](WebKitUserContentManager*, WebKitJavascriptResult* message, gpointer self) {
                     char* text = jsc_value_to_string(webkit_javascript_result_get_js_value(message));
                     static_cast<WebKitPage*>(self)->onConsole(text ? text : "");
                     g_free(text);
                   }),
                   this);
  webkit_user_content_manager_register_script_message_handler(n.content, kConsoleHandler);
  n.view = WEBKIT_WEB_VIEW(
      g_object_new(WEBKIT_TYPE_WEB_VIEW, "web-context", sharedContext(), "user-content-manager", n.content, nullptr));
  WebKitSettings* settings = webkit_web_view_get_settings(n.view);
  webkit_settings_set_user_agent(settings, ContentProcess::defaultOptions().userAgent.c_str());
  webkit_settings_set_javascript_can_open_windows_automatically(settings, TRUE);
  n.window = gtk_offscreen_window_new();
  gtk_window_set_default_size(GTK_WINDOW(n.window), static_cast<int>(viewport_.width),
                              static_cast<int>(viewport_.height));
  gtk_container_add(GTK_CONTAINER(n.window), GTK_WIDGET(n.view));
  gtk_widget_show_all(n.window);

  g_signal_connect(n.view, "load-changed", G_CALLBACK(+[](WebKitWebView*, WebKitLoadEvent event, gpointer self) {
                     static_cast<WebKitPage*>(self)->onLoadChanged(event);
                   }),
                   this);
  g_signal_connect(
      n.view, "load-failed",
      G_CALLBACK(+[](WebKitWebView*, WebKitLoadEvent, gchar* uri, GError* error, gpointer self) -> gboolean {
        static_cast<WebKitPage*>(self)->onLoadFailed(uri ? uri : "",
                                                     error->domain == WEBKIT_NETWORK_ERROR  ? 1
                                                     : error->domain == WEBKIT_POLICY_ERROR ? 2
                                                                                            : 0,
                                                     error->code, error->message ? error->message : "");
        return TRUE;  // no error page
      }),
      this);
  g_signal_connect(n.view, "decide-policy",
                   G_CALLBACK(+[](WebKitWebView*, WebKitPolicyDecision* decision, WebKitPolicyDecisionType type,
                                  gpointer self) -> gboolean {
                     static_cast<WebKitPage*>(self)->onDecidePolicy(decision, type);
                     return TRUE;
                   }),
                   this);
  g_signal_connect(n.view, "web-process-terminated",
                   G_CALLBACK(+[](WebKitWebView*, WebKitWebProcessTerminationReason reason, gpointer self) {
                     static_cast<WebKitPage*>(self)->onTerminated(reason);
                   }),
                   this);
  g_signal_connect(n.view, "script-dialog",
                   G_CALLBACK(+[](WebKitWebView*, WebKitScriptDialog* dialog, gpointer self) -> gboolean {
                     switch (webkit_script_dialog_get_dialog_type(dialog)) {
                       case WEBKIT_SCRIPT_DIALOG_ALERT:
                         static_cast<WebKitPage*>(self)->onScriptDialog(webkit_script_dialog_get_message(dialog));
                         break;
                       case WEBKIT_SCRIPT_DIALOG_CONFIRM:
                         webkit_script_dialog_confirm_set_confirmed(dialog, FALSE);
                         break;
                       case WEBKIT_SCRIPT_DIALOG_BEFORE_UNLOAD_CONFIRM:
                         webkit_script_dialog_confirm_set_confirmed(dialog, TRUE);
                         break;
                       default:
                         break;
                     }
                     return TRUE;  // no dialog of WebKit's own
                   }),
                   this);
}

WebKitPage::~WebKitPage() {
  detach();
  auto& n = *native_;
  if (n.watchdog) g_source_remove(n.watchdog);
  g_signal_handlers_disconnect_by_data(n.view, this);
  g_signal_handlers_disconnect_by_data(n.content, this);
  gtk_widget_destroy(n.window);
  g_object_unref(n.content);
  pageDestroyed(this);
}

void WebKitPage::detach() {
  attached_ = false;
  cancelFetch(hostFetch_);
  hostFetch_.reset();
  WebPage::detach();
  if (native_->view) webkit_web_view_stop_loading(native_->view);
}

void WebKitPage::post(std::function<void(WebKitPage&)> report) {
  std::weak_ptr<WebPage> weak = weak_from_this();
  DispatchQueue::main()->async([weak, report = std::move(report)] {
    auto self = std::static_pointer_cast<WebKitPage>(weak.lock());
    if (self && self->attached_ && self->client()) report(*self);
  });
}

// --- Loading -------------------------------------------------------------------------

void WebKitPage::installUserScripts() {
  auto* content = native_->content;
  webkit_user_content_manager_remove_all_scripts(content);
  auto add = [content](const std::string& source, bool atStart) {
    WebKitUserScript* script = webkit_user_script_new(
        source.c_str(), WEBKIT_USER_CONTENT_INJECT_TOP_FRAME,
        atStart ? WEBKIT_USER_SCRIPT_INJECT_AT_DOCUMENT_START : WEBKIT_USER_SCRIPT_INJECT_AT_DOCUMENT_END, nullptr,
        nullptr);
    webkit_user_content_manager_add_script(content, script);
    webkit_user_script_unref(script);
  };
  add(kConsoleScript, true);
  add(evaluateFunctionScript(), true);
  if (!client()) return;
  for (const auto& script : client()->pageUserScripts()) add(script.source, script.atDocumentStart);
}

void WebKitPage::loadHTMLString(const std::string& html, const std::optional<platform::URL>& baseURL) {
  processGone_ = false;
  cancelFetch(std::exchange(hostFetch_, nullptr));
  hostFetchURL_.reset();
  expectedHTMLLoad_.reset();
  installUserScripts();
  const std::string base = baseURL ? baseURL->absoluteString() : "about:blank";
  webkit_web_view_load_html(native_->view, html.c_str(), base.c_str());
}

void WebKitPage::loadRequest(const URLRequest& request) {
  if (!request.url()) {
    if (client()) client()->pageDidFailLoad(makeURLError(kURLErrorBadURL), true);
    return;
  }
  processGone_ = false;
  cancelFetch(std::exchange(hostFetch_, nullptr));
  hostFetchURL_.reset();
  expectedHTMLLoad_.reset();
  installUserScripts();
  const auto& url = *request.url();
  const auto scheme = url.scheme().value_or("");
  if (scheme == "http" || scheme == "https") {
    // WebKit cannot hand its own loads to the platform: the host's request is asked
    // about, fetched here and shown at its URL.
    Navigation navigation;
    navigation.request = request;
    navigation.request.setMainDocumentURL(url);
    if (!navigation.request.valueForHTTPHeaderField("User-Agent")) {
      navigation.request.setValue(ContentProcess::defaultOptions().userAgent, "User-Agent");
    }
    hostFetchURL_ = url;
    post([navigation](WebKitPage& self) {
      if (self.hostFetchURL_ != navigation.request.url()) return;
      std::weak_ptr<WebPage> weak = self.weak_from_this();
      self.client()->pageDecidePolicy(navigation, [weak, navigation](bool allow) {
        auto page = std::static_pointer_cast<WebKitPage>(weak.lock());
        if (!page || !page->attached_ || page->hostFetchURL_ != navigation.request.url() || page->hostFetch_) return;
        if (!allow) {
          page->hostFetchURL_.reset();
          return;
        }
        page->beginHostFetch(navigation.request);
      });
    });
    return;
  }
  WebKitURIRequest* uriRequest = webkit_uri_request_new(url.absoluteString().c_str());
  webkit_web_view_load_request(native_->view, uriRequest);
  g_object_unref(uriRequest);
}

void WebKitPage::beginHostFetch(const URLRequest& request) {
  loading_ = true;
  provisional_ = true;
  client()->pageDidStartProvisionalLoad(request);
  if (!attached_ || hostFetchURL_ != request.url()) return;
  std::weak_ptr<WebPage> weak = weak_from_this();
  const platform::URL url = *request.url();
  hostFetch_ = fetch(request, [weak, url](std::optional<HTTPURLResponse> response, std::string body, ErrorPtr error) {
    auto self = std::static_pointer_cast<WebKitPage>(weak.lock());
    if (!self || !self->attached_ || !self->hostFetch_) return;
    self->hostFetch_.reset();
    if (error || !response) {
      self->hostFetchURL_.reset();
      self->loading_ = false;
      self->provisional_ = false;
      if (self->client()) self->client()->pageDidFailLoad(error ? error : makeURLError(kURLErrorUnknown), true);
      return;
    }
    const std::string shownAt = response->url().absoluteString();
    self->expectedHTMLLoad_ = shownAt;
    webkit_web_view_load_html(self->native_->view, body.c_str(), shownAt.c_str());
  });
}

void WebKitPage::stopLoading() {
  if (hostFetch_ || hostFetchURL_) {
    cancelFetch(std::exchange(hostFetch_, nullptr));
    const auto url = std::exchange(hostFetchURL_, std::nullopt);
    const bool wasLoading = std::exchange(loading_, false);
    provisional_ = false;
    if (wasLoading && client()) {
      client()->pageDidFailLoad(
          makeURLError(kURLErrorCancelled, url ? std::optional(url->absoluteString()) : std::nullopt), true);
    }
    return;
  }
  webkit_web_view_stop_loading(native_->view);
}

void WebKitPage::reload() {
  processGone_ = false;
  webkit_web_view_reload(native_->view);
}
void WebKitPage::goBack() {
  processGone_ = false;
  webkit_web_view_go_back(native_->view);
}
void WebKitPage::goForward() {
  processGone_ = false;
  webkit_web_view_go_forward(native_->view);
}
bool WebKitPage::canGoBack() const { return webkit_web_view_can_go_back(native_->view); }
bool WebKitPage::canGoForward() const { return webkit_web_view_can_go_forward(native_->view); }

bool WebKitPage::isLoading() const {
  return loading_ || hostFetch_ || hostFetchURL_ || webkit_web_view_is_loading(native_->view);
}

void WebKitPage::followInPlace(const Navigation& navigation) { loadRequest(navigation.request); }

std::optional<URL> WebKitPage::URL() const {
  if (hostFetchURL_) return hostFetchURL_;
  const char* uri = webkit_web_view_get_uri(native_->view);
  if (!uri) return std::nullopt;
  return platform::URL::fromString(uri);
}

std::string WebKitPage::title() const {
  const char* title = webkit_web_view_get_title(native_->view);
  return title ? title : "";
}

// --- What WebKit reports ---------------------------------------------------------------

void WebKitPage::onLoadChanged(int event) {
  if (event == WEBKIT_LOAD_STARTED) documentCommitted_ = false;
  if (event == WEBKIT_LOAD_COMMITTED) documentCommitted_ = true;
  const char* uri = webkit_web_view_get_uri(native_->view);
  const std::string at = uri ? uri : "about:blank";
  post([event, at](WebKitPage& self) {
    switch (event) {
      case WEBKIT_LOAD_STARTED: {
        self.loadFailed_ = false;
        self.terminationPending_ = false;
        // A fetched document of the host was reported when its fetch began.
        if (self.expectedHTMLLoad_ && *self.expectedHTMLLoad_ == at) {
          self.expectedHTMLLoad_.reset();
          return;
        }
        self.loading_ = true;
        self.provisional_ = true;
        auto url = platform::URL::fromString(at);
        self.client()->pageDidStartProvisionalLoad(url ? URLRequest(*url) : URLRequest());
        break;
      }
      case WEBKIT_LOAD_COMMITTED:
        self.loading_ = true;
        self.provisional_ = false;
        self.hostFetchURL_.reset();
        self.contentSize_.reset();
        self.client()->pageDidCommitLoad();
        break;
      case WEBKIT_LOAD_FINISHED:
        if (self.loadFailed_ || !self.loading_) return;
        self.loading_ = false;
        self.client()->pageDidFinishLoad();
        if (self.attached_) self.updateContentSize();
        break;
      default:
        break;
    }
  });
}

void WebKitPage::onLoadFailed(const std::string& uri, int domain, int code, const std::string& message) {
  // A navigation the client turned down ends WebKit's load; nothing had started.
  if (domain == 2 && code == WEBKIT_POLICY_ERROR_FRAME_LOAD_INTERRUPTED_BY_POLICY_CHANGE) return;
  auto error = loadError(domain == 1, code, uri, message);
  post([error](WebKitPage& self) {
    self.loadFailed_ = true;
    if (!self.loading_) return;
    const bool provisional = std::exchange(self.provisional_, false);
    self.loading_ = false;
    self.client()->pageDidFailLoad(error, provisional);
  });
}

void WebKitPage::onDecidePolicy(void* rawDecision, int type) {
  auto* decision = static_cast<WebKitPolicyDecision*>(rawDecision);
  if (type == WEBKIT_POLICY_DECISION_TYPE_RESPONSE) {
    webkit_policy_decision_use(decision);
    return;
  }
  WebKitNavigationAction* action =
      webkit_navigation_policy_decision_get_navigation_action(WEBKIT_NAVIGATION_POLICY_DECISION(decision));
  const char* uri = webkit_uri_request_get_uri(webkit_navigation_action_get_request(action));
  if (uri && std::strlen(uri) > kMaxNavigationURLBytes) {
    webkit_policy_decision_ignore(decision);
    noteDroppedEvents(1);
    return;
  }
  const std::string target = uri ? uri : "";
  const auto kind = navigationKind(webkit_navigation_action_get_navigation_type(action));
  if (type == WEBKIT_POLICY_DECISION_TYPE_NAVIGATION_ACTION && expectedHTMLLoad_ && *expectedHTMLLoad_ == target) {
    // The host's fetched document: its navigation was decided before the fetch.
    webkit_policy_decision_use(decision);
    return;
  }
  auto url = platform::URL::fromString(target);
  if (!url) {
    webkit_policy_decision_ignore(decision);
    return;
  }
  Navigation navigation = makeNavigation(*url, kind, true);
  if (type == WEBKIT_POLICY_DECISION_TYPE_NEW_WINDOW_ACTION) {
    webkit_policy_decision_ignore(decision);
    navigation.newWindow = true;
    post([navigation](WebKitPage& self) { self.client()->pageRequestsNewWindow(navigation); });
    return;
  }
  const std::string scheme = url->scheme().value_or("");
  if (scheme != "http" && scheme != "https" && scheme != "about" && scheme != "data" && scheme != "file" &&
      scheme != "blob") {
    // A message to the host (tolm:, an application's scheme), which WebKit cannot load:
    // turned down at once, so the page's next message is not held behind it, and still
    // asked about. A client that lets it through gets the load WebKit would fail.
    webkit_policy_decision_ignore(decision);
    post([navigation](WebKitPage& self) { self.client()->pageDecidePolicy(navigation, [](bool) {}); });
    return;
  }
  auto held = std::make_shared<HeldDecision>(decision);
  post([navigation, held](WebKitPage& self) {
    std::weak_ptr<WebPage> weak = self.weak_from_this();
    self.client()->pageDecidePolicy(navigation, [held, weak](bool allow) {
      auto page = std::static_pointer_cast<WebKitPage>(weak.lock());
      if (allow && page) page->installUserScripts();
      held->decide(allow && page && page->attached_);
    });
  });
}

void WebKitPage::onTerminated(int reason) {
  heartbeatPending_ = false;
  // The next web process starts with its whole budget.
  busy_.reset();
  processGone_ = true;
  // The document went with its process: the next one is watched once it commits, so a
  // new web process is not timed while it starts.
  documentCommitted_ = false;
  const char* why = reason == WEBKIT_WEB_PROCESS_EXCEEDED_MEMORY_LIMIT ? "it exceeded its memory limit"
                    : reason == WEBKIT_WEB_PROCESS_TERMINATED_BY_API   ? "the host ended it"
                                                                       : "it crashed";
  // Ended by this page: the reason it gave says more than "the host ended it".
  noteTermination(terminationPending_ ? endingReason_ : why);
  post([](WebKitPage& self) {
    self.terminationPending_ = false;
    const bool wasLoading = std::exchange(self.loading_, false);
    self.provisional_ = false;
    if (wasLoading) {
      self.client()->pageDidFailLoad(makeWebContentProcessTerminatedError(self.terminationReason()), false);
      if (!self.client()) return;
    }
    self.client()->pageWebContentProcessDidTerminate();
  });
}

void WebKitPage::onScriptDialog(const std::string& message) {
  post([message](WebKitPage& self) { self.addAlert(message); });
}

void WebKitPage::onConsole(const std::string& json) {
  post([json](WebKitPage& self) {
    const Json line = parseJSON(json, JSONParseFailure::Discard);
    if (line.is_array() && line.size() == 2 && line[0].is_string() && line[1].is_string()) {
      self.addConsoleMessage(line[0].get<std::string>(), line[1].get<std::string>());
    }
  });
}

// --- Scripts, size, pixels -------------------------------------------------------------

void WebKitPage::startEvaluation(const std::string& script, std::function<void(EvaluationResult)> done) {
  ++evaluationsInFlight_;
  auto* pending = new Pending<EvaluationResult>{weak_from_this(),
                                                [done = std::move(done)](WebKitPage& page, EvaluationResult result) {
                                                  --page.evaluationsInFlight_;
                                                  done(std::move(result));
                                                }};
  webkit_web_view_evaluate_javascript(
      native_->view, wrappedScript(script).c_str(), -1, nullptr, nullptr, nullptr,
      [](GObject* object, GAsyncResult* asyncResult, gpointer data) {
        std::unique_ptr<Pending<EvaluationResult>> pending(static_cast<Pending<EvaluationResult>*>(data));
        GError* error = nullptr;
        JSCValue* value = webkit_web_view_evaluate_javascript_finish(WEBKIT_WEB_VIEW(object), asyncResult, &error);
        EvaluationResult result;
        if (value) {
          char* text = jsc_value_to_string(value);
          result = evaluationResult(text ? text : "");
          g_free(text);
          g_object_unref(value);
        } else {
          result.error = terminatedError();
          if (error) g_error_free(error);
        }
        auto page = std::static_pointer_cast<WebKitPage>(pending->page.lock());
        if (page) pending->done(*page, std::move(result));
      },
      pending);
}

WebPage::EvaluationResult WebKitPage::evaluate(const std::string& script) {
  auto self = shared_from_this();
  if (processGone_) {
    SystemLog::write("web", "script not evaluated: the page's web process has ended");
    EvaluationResult gone;
    gone.error = terminatedError();
    return gone;
  }
  auto answer = std::make_shared<std::optional<EvaluationResult>>();
  startEvaluation(script, [answer](EvaluationResult result) { *answer = std::move(result); });
  if (!waitInGLib([&] { return answer->has_value(); }, ContentProcess::defaultOptions().timeLimit)) {
    terminate("a script evaluation overran its time limit");
    EvaluationResult overran;
    overran.error = terminatedError();
    return overran;
  }
  return std::move(**answer);
}

void WebKitPage::tap(Point point) {
  if (!std::isfinite(point.x) || !std::isfinite(point.y)) return;
  // Whole points, written without the process's locale (GTK sets one).
  const auto coordinate = [](double v) { return std::to_string(std::lround(std::clamp(v, -1e6, 1e6))); };
  evaluate("(function (x, y) { var e = document.elementFromPoint(x, y); if (e && e.click) e.click(); })(" +
               coordinate(point.x) + ", " + coordinate(point.y) + ")",
           nullptr);
}

void WebKitPage::evaluate(const std::string& script, std::function<void(EvaluationResult)> done) {
  if (processGone_) {
    EvaluationResult gone;
    gone.error = terminatedError();
    if (done) done(std::move(gone));
    return;
  }
  std::weak_ptr<WebPage> weak = weak_from_this();
  startEvaluation(script, [weak, done = std::move(done)](EvaluationResult result) mutable {
    // Reaches the caller on the main loop, after what WebKit reported before it.
    DispatchQueue::main()->async([weak, done = std::move(done), result = std::move(result)]() mutable {
      if (weak.lock() && done) done(std::move(result));
    });
  });
}

void WebKitPage::updateContentSize() {
  std::weak_ptr<WebPage> weak = weak_from_this();
  evaluate("[document.documentElement.scrollWidth, document.documentElement.scrollHeight]",
           [weak](EvaluationResult result) {
             auto self = std::static_pointer_cast<WebKitPage>(weak.lock());
             if (!self || !self->attached_ || !self->client() || result.error) return;
             const auto& size = result.result;
             if (!size.is_array() || size.size() != 2 || !size[0].is_number() || !size[1].is_number()) return;
             const Size measured{size[0].get<double>(), size[1].get<double>()};
             if (self->contentSize_ == measured) return;
             self->contentSize_ = measured;
             self->client()->pageContentSizeDidChange();
           });
}

Size WebKitPage::contentSize(Size viewport) const { return contentSize_.value_or(viewport); }

void WebKitPage::setViewportSize(Size size) {
  const int width = std::max(1, static_cast<int>(std::lround(size.width)));
  const int height = std::max(1, static_cast<int>(std::lround(size.height)));
  if (width == static_cast<int>(viewport_.width) && height == static_cast<int>(viewport_.height)) return;
  viewport_ = {static_cast<double>(width), static_cast<double>(height)};
  // An offscreen window takes its size from its default size and its child's request.
  gtk_window_set_default_size(GTK_WINDOW(native_->window), width, height);
  gtk_widget_set_size_request(GTK_WIDGET(native_->view), width, height);
  gtk_window_resize(GTK_WINDOW(native_->window), width, height);
  gtk_widget_queue_resize(native_->window);
}

Bitmap WebKitPage::snapshot() const {
  struct Shot {
    bool done = false;
    Bitmap bitmap;
  };
  // A new size is laid out on GTK's next turns; the picture is of the size asked for.
  GtkWidget* widget = GTK_WIDGET(native_->view);
  waitInGLib(
      [&] {
        return gtk_widget_get_allocated_width(widget) == static_cast<int>(viewport_.width) &&
               gtk_widget_get_allocated_height(widget) == static_cast<int>(viewport_.height);
      },
      ContentProcess::defaultOptions().timeLimit);
  auto shot = std::make_shared<Shot>();
  auto* holder = new std::shared_ptr<Shot>(shot);
  webkit_web_view_get_snapshot(
      native_->view, WEBKIT_SNAPSHOT_REGION_VISIBLE, WEBKIT_SNAPSHOT_OPTIONS_NONE, nullptr,
      [](GObject* object, GAsyncResult* result, gpointer data) {
        std::unique_ptr<std::shared_ptr<Shot>> holder(static_cast<std::shared_ptr<Shot>*>(data));
        Shot& shot = **holder;
        shot.done = true;
        cairo_surface_t* surface = webkit_web_view_get_snapshot_finish(WEBKIT_WEB_VIEW(object), result, nullptr);
        if (!surface) return;
        cairo_surface_flush(surface);
        const int width = cairo_image_surface_get_width(surface);
        const int height = cairo_image_surface_get_height(surface);
        const int stride = cairo_image_surface_get_stride(surface);
        const unsigned char* data8 = cairo_image_surface_get_data(surface);
        if (data8 && cairo_image_surface_get_format(surface) == CAIRO_FORMAT_ARGB32) {
          std::vector<std::uint8_t> rgba(static_cast<std::size_t>(width) * height * 4);
          for (int y = 0; y < height; ++y) {
            const auto* row = reinterpret_cast<const std::uint32_t*>(data8 + static_cast<std::ptrdiff_t>(y) * stride);
            for (int x = 0; x < width; ++x) {
              // Premultiplied native-endian ARGB to straight RGBA.
              const std::uint32_t p = row[x];
              const unsigned a = p >> 24;
              auto straight = [a](unsigned c) {
                return static_cast<std::uint8_t>(a ? std::min(255u, (c * 255 + a / 2) / a) : 0);
              };
              auto* out = &rgba[(static_cast<std::size_t>(y) * width + x) * 4];
              out[0] = straight((p >> 16) & 0xFF);
              out[1] = straight((p >> 8) & 0xFF);
              out[2] = straight(p & 0xFF);
              out[3] = static_cast<std::uint8_t>(a);
            }
          }
          shot.bitmap = Bitmap(width, height, std::move(rgba));
        }
        cairo_surface_destroy(surface);
      },
      holder);
  waitInGLib([&] { return shot->done; }, ContentProcess::defaultOptions().timeLimit);
  return shot->bitmap;
}

void WebKitPage::draw(View::DrawContext& context, const Rect& bounds) const {
  const_cast<WebKitPage*>(this)->setViewportSize(bounds.size);
  if (auto image = Image::create(snapshot())) context.drawImage(*image, bounds);
}

// --- The watchdog ------------------------------------------------------------------------

void WebKitPage::watchdogTick() {
  if (!attached_ || processGone_ || !documentCommitted_) return;
  const auto& options = ContentProcess::defaultOptions();
  const double now = steadySeconds();
  if (heartbeatPending_) {
    const double waited = now - heartbeatSentAt_;
    if (waited > options.timeLimit) {
      terminate("the page did not answer within its time limit");
    } else if (busy_.spent(options.budgetWindow) + chargeable(waited) > options.timeBudget) {
      terminate("the page was busy for more than its time budget");
    }
    return;
  }
  heartbeatPending_ = true;
  heartbeatSentAt_ = now;
  heartbeatSentAtWall_ = static_cast<double>(g_get_real_time()) / 1e3;
  auto* pending = new Pending<double>{weak_from_this(), nullptr};
  // The page says when it got to the question (its wall clock, ms), so the time the
  // answer then spent waiting for the host's loop is not the page's.
  webkit_web_view_evaluate_javascript(
      native_->view, "Date.now()", -1, nullptr, nullptr, nullptr,
      [](GObject* object, GAsyncResult* result, gpointer data) {
        std::unique_ptr<Pending<double>> pending(static_cast<Pending<double>*>(data));
        GError* error = nullptr;
        double ranAt = 0;
        if (JSCValue* value = webkit_web_view_evaluate_javascript_finish(WEBKIT_WEB_VIEW(object), result, &error)) {
          if (jsc_value_is_number(value)) ranAt = jsc_value_to_double(value);
          g_object_unref(value);
        }
        if (error) g_error_free(error);
        if (auto page = std::static_pointer_cast<WebKitPage>(pending->page.lock())) page->heartbeatAnswered(ranAt);
      },
      pending);
}

double WebKitPage::chargeable(double busy) { return std::max(0.0, busy - kQuickAnswer); }

void WebKitPage::heartbeatAnswered(double ranAtWallMs) {
  if (!heartbeatPending_) return;
  heartbeatPending_ = false;
  const double waited = steadySeconds() - heartbeatSentAt_;
  // A page clock that jumped counts as at most what the host saw.
  const double busy = std::clamp((ranAtWallMs - heartbeatSentAtWall_) / 1e3, 0.0, waited);
  busy_.charge(chargeable(busy));
  const auto& options = ContentProcess::defaultOptions();
  if (busy_.spent(options.budgetWindow) > options.timeBudget && attached_ && !processGone_) {
    terminate("the page was busy for more than its time budget");
  }
}

void WebKitPage::terminate(const std::string& reason) {
  if (terminationPending_ || processGone_) return;
  terminationPending_ = true;
  processGone_ = true;
  documentCommitted_ = false;
  heartbeatPending_ = false;
  endingReason_ = reason;
  SystemLog::write("web", "ending the page's web process: " + reason);
  webkit_web_view_terminate_web_process(native_->view);
}

}  // namespace platform
