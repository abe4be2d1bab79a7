// An ad another network delivered, wrapped so that the SDK treats it as one of its own:
// the click and impression handlers the waterfall installs (the connector's pings) and
// the network adapter's class name. ZUMMediatedBannerAd wraps a network's banner view,
// ZUMMediatedNativeAdImpl a network's native ad object; for an ad loader each turns
// itself into a loadable ad of the SDK (loadableAdForAdLoader).
//
// It lives in the native area, below mediation, because the native ad kinds take the
// native wrapper and report to it; mediation's banner wrapper derives from it there.
//
// Handlers are copies, run in the order added. Main thread only.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class ZUMAdLoader;
class ZUMLoadable;

class ZUMMediatedAd {
 public:
  using Handler = std::function<void()>;

  static std::shared_ptr<ZUMMediatedAd> create() { return std::shared_ptr<ZUMMediatedAd>(new ZUMMediatedAd()); }
  virtual ~ZUMMediatedAd() = default;
  ZUMMediatedAd(const ZUMMediatedAd&) = delete;
  ZUMMediatedAd& operator=(const ZUMMediatedAd&) = delete;

  // An empty handler is not kept.
  void addClickHandler(Handler handler);
  void addImpressionHandler(Handler handler);
  // Run every handler of the list, in the order added.
  virtual void reportClick();
  virtual void reportImpression();
  // The SDK ad the wrapper becomes for `loader`; none in the base class.
  virtual std::shared_ptr<ZUMLoadable> loadableAdForAdLoader(ZUMAdLoader& /*loader*/) { return nullptr; }

  const std::optional<std::string>& adNetworkClassName() const { return adNetworkClassName_; }
  void setAdNetworkClassName(std::optional<std::string> name) { adNetworkClassName_ = std::move(name); }

 protected:
  ZUMMediatedAd() = default;
  void runClickHandlers() const;
  void runImpressionHandlers() const;

 private:
  static void run(const std::vector<Handler>& handlers);

  std::vector<Handler> clickHandlers_;
  std::vector<Handler> impressionHandlers_;
  std::optional<std::string> adNetworkClassName_;
};
