// The page of one web view, whichever engine shows it. Two engines stand behind this
// seam (create() picks one, see WebEngine):
//   - the deterministic engine (this class): loads documents (an HTML string with a base
//     URL, or a request loaded through the platform's URL loading, `src` scripts
//     included), runs their scripts in a content process of its own, keeps their timers
//     on the main run loop, evaluates scripts, keeps the back-forward list;
//   - WebKit (WebKitPage), a real document with a DOM and pixels, for hosts with a display.
// Either turns what the page does into reports to its client (the web view), which maps
// them onto its delegates.
//
// A content process that overruns its time or dies fails the load or evaluation in
// progress and is reported as terminated; the next load starts a new one.
//
// Main thread only. Reports reach the client on the main thread; the client may call
// back into the page from any report.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "platform/base/Error.h"
#include "platform/net/HTTPURLResponse.h"
#include "platform/net/URLRequest.h"
#include "platform/ui/Color.h"
#include "platform/ui/Geometry.h"
#include "platform/ui/View.h"
#include "platform/web/ContentProtocol.h"
#include "platform/web/WebConsoleMessage.h"

namespace platform {

class ContentProcess;
class Timer;
class URLConnection;

// The engines a page can run on.
enum class WebEngine {
  // Duktape in a content process of ours, page timers on the main run loop: what unit
  // tests use on virtual time.
  Deterministic,
  // WebKitGTK in an offscreen window: needs a display.
  WebKit,
};

class WebPage : public std::enable_shared_from_this<WebPage> {
 public:
  using NavigationKind = ContentProtocol::NavigationKind;

  struct Navigation {
    URLRequest request;  // its main-document URL says which page it belongs to
    NavigationKind kind = NavigationKind::Other;
    bool mainFrame = true;
    // The page asked for a new window (window.open, a link with a target).
    bool newWindow = false;
  };

  struct UserScript {
    std::string source;
    bool atDocumentStart = false;
  };

  using ConsoleMessage = WebConsoleMessage;

  struct EvaluationResult {
    // The value as JSON (null for undefined and null); functions are not values here.
    nlohmann::ordered_json result;
    // The value as the page would turn it into a string ("" for undefined and null).
    std::string text;
    ErrorPtr error;
  };

  // What the page reports; every operation has a default that does nothing.
  class Client {
   public:
    virtual ~Client() = default;
    // Whether a navigation may go ahead. `decide` may be called later, once.
    virtual void pageDecidePolicy(const Navigation& navigation, std::function<void(bool allow)> decide);
    // A main-frame load was allowed and begins.
    virtual void pageDidStartProvisionalLoad(const URLRequest& request);
    // The first bytes of the new document arrived; the old document is gone.
    virtual void pageDidCommitLoad();
    virtual void pageDidFinishLoad();
    // A main-frame load failed; `provisional` when before its commit.
    virtual void pageDidFailLoad(const ErrorPtr& error, bool provisional);
    // An allowed sub-frame navigation settled (frames show nothing here); `error` when
    // its URL cannot be loaded.
    virtual void pageDidLoadSubframe(const Navigation& navigation, const ErrorPtr& error);
    virtual void pageRequestsNewWindow(const Navigation& navigation);
    virtual void pageDidAlert(const std::string& message);
    virtual void pageContentSizeDidChange();
    virtual void pageWebContentProcessDidTerminate();
    // The user scripts to inject into each new document.
    virtual std::vector<UserScript> pageUserScripts();
  };

  // `client` must outlive the page or detach() it first. The page runs on the default
  // engine (a WebKit page where WebKit cannot start falls back to the deterministic one,
  // with a log line).
  static std::shared_ptr<WebPage> create(Client* client);
  static std::shared_ptr<WebPage> create(Client* client, WebEngine engine);
  virtual ~WebPage();
  WebPage(const WebPage&) = delete;
  WebPage& operator=(const WebPage&) = delete;

  // The engine new pages get: WebKit where a display is available (a host application,
  // the demo), else the deterministic one. The test environment resets it to the
  // deterministic engine before each test; a test that needs WebKit says so here.
  static WebEngine defaultEngine();
  static void setDefaultEngine(WebEngine engine);
  virtual WebEngine engine() const { return WebEngine::Deterministic; }

  // Stops everything and reports nothing more.
  virtual void detach();

  // Unique in the process ("page-1", "page-2", ...); the page's resource requests carry
  // it under kURLRequestWebPageIdentifierProperty.
  const std::string& identifier() const { return identifier_; }

  // Nothing happens for an HTML string that is absent.
  virtual void loadHTMLString(const std::string& html, const std::optional<platform::URL>& baseURL);
  virtual void loadRequest(const URLRequest& request);
  // Fails the load in progress with the cancelled error (-999).
  virtual void stopLoading();
  virtual void reload();
  virtual void goBack();
  virtual void goForward();
  virtual bool canGoBack() const;
  virtual bool canGoForward() const;
  // From a load call until that load finishes or fails.
  virtual bool isLoading() const { return loading_ || hostLoadPending_; }
  // Loads what the page wanted in a new window here instead (a client without windows).
  virtual void followInPlace(const Navigation& navigation);

  // The URL of the document shown, or of the load under way once it was allowed.
  virtual std::optional<platform::URL> URL() const;

  // Runs a script in the document now (one round trip, bounded by the content
  // process's time limit, after what the page was asked before); what it makes the page
  // do is reported before this returns.
  virtual EvaluationResult evaluate(const std::string& script);
  // The same, the result handed to `done` once the page answered, on a later turn of the
  // main loop (at once when the page's process has ended). Loads and timers are answered
  // that way too: the main loop never waits for a page but here above.
  virtual void evaluate(const std::string& script, std::function<void(EvaluationResult)> done);
  // The deterministic engine: whether the page owes an answer (a load, a timer or an
  // evaluation in its content process). The main loop's virtual clock waits for it.
  virtual bool isBusy() const;
  // The size of the view that shows the page, in points (what a page lays out and draws in).
  virtual void setViewportSize(Size) {}
  // The user's tap at `point` of the view that shows the page: the element there is
  // clicked, so a link navigates as a clicked link does. The deterministic engine lays
  // nothing out, so nothing is under a point and a tap does nothing there.
  virtual void tap(Point) {}

  const std::string& readyState() const { return readyState_; }
  const std::string& bodyText() const { return bodyText_; }
  virtual std::string title() const { return title_; }
  const std::optional<Color>& backgroundColor() const { return backgroundColor_; }
  // The page's size where it gives one, else the viewport's.
  virtual Size contentSize(Size viewport) const;
  // What the page logged and alerted, the latest kept: at most kMaxKeptMessages of each,
  // kMaxKeptBytes of text in all, kMaxMessageBytes a message (longer ones are cut). The
  // counts say how many were let go.
  static constexpr std::size_t kMaxKeptMessages = 1000;
  static constexpr std::size_t kMaxKeptBytes = 1u << 20;
  static constexpr std::size_t kMaxMessageBytes = 16u << 10;
  const std::deque<ConsoleMessage>& consoleMessages() const { return console_.items; }
  std::uint64_t droppedConsoleMessages() const { return console_.dropped; }
  const std::deque<std::string>& alerts() const { return alerts_.items; }
  std::uint64_t droppedAlerts() const { return alerts_.dropped; }
  // Events the page made past the cap of one round trip, which were lost; the first
  // round trip that loses any writes one log line.
  std::uint64_t droppedPageEvents() const { return droppedPageEvents_; }
  // The longest URL a page may navigate to (a message to the host included); a longer
  // one is dropped where the page made it, counted with the events above, so reading it
  // never holds the main thread. No page address or message of a real ad comes near it.
  static constexpr std::size_t kMaxNavigationURLBytes = 256u << 10;
  // Why the page's last content process ended ("timed out", "out of memory", ...);
  // empty while none has. Set before the termination is reported.
  const std::string& terminationReason() const { return terminationReason_; }

  // The views keep the scripts evaluated through them for tests to look at: the latest
  // kMaxRecordedScripts, within kMaxKeptBytes (the latest always kept).
  static constexpr std::size_t kMaxRecordedScripts = 64;
  static void recordEvaluatedScript(std::vector<std::string>& recorded, const std::string& script);

  // Paints the page's background and a block of "ink" where it shows text.
  virtual void draw(View::DrawContext& context, const Rect& bounds) const;

 protected:
  // Collects one document (or a `src` script) through the platform's URL loading.
  class MainLoad;
  friend class MainLoad;

  explicit WebPage(Client* client);
  Client* client() const { return client_; }
  // Starts loading `request` through the platform's URL loading, at most kMaxDocumentBytes;
  // `done` gets the response and body, or the error. cancelFetch() drops it unanswered.
  using FetchDone = std::function<void(std::optional<HTTPURLResponse>, std::string, ErrorPtr)>;
  static std::shared_ptr<MainLoad> fetch(const URLRequest& request, FetchDone done);
  static void cancelFetch(const std::shared_ptr<MainLoad>& load);
  Navigation makeNavigation(platform::URL url, NavigationKind kind, bool mainFrame) const;
  void addConsoleMessage(std::string level, std::string message);
  void addAlert(const std::string& message);
  void noteDroppedEvents(std::uint64_t count);
  // Keeps the reason and writes it to the system log.
  void noteTermination(std::string reason);

 private:
  struct HistoryEntry {
    URLRequest request;
    std::optional<std::string> html;
  };

  // Loads asked for by the host are decided on a later turn, as engines do; a later one
  // or stopLoading() drops those not decided yet.
  void navigateLater(Navigation navigation, std::optional<std::string> html, bool addToHistory);
  // `hostLoad` is the serial of a load the host asked for.
  void navigate(Navigation navigation, std::optional<std::string> html, bool addToHistory,
                std::optional<std::uint64_t> hostLoad = std::nullopt);
  void beginLoad(const Navigation& navigation, std::optional<std::string> html, bool addToHistory);
  void cancelLoad(bool report);
  void failLoad(std::uint64_t serial, const ErrorPtr& error);
  void commit(std::uint64_t serial, platform::URL documentURL, const std::string& html);
  void runDocument(std::uint64_t serial);
  void finishLoad(std::uint64_t serial);
  void handleEvents(const std::vector<ContentProtocol::Event>& events, std::uint64_t serial, int timerNesting);
  void handleNavigation(const ContentProtocol::Event& event, bool newWindow);
  void setTimer(std::int64_t id, double delay, bool repeats, int nesting, std::uint64_t serial);
  void fireTimer(std::int64_t id, std::uint64_t serial);
  void clearTimers();
  bool ensureProcess();
  void processTerminated();
  EvaluationResult terminatedResult() const;
  // What an evaluation answered (std::nullopt: the process ended); its page events are
  // handled as of load `serial`.
  EvaluationResult evaluated(std::optional<ContentProtocol::Reply> reply, std::uint64_t serial);

  Client* client_;
  const std::string identifier_;
  std::unique_ptr<ContentProcess> process_;
  bool processEverStarted_ = false;
  // The process whose end was reported (its later failures are not reported again).
  const ContentProcess* reportedProcess_ = nullptr;

  // Each main-frame load that begins gets a new serial; late work of older loads checks
  // it and drops out.
  std::uint64_t serial_ = 0;
  std::uint64_t hostLoadSerial_ = 0;
  bool hostLoadPending_ = false;
  bool loading_ = false;
  bool provisional_ = false;
  std::optional<platform::URL> provisionalURL_;
  std::optional<platform::URL> documentURL_;
  std::shared_ptr<MainLoad> mainLoad_;

  // The document being prepared: its scripts, some still being fetched.
  struct PendingScript {
    std::string text;
    std::string url;
    bool fetched = true;
  };
  std::vector<PendingScript> pendingScripts_;
  nlohmann::ordered_json pendingLoad_;
  std::size_t fetchesLeft_ = 0;

  std::vector<HistoryEntry> history_;
  std::size_t historyIndex_ = 0;

  struct PageTimer {
    std::shared_ptr<Timer> timer;
    int nesting = 0;
  };
  std::map<std::int64_t, PageTimer> timers_;
  // Timers fired and not answered yet.
  std::set<std::int64_t> timersFiring_;

  std::string readyState_ = "complete";
  std::string bodyText_;
  std::string title_;
  std::optional<Color> backgroundColor_;
  std::optional<double> contentWidth_;
  std::optional<double> contentHeight_;
  // The latest messages within the caps above.
  template <typename Item>
  struct Kept {
    std::deque<Item> items;
    std::size_t bytes = 0;
    std::uint64_t dropped = 0;
  };
  Kept<ConsoleMessage> console_;
  Kept<std::string> alerts_;
  std::uint64_t droppedPageEvents_ = 0;
  std::string terminationReason_;
};

}  // namespace platform
