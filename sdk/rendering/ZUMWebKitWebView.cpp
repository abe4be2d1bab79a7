#include "sdk/rendering/ZUMWebKitWebView.h"

#include <cstdio>

#include <nlohmann/json.hpp>

#include "platform/base/ClassRegistry.h"
#include "platform/base/UserDefaults.h"
#include "platform/ui/Device.h"
#include "platform/web/WKUserContentController.h"
#include "platform/web/WKUserScript.h"
#include "sdk/foundation/ZUMBindWeak.h"
#include "sdk/foundation/ZUMUserDefaults.h"

namespace {

// The script is written for a page with a DOM and steps aside where the page has none.
// It points every script element whose source ends in /mraid.js at the SDK's MRAID
// script; when the page has none yet, it watches the document: at the first batch of
// changes it still rewrites the sources in place, at later ones it appends a fresh
// script element to the head and removes the old one. After the first replacement it
// stops watching.
constexpr const char* kMRAIDReplacementScript =
    "(function(){try{"
    "var url='@MRAID_URL@';var d=document;"
    "if(!d||typeof d.getElementsByTagName!=='function')return;"
    "function found(){var all=d.getElementsByTagName('script'),out=[];"
    "for(var i=0;i<all.length;i++){var s=all[i].src;"
    "if(typeof s==='string'&&s.length>=10&&s.lastIndexOf('/mraid.js')===s.length-9)out.push(all[i]);}"
    "return out;}"
    "function head(){var h=d.getElementsByTagName('head')[0];"
    "if(!h){h=d.createElement('head');(d.documentElement||d).appendChild(h);}return h;}"
    "var first=found();for(var i=0;i<first.length;i++)first[i].src=url;"
    "if(first.length||typeof MutationObserver!=='function')return;"
    "var batches=0;"
    "var observer=new MutationObserver(function(){try{"
    "var list=found();batches++;if(!list.length)return;observer.disconnect();"
    "for(var j=0;j<list.length;j++){"
    "if(batches===1){list[j].src=url;continue;}"
    "var s=d.createElement('script');s.type='text/javascript';s.src=url;head().appendChild(s);"
    "if(list[j].parentNode)list[j].parentNode.removeChild(list[j]);}"
    "}catch(e){}});"
    "observer.observe(d,{attributes:true,childList:true,subtree:true});"
    "}catch(e){}})();";

constexpr const char* kViewportScript =
    "(function(){try{"
    "var d=document;var content='initial-scale=1,minimum-scale=1,maximum-scale=1,user-scalable=no';"
    "if(!d||typeof d.getElementsByTagName!=='function'||typeof d.createElement!=='function')return;"
    "var metas=d.getElementsByTagName('meta');"
    "for(var i=0;i<metas.length;i++){if(metas[i].name==='viewport'){metas[i].content=content;return;}}"
    "var h=d.getElementsByTagName('head')[0];"
    "if(!h){h=d.createElement('head');(d.documentElement||d).appendChild(h);}"
    "var m=d.createElement('meta');m.name='viewport';m.content=content;h.appendChild(m);"
    "}catch(e){}})();";

// The content of a single-quoted script string holding `text`: quotes, backslashes,
// line breaks and the characters that could close a script element come as escapes.
std::string scriptStringContent(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    // U+2028 and U+2029 end lines in older script engines.
    if (c == 0xE2 && i + 2 < text.size() && static_cast<unsigned char>(text[i + 1]) == 0x80 &&
        (static_cast<unsigned char>(text[i + 2]) == 0xA8 || static_cast<unsigned char>(text[i + 2]) == 0xA9)) {
      out += static_cast<unsigned char>(text[i + 2]) == 0xA8 ? "\\u2028" : "\\u2029";
      i += 2;
      continue;
    }
    if (c < 0x20 || c == '\'' || c == '"' || c == '\\' || c == '<' || c == '>' || c == '&' || c == 0x7F) {
      char escape[8];
      std::snprintf(escape, sizeof escape, "\\u%04x", static_cast<unsigned>(c));
      out += escape;
      continue;
    }
    out += static_cast<char>(c);
  }
  return out;
}

std::shared_ptr<platform::WKWebView::Factory> engineFactory() {
  return platform::ClassRegistry::shared().create<platform::WKWebView::Factory>(platform::WKWebView::kClassName);
}

// One pool for every engine of the process.
const std::shared_ptr<platform::WKProcessPool>& sharedProcessPool() {
  static const auto pool = platform::WKProcessPool::create();
  return pool;
}

}  // namespace

bool ZUMWebKitWebView::isAvailable() {
  return platform::ClassRegistry::shared().isRegistered<platform::WKWebView::Factory>(platform::WKWebView::kClassName);
}

platform::WebViewNavigationType ZUMWebKitWebView::navigationTypeForWKNavigationType(platform::WKNavigationType type) {
  using platform::WebViewNavigationType;
  switch (type) {
    case platform::WKNavigationType::LinkActivated:
      return WebViewNavigationType::LinkClicked;
    case platform::WKNavigationType::FormSubmitted:
      return WebViewNavigationType::FormSubmitted;
    case platform::WKNavigationType::BackForward:
      return WebViewNavigationType::BackForward;
    case platform::WKNavigationType::Reload:
      return WebViewNavigationType::Reload;
    case platform::WKNavigationType::FormResubmitted:
      return WebViewNavigationType::FormResubmitted;
    case platform::WKNavigationType::Other:
      break;
  }
  return WebViewNavigationType::Other;
}

std::string ZUMWebKitWebView::MRAIDReplacementScript(const std::string& MRAIDURLString) {
  std::string script = kMRAIDReplacementScript;
  const std::string placeholder = kZUMMRAIDURLPlaceholder;
  const std::string value = scriptStringContent(MRAIDURLString);
  for (std::size_t at = script.find(placeholder); at != std::string::npos;
       at = script.find(placeholder, at + value.size())) {
    script.replace(at, placeholder.size(), value);
  }
  return script;
}

const std::string& ZUMWebKitWebView::defaultViewportScript() {
  static const std::string script = kViewportScript;
  return script;
}

std::shared_ptr<ZUMWebView> ZUMWebKitWebView::create(const platform::Rect& frame,
                                                     const ZUMWebViewConfiguration& configuration) {
  auto factory = engineFactory();
  if (!factory) return nullptr;
  auto view = std::shared_ptr<ZUMWebKitWebView>(new ZUMWebKitWebView(frame, configuration));

  auto settings = platform::WKWebViewConfiguration::create();
  settings->setProcessPool(sharedProcessPool());
  settings->setSuppressesIncrementalRendering(true);
  settings->setAllowsInlineMediaPlayback(true);
  settings->setUserContentController(view->userContentController_);
  const auto& device = platform::Device::current();
  if (device.isOperatingSystemAtLeast({9, 0, 0})) {
    settings->setAllowsAirPlayForMediaPlayback(true);
    settings->setMediaTypesRequiringUserActionForPlayback(configuration.mediaPlaybackRequiresUserAction() ? ~0ull
                                                                                                          : 0ull);
  } else {
    settings->setRequiresUserActionForMediaPlayback(configuration.mediaPlaybackRequiresUserAction());
  }
  if (device.isOperatingSystemAtLeast({10, 0, 0})) settings->setDataDetectorTypes(configuration.dataDetectorType());

  auto engine = factory->create({0, 0, frame.width(), frame.height()}, settings);
  if (!engine) return nullptr;
  engine->setNavigationDelegate(view);
  engine->setUIDelegate(view);
  std::weak_ptr<ZUMWebKitWebView> weakView = view;
  engine->setContentSizeObserver(ZUMBindWeak(weakView, &ZUMWebKitWebView::engineContentSizeDidChange));
  view->engine_ = engine;
  view->finishCreation(engine);

  if (ZUMUserDefaults::boolForKey("/vantor/ads/wk_initialization_load").value_or(false)) {
    engine->loadHTMLString("<html></html>", platform::URL::fromString(kZUMWebKitWarmUpURL));
  }
  return view;
}

std::shared_ptr<ZUMWebView> ZUMWebKitWebView::create(const platform::Rect& frame) {
  return create(frame, ZUMWebViewConfiguration());
}

ZUMWebKitWebView::ZUMWebKitWebView(const platform::Rect& frame, const ZUMWebViewConfiguration& configuration)
    : ZUMWebView(frame, configuration),
      userContentController_(platform::WKUserContentController::create()),
      scalesPageToFit_(configuration.scalesPageToFit()) {}

ZUMWebKitWebView::~ZUMWebKitWebView() {
  if (engine_) engine_->setContentSizeObserver(nullptr);
}

// --- User scripts ---------------------------------------------------------------------

void ZUMWebKitWebView::willLoad() {
  if (!MRAIDLoaded_) {
    std::optional<std::string> url;
    if (auto delegate = MRAIDDelegate()) url = delegate->MRAIDJavaScriptURLStringForWebView(*this);
    if (url && !url->empty()) {
      userContentController_->addUserScript(platform::WKUserScript::create(
          MRAIDReplacementScript(*url), platform::WKUserScriptInjectionTime::AtDocumentStart, true));
      MRAIDLoaded_ = true;
    }
  }
  if (!viewportLoaded_) {
    if (!scalesPageToFit_) {
      auto custom = platform::UserDefaults::standard().objectForKey("/vantor/ads/wv_viewport_script");
      const bool useCustom = custom && custom->is_string() && !custom->get_ref<const std::string&>().empty();
      userContentController_->addUserScript(
          platform::WKUserScript::create(useCustom ? custom->get<std::string>() : defaultViewportScript(),
                                         platform::WKUserScriptInjectionTime::AtDocumentEnd, true));
    }
    viewportLoaded_ = true;
  }
}

// --- The engine -----------------------------------------------------------------------

void ZUMWebKitWebView::engineLoadHTMLString(const std::string& string, const std::optional<platform::URL>& baseURL) {
  engine_->loadHTMLString(string, baseURL);
}
void ZUMWebKitWebView::engineLoadRequest(const platform::URLRequest& request) { engine_->loadRequest(request); }
void ZUMWebKitWebView::engineStopLoading() { engine_->stopLoading(); }

void ZUMWebKitWebView::evaluateJavaScriptFromString(const std::string& script) {
  engine_->evaluateJavaScript(script, nullptr);
}

void ZUMWebKitWebView::goBack() { engine_->goBack(); }
void ZUMWebKitWebView::goForward() { engine_->goForward(); }
void ZUMWebKitWebView::reload() { engine_->reload(); }
bool ZUMWebKitWebView::canGoBack() const { return engine_->canGoBack(); }
bool ZUMWebKitWebView::canGoForward() const { return engine_->canGoForward(); }
bool ZUMWebKitWebView::isLoading() const { return engine_->isLoading(); }
std::shared_ptr<platform::ScrollView> ZUMWebKitWebView::scrollView() const { return engine_->scrollView(); }
std::optional<platform::URL> ZUMWebKitWebView::URL() const { return engine_->URL(); }

// --- The engine's delegates -----------------------------------------------------------

void ZUMWebKitWebView::webViewDecidePolicyForNavigationAction(
    platform::WKWebView&, const platform::WKNavigationAction& navigationAction,
    std::function<void(platform::WKNavigationActionPolicy)> decisionHandler) {
  auto keepAlive = shared_from_this();
  const auto& url = navigationAction.request.url();
  if (url && url->absoluteString() == kZUMWebKitWarmUpURL) {
    decisionHandler(platform::WKNavigationActionPolicy::Cancel);
    return;
  }
  const bool allowed =
      shouldStartLoad(navigationAction.request, navigationTypeForWKNavigationType(navigationAction.navigationType));
  didMakeLoadDecision(allowed, navigationAction.request);
  decisionHandler(allowed ? platform::WKNavigationActionPolicy::Allow : platform::WKNavigationActionPolicy::Cancel);
}

void ZUMWebKitWebView::webViewDidCommitNavigation(platform::WKWebView&) { didStartLoad(); }

void ZUMWebKitWebView::webViewDidFinishNavigation(platform::WKWebView&) {
  auto keepAlive = shared_from_this();
  didFinishLoad();
  invalidateIntrinsicContentSize();
}

void ZUMWebKitWebView::webViewDidFailNavigation(platform::WKWebView&, const platform::ErrorPtr& error) {
  didFailLoadWithError(error);
}

void ZUMWebKitWebView::webViewDidFailProvisionalNavigation(platform::WKWebView&, const platform::ErrorPtr& error) {
  didFailLoadWithError(error);
}

void ZUMWebKitWebView::webViewWebContentProcessDidTerminate(platform::WKWebView& webView) {
  didTerminateWebContentProcess(webView.webContentProcessTerminationReason());
}

std::shared_ptr<platform::WKWebView> ZUMWebKitWebView::webViewCreateWebViewWithConfiguration(
    platform::WKWebView&, const platform::WKWebViewConfiguration&,
    const platform::WKNavigationAction& navigationAction) {
  auto keepAlive = shared_from_this();
  if (auto delegate = this->delegate()) {
    delegate->webViewShouldStartLoadWithRequest(*this, navigationAction.request,
                                                navigationTypeForWKNavigationType(navigationAction.navigationType));
  }
  return nullptr;
}

void ZUMWebKitWebView::webViewRunJavaScriptAlertPanelWithMessage(platform::WKWebView&, const std::string& message,
                                                                 const platform::WKFrameInfo& frame,
                                                                 std::function<void()> completionHandler) {
  auto keepAlive = shared_from_this();
  const auto& url = frame.request.url();
  const std::string title = url ? url->host().value_or("") : "";
  if (auto delegate = this->delegate()) {
    delegate->webViewRunJavaScriptAlertPanelWithTitle(*this, title, message, std::move(completionHandler));
  } else if (completionHandler) {
    completionHandler();
  }
}
