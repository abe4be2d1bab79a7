// One ad being loaded or shown: where it comes from (its HTML and base URL, or its ad
// URL), its size and orientations, the refresh interval the slot adopts, its statistics
// and the flags the slot reads while loading. Built from an ad dictionary (the SDK-core
// page's answer or a request's "_ad" extras) or with setters, then completed by the ad
// fetcher from the response headers.
//
// ZUMBannerAd also reads the refresh rate from its dictionary; ZUMInterstitialAd only
// marks the ad as an interstitial's.
//
// No lock: built and used on the main thread.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include <nlohmann/json_fwd.hpp>

#include "platform/base/URL.h"
#include "platform/ui/Geometry.h"

class ZUMStatisticDictionary;

class ZUMAd {
 public:
  // An empty ad: the defaults.
  static std::shared_ptr<ZUMAd> create();
  // An ad read from an ad dictionary; values of the wrong kind count as absent.
  static std::shared_ptr<ZUMAd> createWithDictionary(const nlohmann::ordered_json& dictionary);
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

  // 0 invalid, 1 standard, 2 mediation, 3 native, 4 custom rendering.
  std::uint64_t responseType() const { return responseType_; }
  void setResponseType(std::uint64_t type) { responseType_ = type; }

  // 0 x 0 unless set.
  const platform::Size& size() const { return size_; }
  void setSize(const platform::Size& size) { size_ = size; }
  // 0 unless set.
  double reloadInterval() const { return reloadInterval_; }
  void setReloadInterval(double seconds) { reloadInterval_ = seconds; }
  // Interface-orientation mask; 30 (all four) unless set.
  std::uint64_t supportedOrientations() const { return supportedOrientations_; }
  void setSupportedOrientations(std::uint64_t mask) { supportedOrientations_ = mask; }
  // 10000 unless set.
  double croppedContentThreshold() const { return croppedContentThreshold_; }
  void setCroppedContentThreshold(double threshold) { croppedContentThreshold_ = threshold; }
  // The ad is ad-network JavaScript, run with a passback URL.
  bool hasAdNetworkJavaScript() const { return hasAdNetworkJavaScript_; }
  const std::optional<platform::URL>& adNetworkPassbackURL() const { return adNetworkPassbackURL_; }
  // The server's query id of the response.
  const std::optional<std::string>& BRVQueryID() const { return BRVQueryID_; }
  void setBRVQueryID(std::optional<std::string> id) { BRVQueryID_ = std::move(id); }
  // The ad unit the ad was loaded for.
  const std::optional<std::string>& adUnitID() const { return adUnitID_; }
  void setAdUnitID(std::optional<std::string> id) { adUnitID_ = std::move(id); }

 protected:
  ZUMAd();
  // Reads the ad dictionary's keys; subclasses call it first, then read their own.
  virtual void readDictionary(const nlohmann::ordered_json& dictionary);

 private:
  std::shared_ptr<ZUMStatisticDictionary> statistics_;
  std::optional<platform::URL> adBaseURL_;
  std::optional<std::string> adHTML_;
  std::optional<platform::URL> adURL_;
  std::uint64_t responseType_ = 0;
  platform::Size size_{0, 0};
  double reloadInterval_ = 0.0;
  std::uint64_t supportedOrientations_ = 30;
  double croppedContentThreshold_ = 10000.0;
  bool hasAdNetworkJavaScript_ = false;
  std::optional<platform::URL> adNetworkPassbackURL_;
  std::optional<std::string> BRVQueryID_;
  std::optional<std::string> adUnitID_;
};

// A banner's ad: the dictionary's "refresh_rate" (a number) becomes its reload interval.
class ZUMBannerAd : public ZUMAd {
 public:
  static std::shared_ptr<ZUMBannerAd> create();
  static std::shared_ptr<ZUMBannerAd> createWithDictionary(const nlohmann::ordered_json& dictionary);

 protected:
  ZUMBannerAd() = default;
  void readDictionary(const nlohmann::ordered_json& dictionary) override;
};

// An interstitial's ad.
class ZUMInterstitialAd : public ZUMAd {
 public:
  static std::shared_ptr<ZUMInterstitialAd> create();
  static std::shared_ptr<ZUMInterstitialAd> createWithDictionary(const nlohmann::ordered_json& dictionary);

 protected:
  ZUMInterstitialAd() = default;
};
