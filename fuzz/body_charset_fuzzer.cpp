// Response bodies of any bytes and any declared charset, turned into the text an ad is
// read from: served by an interception handler to an ad-response connection. The text
// is always valid UTF-8, and a UTF-8 body not declared Latin-1 arrives unchanged.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "fuzz/FuzzEnvironment.h"
#include "platform/base/PercentEncoding.h"
#include "platform/net/URLProtocol.h"
#include "sdk/network/ZUMURLConnection.h"
#include "sdk/network/ZUMURLConnectionDelegate.h"

namespace {

struct Served {
  std::string contentType;
  std::string body;
};
Served gServed;

class BodyServer : public platform::URLProtocol {
 public:
  using URLProtocol::URLProtocol;
  static bool canInitWithRequest(const platform::URLRequest&) { return true; }
  void startLoading() override {
    client()->URLProtocolDidReceiveResponse(
        *this, platform::HTTPURLResponse(*request().url(), 200, {{"Content-Type", gServed.contentType}}));
    client()->URLProtocolDidLoadData(*this, gServed.body);
    client()->URLProtocolDidFinishLoading(*this);
  }
  void stopLoading() override {}
};

class Delegate : public ZUMURLConnectionDelegate {
 public:
  platform::ErrorPtr connectionShouldRedirectToURL(ZUMURLConnection&, const platform::URL&) override { return nullptr; }
  void connectionWillPerformRedirect(ZUMURLConnection&, const std::shared_ptr<ZUMURLConnectionRedirect>&) override {}
  bool connectionLoadShouldUseCacheForResponse(ZUMURLConnection&, const platform::HTTPURLResponse&) override {
    return false;
  }
  void connectionLoadDidReceiveCachedResponse(ZUMURLConnection&, const platform::HTTPURLResponse&) override {}
  void connectionLoadDidFinish(ZUMURLConnection&, const std::string& body, const platform::URL&) override {
    text = body;
  }
  void connectionLoadDidFail(ZUMURLConnection&, const platform::ErrorPtr&, std::int64_t) override { failed = true; }

  std::optional<std::string> text;
  bool failed = false;
};

constexpr std::string_view kTypes[] = {
    "text/html",
    "text/html; charset=utf-8",
    "text/html; charset=ISO-8859-1",
    "text/html; charset=\"latin1\"",
    "text/html; charset=windows-1252",
    "text/html; charset=",
    "application/json; charset=utf-16",
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  fuzzenv::setUpOnce("body_charset");
  static const bool registered = [] {
    platform::URLProtocol::registerClass<BodyServer>();
    return true;
  }();
  (void)registered;

  const std::string_view body(reinterpret_cast<const char*>(data + 1), size - 1);
  const std::size_t type = data[0] % std::size(kTypes);
  gServed = {std::string(kTypes[type]), std::string(body)};

  auto connection = ZUMURLConnection::create();
  auto delegate = std::make_shared<Delegate>();
  platform::URLRequest request(*platform::URL::fromString("https://ads.example.com/ad"),
                               platform::URLRequest::CachePolicy::ReloadIgnoringLocalCacheData);
  static_cast<void>(connection->startWithRequestURL(request, delegate, nullptr));
  fuzzenv::drainMainLoop();

  fuzzenv::check(delegate->text.has_value() && !delegate->failed);
  fuzzenv::check(platform::PercentEncoding::isValidUTF8(*delegate->text));
  const bool latin1 = type >= 2 && type <= 4;
  if (!latin1 && platform::PercentEncoding::isValidUTF8(body)) fuzzenv::check(*delegate->text == body);
  return 0;
}
