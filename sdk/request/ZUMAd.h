// One ad being loaded or shown: where it comes from (its HTML and base URL, or its ad
// URL), its size and orientations, the refresh interval the slot adopts, the URLs it
// pings for clicks and impressions, its active-view and safe-browsing settings, its
// reward, and the flags the slot and the ad view read while rendering. Built from an
// ad dictionary (the SDK-core page's answer or a request's "_ad" extras) or with
// setters, then completed by the ad fetcher from the response headers. It sends its own
// click, impression and debug-signal pings.
//
// ZUMBannerAd also reads the refresh rate from its dictionary; ZUMInterstitialAd only
// marks the ad as an interstitial's.
//
// No lock: built and used on the main thread. The pings hand their URLs to singletons
// that run their own queues.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json_fwd.hpp>

#include "platform/base/URL.h"
#include "platform/net/URLRequest.h"
#include "platform/ui/Geometry.h"

class ZUMAdMediationDelegate;
class ZUMAdReward;
class ZUMMRAIDEventHandling;
class ZUMSafeBrowsingReporter;
class ZUMStatisticDictionary;
class ZUMURLConnectionRedirect;

// What an ad response holds (ZUMAd::responseType()).
inline constexpr std::uint64_t kZUMInvalidResponseType = 0;
inline constexpr std::uint64_t kZUMStandardResponseType = 1;
inline constexpr std::uint64_t kZUMMediationResponseType = 2;
inline constexpr std::uint64_t kZUMNativeResponseType = 3;
inline constexpr std::uint64_t kZUMCustomRenderingResponseType = 4;

class ZUMAd {
 public:
  // An empty ad: the defaults.
  static std::shared_ptr<ZUMAd> create();
  // The entries "_native_original_request" and "_native_request_redirects" of an inlined
  // ad's dictionary, which are not property-list values and so travel beside it, typed.
  // Mediation's inline ad (the connector's inlineAd: the slot's ad's original request,
  // and its redirects plus the synthetic 399 one) fills them; the built-in adapters hand
  // them to createWithDictionary with the dictionary.
  struct NativeFields {
    std::optional<platform::URLRequest> originalRequest;
    std::vector<std::shared_ptr<ZUMURLConnectionRedirect>> requestRedirects;
  };

  // An ad read from an ad dictionary; values of the wrong kind count as absent. The
  // native fields' request becomes originalRequest(), their redirects are appended.
  static std::shared_ptr<ZUMAd> createWithDictionary(const nlohmann::ordered_json& dictionary,
                                                     const NativeFields& native = {});
  virtual ~ZUMAd();
  ZUMAd(const ZUMAd&) = delete;
  ZUMAd& operator=(const ZUMAd&) = delete;

  // Per-ad statistics, reported to the hub.
  std::shared_ptr<ZUMStatisticDictionary> statistics() const { return statistics_; }

  const std::optional<platform::URL>& adBaseURL() const { return adBaseURL_; }
  void setAdBaseURL(std::optional<platform::URL> url) { adBaseURL_ = std::move(url); }
  const std::optional<std::string>& adHTML() const { return adHTML_; }
  void setAdHTML(std::optional<std::string> html) { adHTML_ = std::move(html); }
  const std::optional<platform::URL>& adURL() const { return adURL_; }
  void setAdURL(std::optional<platform::URL> url) { adURL_ = std::move(url); }
  // The request that fetched the ad.
  const std::optional<platform::URLRequest>& originalRequest() const { return originalRequest_; }
  void setOriginalRequest(std::optional<platform::URLRequest> request) { originalRequest_ = std::move(request); }
  // The redirects met while fetching, in order; the fetcher adds them.
  const std::vector<std::shared_ptr<ZUMURLConnectionRedirect>>& redirects() const { return redirects_; }
  void addRedirect(std::shared_ptr<ZUMURLConnectionRedirect> redirect);

  // The response headers by lower-case name (a dictionary of strings), or nullopt.
  std::optional<nlohmann::ordered_json> responseHeaders() const;
  void setResponseHeaders(const std::optional<nlohmann::ordered_json>& headers);
  // Active-view settings (a dictionary), or nullopt.
  std::optional<nlohmann::ordered_json> activeViewConfigurations() const;
  void setActiveViewConfigurations(const std::optional<nlohmann::ordered_json>& configurations);
  // 0, or 1 for the displayed impression.
  std::int64_t impressionDefinition() const { return impressionDefinition_; }
  void setImpressionDefinition(std::int64_t definition) { impressionDefinition_ = definition; }

  // One of the kZUM...ResponseType values above.
  std::uint64_t responseType() const { return responseType_; }
  void setResponseType(std::uint64_t type) { responseType_ = type; }
  // Whether the ad's web view may scroll; true unless set.
  bool scrollEnabled() const { return scrollEnabled_; }
  void setScrollEnabled(bool enabled) { scrollEnabled_ = enabled; }
  // The receiver of the ad page's MRAID events (weak).
  std::shared_ptr<ZUMMRAIDEventHandling> MRAIDEventHandler() const { return MRAIDEventHandler_.lock(); }
  void setMRAIDEventHandler(const std::shared_ptr<ZUMMRAIDEventHandling>& handler) { MRAIDEventHandler_ = handler; }

  // 0 x 0 unless set.
  const platform::Size& size() const { return size_; }
  void setSize(const platform::Size& size) { size_ = size; }
  bool fluid() const { return fluid_; }
  void setFluid(bool fluid) { fluid_ = fluid; }
  // 0 unless set.
  double reloadInterval() const { return reloadInterval_; }
  void setReloadInterval(double seconds) { reloadInterval_ = seconds; }
  // Interface-orientation mask; 30 (all four) unless set.
  std::uint64_t supportedOrientations() const { return supportedOrientations_; }
  void setSupportedOrientations(std::uint64_t mask) { supportedOrientations_ = mask; }
  // The creative information of the debug options dialog.
  const std::optional<std::string>& debugDialogString() const { return debugDialogString_; }
  void setDebugDialogString(std::optional<std::string> text) { debugDialogString_ = std::move(text); }
  // The response's custom ad size text.
  const std::optional<std::string>& customAdSizeString() const { return customAdSizeString_; }
  void setCustomAdSizeString(std::optional<std::string> text) { customAdSizeString_ = std::move(text); }
  const std::shared_ptr<ZUMSafeBrowsingReporter>& safeBrowsingReporter() const { return safeBrowsingReporter_; }
  void setSafeBrowsingReporter(std::shared_ptr<ZUMSafeBrowsingReporter> reporter) {
    safeBrowsingReporter_ = std::move(reporter);
  }
  // 10000 unless set.
  double croppedContentThreshold() const { return croppedContentThreshold_; }
  void setCroppedContentThreshold(double threshold) { croppedContentThreshold_ = threshold; }
  // The ad is ad-network JavaScript, run with a passback URL.
  bool hasAdNetworkJavaScript() const { return hasAdNetworkJavaScript_; }
  const std::optional<platform::URL>& adNetworkPassbackURL() const { return adNetworkPassbackURL_; }
  // The server's query id of the response.
  const std::optional<std::string>& BRVQueryID() const { return BRVQueryID_; }
  void setBRVQueryID(std::optional<std::string> id) { BRVQueryID_ = std::move(id); }
  // The ad object that mediates for this ad (weak).
  std::shared_ptr<ZUMAdMediationDelegate> mediationDelegate() const { return mediationDelegate_.lock(); }
  void setMediationDelegate(const std::shared_ptr<ZUMAdMediationDelegate>& delegate) { mediationDelegate_ = delegate; }
  // The data the debug-signal ping sends.
  const std::optional<std::string>& debugSignalInformation() const { return debugSignalInformation_; }
  void setDebugSignalInformation(std::optional<std::string> text) { debugSignalInformation_ = std::move(text); }
  // The ad unit the ad was loaded for.
  const std::optional<std::string>& adUnitID() const { return adUnitID_; }
  void setAdUnitID(std::optional<std::string> id) { adUnitID_ = std::move(id); }
  const std::shared_ptr<ZUMAdReward>& reward() const { return reward_; }
  void setReward(std::shared_ptr<ZUMAdReward> reward) { reward_ = std::move(reward); }
  bool customCloseBlocked() const { return customCloseBlocked_; }
  void setCustomCloseBlocked(bool blocked) { customCloseBlocked_ = blocked; }

  // Add each URL to the click, impression or manual-impression set; a URL already in
  // the set is not added twice.
  void addClickURLsFromArray(const std::vector<platform::URL>& urls);
  void addImpressionURLsFromArray(const std::vector<platform::URL>& urls);
  void addManualImpressionURLsFromArray(const std::vector<platform::URL>& urls);
  // The sets, in the order their URLs were first added.
  const std::vector<platform::URL>& clickURLs() const { return clickURLs_; }
  const std::vector<platform::URL>& impressionURLs() const { return impressionURLs_; }
  const std::vector<platform::URL>& manualImpressionURLs() const { return manualImpressionURLs_; }

  // Pings every click URL (through the analytics bridge, event "_ac"); the set stays, so
  // every click pings again.
  void pingClickURLs();
  // Pings every impression URL (event "_ai") and empties the set: once per URL and ad.
  void pingImpressionURLs();
  // Pings every manual impression URL as it is and empties the set.
  void pingManualImpressionURLs();
  // At most once per ad, and only in debug mode with "/vantor/ads/debug_signal_data_url"
  // set and debug-signal information present: pings that URL with "linkedDeviceId",
  // "adSlotPath" and "debugData".
  void pingDebugSignal();

 protected:
  ZUMAd();
  // Reads the ad dictionary's keys; subclasses call it first, then read their own.
  virtual void readDictionary(const nlohmann::ordered_json& dictionary);
  void readNativeFields(const NativeFields& native);

 private:
  std::shared_ptr<ZUMStatisticDictionary> statistics_;
  std::optional<platform::URL> adBaseURL_;
  std::optional<std::string> adHTML_;
  std::optional<platform::URL> adURL_;
  std::optional<platform::URLRequest> originalRequest_;
  std::vector<std::shared_ptr<ZUMURLConnectionRedirect>> redirects_;
  std::unique_ptr<nlohmann::ordered_json> responseHeaders_;
  std::unique_ptr<nlohmann::ordered_json> activeViewConfigurations_;
  std::int64_t impressionDefinition_ = 0;
  std::uint64_t responseType_ = 0;
  bool scrollEnabled_ = true;
  std::weak_ptr<ZUMMRAIDEventHandling> MRAIDEventHandler_;
  platform::Size size_{0, 0};
  bool fluid_ = false;
  double reloadInterval_ = 0.0;
  std::uint64_t supportedOrientations_ = 30;
  std::optional<std::string> debugDialogString_;
  std::optional<std::string> customAdSizeString_;
  std::shared_ptr<ZUMSafeBrowsingReporter> safeBrowsingReporter_;
  double croppedContentThreshold_ = 10000.0;
  bool hasAdNetworkJavaScript_ = false;
  std::optional<platform::URL> adNetworkPassbackURL_;
  std::optional<std::string> BRVQueryID_;
  std::weak_ptr<ZUMAdMediationDelegate> mediationDelegate_;
  std::optional<std::string> debugSignalInformation_;
  std::optional<std::string> adUnitID_;
  std::shared_ptr<ZUMAdReward> reward_;
  bool customCloseBlocked_ = false;

  std::vector<platform::URL> clickURLs_;
  std::vector<platform::URL> impressionURLs_;
  std::vector<platform::URL> manualImpressionURLs_;
  bool debugSignalSent_ = false;
};

// A banner's ad: the dictionary's "refresh_rate" (a number) becomes its reload interval.
class ZUMBannerAd : public ZUMAd {
 public:
  static std::shared_ptr<ZUMBannerAd> create();
  static std::shared_ptr<ZUMBannerAd> createWithDictionary(const nlohmann::ordered_json& dictionary,
                                                           const NativeFields& native = {});

 protected:
  ZUMBannerAd() = default;
  void readDictionary(const nlohmann::ordered_json& dictionary) override;
};

// An interstitial's ad.
class ZUMInterstitialAd : public ZUMAd {
 public:
  static std::shared_ptr<ZUMInterstitialAd> create();
  static std::shared_ptr<ZUMInterstitialAd> createWithDictionary(const nlohmann::ordered_json& dictionary,
                                                                 const NativeFields& native = {});

 protected:
  ZUMInterstitialAd() = default;
};
