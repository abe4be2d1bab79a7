// The real engine behind WebPage: WebKitGTK 4.1 in an offscreen GTK window, a web process
// of WebKit's own per page. A page gets a real document (DOM, CSS, pixels); what WebKit
// reports reaches the client on a later turn of the main run loop, which pumps GLib's
// main context while a WebKit page exists (see RunLoopEventSource).
//
//   - Loads: HTML strings go to WebKit with their base URL; http(s) and file requests of
//     the host are fetched through the platform's URL loading (so interception and the
//     platform's host routing apply) and shown at their URL. Sub-resources of a page go
//     to WebKit's own network stack.
//   - Navigations are decided by the client, held until it answers; WebKit cannot tell a
//     sub-frame's from the main frame's, so every navigation is reported as the main
//     frame's.
//   - Limits: a watchdog of the host asks the page for a trivial answer; a page that
//     gives none within the content process's time limit, or keeps it waiting for more
//     than the time budget over the budget's window (each wait beyond kQuickAnswer
//     counts), is ended and reported as a terminated content process, once. WebKit's memory-pressure settings bound each web
//     process (kMemoryLimit); compositing is off.
//   - Synchronous evaluation (the older web view) and drawing wait in a nested GLib loop,
//     within the time limit.
//
// Main thread only.
#pragma once

#include <cstdint>
#include <memory>

#include "platform/ui/Bitmap.h"
#include "platform/web/TimeBudget.h"
#include "platform/web/WebPage.h"

namespace platform {

class WebKitPage final : public WebPage {
 public:
  // Each web process is held to this much memory; above it WebKit ends it.
  static constexpr std::size_t kMemoryLimit = 512u << 20;
  // A watchdog question answered within this many seconds charges nothing to the page's
  // time budget: the round trip itself, and a busy machine's scheduling.
  static constexpr double kQuickAnswer = 0.05;

  // Whether WebKit can run here: GTK starts on a display. Asked once; main thread.
  static bool isAvailable();
  // nullptr when it cannot.
  static std::shared_ptr<WebKitPage> create(Client* client);
  ~WebKitPage() override;

  WebEngine engine() const override { return WebEngine::WebKit; }
  void detach() override;
  void loadHTMLString(const std::string& html, const std::optional<platform::URL>& baseURL) override;
  void loadRequest(const URLRequest& request) override;
  void stopLoading() override;
  void reload() override;
  void goBack() override;
  void goForward() override;
  bool canGoBack() const override;
  bool canGoForward() const override;
  bool isLoading() const override;
  void followInPlace(const Navigation& navigation) override;
  std::optional<platform::URL> URL() const override;
  std::string title() const override;
  EvaluationResult evaluate(const std::string& script) override;
  void evaluate(const std::string& script, std::function<void(EvaluationResult)> done) override;
  Size contentSize(Size viewport) const override;
  void setViewportSize(Size size) override;
  void tap(Point point) override;
  void draw(View::DrawContext& context, const Rect& bounds) const override;

  // Whether any page is loading or has a script of the host's to answer.
  static bool anyBusy();

  // The page's pixels as WebKit draws them now, one pixel a point; empty when the page
  // gives none within the time limit.
  Bitmap snapshot() const;

 private:
  struct Native;
  explicit WebKitPage(Client* client);

  // Runs `report` on a later turn of the main loop, while the page is attached.
  void post(std::function<void(WebKitPage&)> report);
  void onLoadChanged(int event);
  void onLoadFailed(const std::string& uri, int domainIsNetwork, int code, const std::string& message);
  void onDecidePolicy(void* decision, int type);
  void onTerminated(int reason);
  void onScriptDialog(const std::string& message);
  void onConsole(const std::string& json);
  void installUserScripts();
  void beginHostFetch(const URLRequest& request);
  void startEvaluation(const std::string& script, std::function<void(EvaluationResult)> done);
  void watchdogTick();
  void heartbeatAnswered(double ranAtWallMs);
  // Seconds of a wait that count against the budget.
  static double chargeable(double busy);
  void terminate(const std::string& reason);
  void updateContentSize();

  std::unique_ptr<Native> native_;
  bool attached_ = true;
  bool loading_ = false;
  bool provisional_ = false;
  bool loadFailed_ = false;
  // A request of the host fetched through URL loading: its URL until WebKit shows it.
  std::optional<platform::URL> hostFetchURL_;
  std::shared_ptr<MainLoad> hostFetch_;
  // WebKit shows the fetched document next; its policy and start are the host load's.
  std::optional<std::string> expectedHTMLLoad_;
  // The host ended the web process and WebKit has not said so yet.
  bool terminationPending_ = false;
  std::string endingReason_;  // given to terminate()
  // The web process is gone until the next load: the watchdog rests, evaluations fail.
  bool processGone_ = false;
  // WebKit committed the document it shows (as of its latest signal): only a document
  // is watched, not a web process still starting or fetching.
  bool documentCommitted_ = false;
  std::optional<Size> contentSize_;
  Size viewport_{320, 480};
  // The watchdog's question in flight and when it was asked (steady clock, seconds).
  bool heartbeatPending_ = false;
  // The host's evaluations not answered yet.
  int evaluationsInFlight_ = 0;
  double heartbeatSentAt_ = 0;
  double heartbeatSentAtWall_ = 0;  // ms
  // What the watchdog charged to the time budget.
  TimeBudget busy_;
};

}  // namespace platform
