// The real web engine through the platform against bare WebKitGTK calls, one pair each:
//   - page load: an HTML string with a base URL, from the call to the load's end, through
//     a web view of the platform (delegate's finish, on the main run loop) and through
//     webkit_web_view_load_html() with GLib's loop alone;
//   - evaluation round trip: a script's value back in the caller, through the web view's
//     asynchronous evaluation and through webkit_web_view_evaluate_javascript().
// The platform should cost at most 1.2 times the bare calls. The load benchmarks also
// report the memory of the web processes (PSS, MiB) per page shown.
//
// Needs a display (./run bench starts Xvfb); without one the benchmarks skip.
#include <dirent.h>
#include <fstream>
#include <sstream>
#include <string>
#include <unistd.h>

#include <benchmark/benchmark.h>
#include <gtk/gtk.h>
#include <webkit2/webkit2.h>

#include "BareWebKitView.h"
#include "platform/web/WKWebView.h"
#include "platform/web/WebKitPage.h"
#include "testing/TestEnvironment.h"

namespace {

constexpr const char* kPage =
    "<!DOCTYPE html><html><body style='margin:0'><script>"
    "var d = document.createElement('div'); d.style.cssText = 'width:300px;height:250px;background:#1d4e89';"
    "d.textContent = 'An ad'; document.body.appendChild(d);</script></body></html>";
constexpr const char* kBase = "https://creative.adnetwork.example/ad";
constexpr const char* kScript = "document.body.children.length + 1";

// The proportional memory of every WebKit web process this process started, in MiB.
double webProcessesPssMiB() {
  double kib = 0;
  const std::string self = std::to_string(getpid());
  DIR* proc = opendir("/proc");
  if (!proc) return 0;
  while (dirent* entry = readdir(proc)) {
    const std::string pid = entry->d_name;
    if (pid.empty() || pid.find_first_not_of("0123456789") != std::string::npos) continue;
    std::ifstream stat("/proc/" + pid + "/stat");
    std::string line;
    std::getline(stat, line);
    const auto close = line.rfind(')');
    if (close == std::string::npos || line.find("WebKitWebProces") == std::string::npos) continue;
    std::istringstream rest(line.substr(close + 2));
    std::string state, parent;
    rest >> state >> parent;
    if (parent != self) continue;
    std::ifstream rollup("/proc/" + pid + "/smaps_rollup");
    for (std::string field; std::getline(rollup, field);) {
      if (field.rfind("Pss:", 0) == 0) kib += std::stod(field.substr(4));
    }
  }
  closedir(proc);
  return kib / 1024;
}

// A bare WebKitGTK view, the floor of the platform's web views.
struct BareView : morvanebench::BareWebKitView {
  void load() {
    startLoad(kPage, kBase);
    while (!finished) g_main_context_iteration(nullptr, TRUE);
  }
  double evaluate() {
    double value = 0;
    bool done = false;
    struct Answer {
      double* value;
      bool* done;
    } answer{&value, &done};
    webkit_web_view_evaluate_javascript(
        view, kScript, -1, nullptr, nullptr, nullptr,
        [](GObject* object, GAsyncResult* result, gpointer data) {
          auto* answer = static_cast<Answer*>(data);
          if (JSCValue* v = webkit_web_view_evaluate_javascript_finish(WEBKIT_WEB_VIEW(object), result, nullptr)) {
            *answer->value = jsc_value_to_double(v);
            g_object_unref(v);
          }
          *answer->done = true;
        },
        &answer);
    while (!done) g_main_context_iteration(nullptr, TRUE);
    return value;
  }
};

class Finishes : public platform::WKNavigationDelegate {
 public:
  void webViewDidFinishNavigation(platform::WKWebView&) override { ++finished; }
  int finished = 0;
};

// The platform's view on WebKit, on the test environment's main loop.
struct PlatformView {
  PlatformView() {
    platform::WebPage::setDefaultEngine(platform::WebEngine::WebKit);
    view = platform::WKWebView::create({0, 0, 320, 480});
    view->setNavigationDelegate(delegate);
  }
  void load() {
    const int before = delegate->finished;
    view->loadHTMLString(kPage, platform::URL::fromString(kBase));
    env.runUntil([&] { return delegate->finished > before; });
  }
  double evaluate() {
    double value = 0;
    bool done = false;
    view->evaluateJavaScript(kScript, [&](const nlohmann::ordered_json& result, const platform::ErrorPtr&) {
      if (result.is_number()) value = result.get<double>();
      done = true;
    });
    env.runUntil([&] { return done; });
    return value;
  }
  testenv::TestEnvironment env;
  std::shared_ptr<Finishes> delegate = std::make_shared<Finishes>();
  std::shared_ptr<platform::WKWebView> view;
};

bool skipWithoutDisplay(benchmark::State& state) {
  if (platform::WebKitPage::isAvailable()) return false;
  state.SkipWithError("no display: WebKit cannot start");
  return true;
}

template <typename View>
void load(benchmark::State& state) {
  if (skipWithoutDisplay(state)) return;
  View view;
  view.load();
  for (auto _ : state) view.load();
  state.counters["web_process_pss_MiB_per_page"] = webProcessesPssMiB();
}

template <typename View>
void evaluate(benchmark::State& state) {
  if (skipWithoutDisplay(state)) return;
  View view;
  view.load();
  for (auto _ : state) benchmark::DoNotOptimize(view.evaluate());
}

void BM_LoadBareWebKit(benchmark::State& state) { load<BareView>(state); }
void BM_LoadThroughThePlatform(benchmark::State& state) { load<PlatformView>(state); }
void BM_EvaluateBareWebKit(benchmark::State& state) { evaluate<BareView>(state); }
void BM_EvaluateThroughThePlatform(benchmark::State& state) { evaluate<PlatformView>(state); }

BENCHMARK(BM_LoadBareWebKit)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_LoadThroughThePlatform)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_EvaluateBareWebKit)->Unit(benchmark::kMicrosecond)->MinTime(1.0);
BENCHMARK(BM_EvaluateThroughThePlatform)->Unit(benchmark::kMicrosecond)->MinTime(1.0);

}  // namespace

BENCHMARK_MAIN();
