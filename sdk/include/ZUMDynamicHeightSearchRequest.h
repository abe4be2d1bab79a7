// The request of a dynamic-height search banner: a query and many styling and extension
// options. It does not go through the SDK core: the banner loads a search page whose URL
// fragment carries the options (dynamicHeightAdURLFragmentsWithAdUnitID()). Every
// property setter also writes its value into the fragment parameters under the
// property's key; setAdvancedOptionValue() writes any other. The request parameters
// are ZUMRequest's: the options never enter them.
//
// Everything the host gives is percent-encoded into the fragment (only ASCII letters,
// digits and "-._~" stay), so no host text reaches the page as markup or script; a
// "customDomain" option that is not a plain host name gives the default host.
//
// A plain value holder without a lock, as ZUMRequest. The fragment reads the request
// signal, so it is built on the main thread.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

#include "ZUMRequest.h"
#include "platform/base/URL.h"

// The host of the search page when no "customDomain" option names one.
inline constexpr const char* kZUMDynamicHeightSearchDefaultHost = "search.adnetwork.example";

class ZUMDynamicHeightSearchRequest : public ZUMRequest {
 public:
  static constexpr const char* kClassName = "ZUMDynamicHeightSearchRequest";

  static std::shared_ptr<ZUMDynamicHeightSearchRequest> create();
  ~ZUMDynamicHeightSearchRequest() override;

  std::string className() const override { return kClassName; }
  // A new request with ZUMRequest's properties and extras, every option and the fragment
  // parameters.
  std::shared_ptr<ZUMRequest> copy() const override;

  // Stores any fragment parameter: a string or a finite number (booleans count); any
  // other value leaves the parameter as it was.
  void setAdvancedOptionValue(const nlohmann::ordered_json& value, std::string_view key);
  void parameterHelperSetValue(const nlohmann::ordered_json& value, std::string_view key);
  const nlohmann::ordered_json& fragmentParameters() const { return fragmentParameters_; }

  // "key=value" pieces joined by "&", sorted by key: the fragment parameters but
  // "customDomain" (keys and string values percent-encoded, numbers as their text),
  // the request signal, "pubId" (the encoded ad unit), "SDKVersion" and "OSType". Main
  // thread.
  std::string dynamicHeightAdURLFragmentsWithAdUnitID(std::string_view adUnitID) const;
  // "https://<host>/search/ads/webview.html#<fragment>"; the host is "customDomain" when
  // it is a non-empty host name, else the default. Main thread.
  std::optional<platform::URL> TRVDynamicHeightSearchRequestURLWithAdUnitID(std::string_view adUnitID) const;

  // The options. A string set to nothing leaves the fragment's value as it was.
  std::optional<std::string> query() const { return stringProperty("query"); }
  void setQuery(std::optional<std::string> value) { setProperty("query", std::move(value)); }
  std::int64_t adPage() const { return integerProperty("adPage"); }
  void setAdPage(std::int64_t value) { setProperty("adPage", value); }
  bool adTestEnabled() const { return boolProperty("adTest"); }
  void setAdTestEnabled(bool value) { setAdTestProperty("adTest", value); }
  std::optional<std::string> channel() const { return stringProperty("channel"); }
  void setChannel(std::optional<std::string> value) { setProperty("channel", std::move(value)); }
  std::optional<std::string> hostLanguage() const { return stringProperty("hl"); }
  void setHostLanguage(std::optional<std::string> value) { setProperty("hl", std::move(value)); }
  std::optional<std::string> locationExtensionTextColor() const { return stringProperty("colorLocation"); }
  void setLocationExtensionTextColor(std::optional<std::string> value) {
    setProperty("colorLocation", std::move(value));
  }
  double locationExtensionFontSize() const { return doubleProperty("fontSizeLocation"); }
  void setLocationExtensionFontSize(double value) { setProperty("fontSizeLocation", value); }
  bool clickToCallExtensionEnabled() const { return boolProperty("clickToCall"); }
  void setClickToCallExtensionEnabled(bool value) { setProperty("clickToCall", value); }
  bool locationExtensionEnabled() const { return boolProperty("location"); }
  void setLocationExtensionEnabled(bool value) { setProperty("location", value); }
  bool endorsementsExtensionEnabled() const { return boolProperty("endorsements"); }
  void setEndorsementsExtensionEnabled(bool value) { setProperty("endorsements", value); }
  bool sellerRatingsExtensionEnabled() const { return boolProperty("sellerRatings"); }
  void setSellerRatingsExtensionEnabled(bool value) { setProperty("sellerRatings", value); }
  bool siteLinksExtensionEnabled() const { return boolProperty("siteLinks"); }
  void setSiteLinksExtensionEnabled(bool value) { setProperty("siteLinks", value); }
  std::optional<std::string> CSSWidth() const { return stringProperty("width"); }
  void setCSSWidth(std::optional<std::string> value) { setProperty("width", std::move(value)); }
  std::int64_t numberOfAds() const { return integerProperty("number"); }
  void setNumberOfAds(std::int64_t value) { setProperty("number", value); }
  std::optional<std::string> fontFamily() const { return stringProperty("fontFamily"); }
  void setFontFamily(std::optional<std::string> value) { setProperty("fontFamily", std::move(value)); }
  std::optional<std::string> attributionFontFamily() const { return stringProperty("fontFamilyAttribution"); }
  void setAttributionFontFamily(std::optional<std::string> value) {
    setProperty("fontFamilyAttribution", std::move(value));
  }
  double annotationFontSize() const { return doubleProperty("fontSizeAnnotation"); }
  void setAnnotationFontSize(double value) { setProperty("fontSizeAnnotation", value); }
  double attributionFontSize() const { return doubleProperty("fontSizeAttribution"); }
  void setAttributionFontSize(double value) { setProperty("fontSizeAttribution", value); }
  double descriptionFontSize() const { return doubleProperty("fontSizeDescription"); }
  void setDescriptionFontSize(double value) { setProperty("fontSizeDescription", value); }
  double domainLinkFontSize() const { return doubleProperty("fontSizeDomainLink"); }
  void setDomainLinkFontSize(double value) { setProperty("fontSizeDomainLink", value); }
  double titleFontSize() const { return doubleProperty("fontSizeTitle"); }
  void setTitleFontSize(double value) { setProperty("fontSizeTitle", value); }
  std::optional<std::string> adBorderColor() const { return stringProperty("colorAdBorder"); }
  void setAdBorderColor(std::optional<std::string> value) { setProperty("colorAdBorder", std::move(value)); }
  std::optional<std::string> adSeparatorColor() const { return stringProperty("colorAdSeparator"); }
  void setAdSeparatorColor(std::optional<std::string> value) { setProperty("colorAdSeparator", std::move(value)); }
  std::optional<std::string> annotationTextColor() const { return stringProperty("colorAnnotation"); }
  void setAnnotationTextColor(std::optional<std::string> value) { setProperty("colorAnnotation", std::move(value)); }
  std::optional<std::string> attributionTextColor() const { return stringProperty("colorAttribution"); }
  void setAttributionTextColor(std::optional<std::string> value) { setProperty("colorAttribution", std::move(value)); }
  std::optional<std::string> backgroundColor() const { return stringProperty("colorBackground"); }
  void setBackgroundColor(std::optional<std::string> value) { setProperty("colorBackground", std::move(value)); }
  std::optional<std::string> borderColor() const { return stringProperty("colorBorder"); }
  void setBorderColor(std::optional<std::string> value) { setProperty("colorBorder", std::move(value)); }
  std::optional<std::string> domainLinkColor() const { return stringProperty("colorDomainLink"); }
  void setDomainLinkColor(std::optional<std::string> value) { setProperty("colorDomainLink", std::move(value)); }
  std::optional<std::string> textColor() const { return stringProperty("colorText"); }
  void setTextColor(std::optional<std::string> value) { setProperty("colorText", std::move(value)); }
  std::optional<std::string> titleLinkColor() const { return stringProperty("colorTitleLink"); }
  void setTitleLinkColor(std::optional<std::string> value) { setProperty("colorTitleLink", std::move(value)); }
  std::optional<std::string> adBorderCSSSelections() const { return stringProperty("adBorderSelections"); }
  void setAdBorderCSSSelections(std::optional<std::string> value) {
    setProperty("adBorderSelections", std::move(value));
  }
  double adjustableLineHeight() const { return doubleProperty("adjustableLineHeight"); }
  void setAdjustableLineHeight(double value) { setProperty("adjustableLineHeight", value); }
  double attributionBottomSpacing() const { return doubleProperty("attributionSpacingBelow"); }
  void setAttributionBottomSpacing(double value) { setProperty("attributionSpacingBelow", value); }
  std::optional<std::string> borderCSSSelections() const { return stringProperty("borderSelections"); }
  void setBorderCSSSelections(std::optional<std::string> value) { setProperty("borderSelections", std::move(value)); }
  bool titleUnderlineHidden() const { return boolProperty("noTitleUnderline"); }
  void setTitleUnderlineHidden(bool value) { setProperty("noTitleUnderline", value); }
  bool boldTitleEnabled() const { return boolProperty("titleBold"); }
  void setBoldTitleEnabled(bool value) { setProperty("titleBold", value); }
  double verticalSpacing() const { return doubleProperty("verticalSpacing"); }
  void setVerticalSpacing(double value) { setProperty("verticalSpacing", value); }
  bool detailedAttributionExtensionEnabled() const { return boolProperty("detailedAttribution"); }
  void setDetailedAttributionExtensionEnabled(bool value) { setProperty("detailedAttribution", value); }
  bool longerHeadlinesExtensionEnabled() const { return boolProperty("longerHeadlines"); }
  void setLongerHeadlinesExtensionEnabled(bool value) { setProperty("longerHeadlines", value); }

 protected:
  ZUMDynamicHeightSearchRequest();

 private:
  std::optional<std::string> stringProperty(std::string_view key) const;
  std::int64_t integerProperty(std::string_view key) const;
  double doubleProperty(std::string_view key) const;
  bool boolProperty(std::string_view key) const;
  void setProperty(std::string_view key, std::optional<std::string> value);
  void setProperty(std::string_view key, std::int64_t value);
  void setProperty(std::string_view key, double value);
  void setProperty(std::string_view key, bool value);
  // "adTest": the property is a boolean, the fragment "on" or "off".
  void setAdTestProperty(std::string_view key, bool value);

  nlohmann::ordered_json properties_ = nlohmann::ordered_json::object();  // by fragment key
  nlohmann::ordered_json fragmentParameters_ = nlohmann::ordered_json::object();
};
