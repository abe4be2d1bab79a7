// Helpers shared by the web tests: the test pages, content-process limits for a test's
// scope, and an interception handler that serves pages without a network.
#pragma once

#include <fstream>
#include <map>
#include <sstream>
#include <string>

#include "platform/net/URLProtocol.h"
#include "platform/web/ContentProcess.h"
#include "testing/TestPages.h"

namespace platform::webtest {

inline std::string pagePath(const std::string& name) { return testenv::testPagesDirectory() + "/" + name; }

inline std::string readPage(const std::string& name) {
  std::ifstream in(pagePath(name), std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

// Sets the content processes' limits for the scope of a test.
class ProcessLimits {
 public:
  explicit ProcessLimits(TimeInterval seconds, std::size_t memoryBytes = 64u << 20)
      : saved_(ContentProcess::defaultOptions()) {
    auto options = saved_;
    options.timeLimit = seconds;
    options.memoryLimit = memoryBytes;
    ContentProcess::setDefaultOptions(options);
  }
  ~ProcessLimits() { ContentProcess::setDefaultOptions(saved_); }
  // Also the time budget over its window.
  ProcessLimits(TimeInterval seconds, TimeInterval budget, TimeInterval window) : ProcessLimits(seconds) {
    auto options = ContentProcess::defaultOptions();
    options.timeBudget = budget;
    options.budgetWindow = window;
    ContentProcess::setDefaultOptions(options);
  }

 private:
  ContentProcess::Options saved_;
};

// Answers requests for the URLs a test registers (status 200, the given body); a URL
// registered with std::nullopt is held and never answered. Other requests go on to the
// network. Register with Server scope; it unregisters at the end.
class PageServer : public URLProtocol {
 public:
  static std::map<std::string, std::optional<std::string>>& pages() {
    static std::map<std::string, std::optional<std::string>> map;
    return map;
  }
  static std::vector<std::string>& requested() {
    static std::vector<std::string> list;
    return list;
  }
  static bool canInitWithRequest(const URLRequest& request) {
    return request.url() && pages().count(request.url()->absoluteString()) > 0;
  }
  PageServer(const URLRequest& request, std::shared_ptr<URLProtocolClient> client)
      : URLProtocol(request, std::move(client)) {}
  void startLoading() override {
    const std::string url = request().url()->absoluteString();
    requested().push_back(url);
    const auto& body = pages()[url];
    if (!body) return;
    client()->URLProtocolDidReceiveResponse(*this,
                                            HTTPURLResponse(*request().url(), 200, {{"Content-Type", "text/html"}}));
    client()->URLProtocolDidLoadData(*this, *body);
    client()->URLProtocolDidFinishLoading(*this);
  }
  void stopLoading() override {}

  struct Scope {
    Scope() { URLProtocol::registerClass<PageServer>(); }
    ~Scope() {
      URLProtocol::unregisterClass<PageServer>();
      pages().clear();
      requested().clear();
    }
  };
};

}  // namespace platform::webtest
