// The request of a search ad: a ZUMRequest with a search query and the styling of the
// search banner (colours, font, header size, border, channels, call-button colour),
// sent under the request parameter "search" and read back from it.
//
// A plain value holder without a lock, as ZUMRequest.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "ZUMRequest.h"
#include "platform/ui/Color.h"

// Border kinds ("btype").
inline constexpr std::uint64_t kZUMSearchBorderTypeNone = 0;
inline constexpr std::uint64_t kZUMSearchBorderTypeDashed = 1;
inline constexpr std::uint64_t kZUMSearchBorderTypeDotted = 2;
inline constexpr std::uint64_t kZUMSearchBorderTypeSolid = 3;
// Call-button colours ("callbuttoncolor").
inline constexpr std::uint64_t kZUMSearchCallButtonLight = 0;
inline constexpr std::uint64_t kZUMSearchCallButtonMedium = 1;
inline constexpr std::uint64_t kZUMSearchCallButtonDark = 2;

// "#rrggbb" of a colour's red, green and blue (a grey's white for all three), each
// times 255 and truncated.
std::string ZUMSearchColorText(const platform::Color& color);

class ZUMSearchRequest : public ZUMRequest {
 public:
  static constexpr const char* kClassName = "ZUMSearchRequest";

  static std::shared_ptr<ZUMSearchRequest> create();
  // As ZUMRequest's, then the keys under "search"; a colour that is not hexadecimal text
  // stays unset, an unknown border type or call-button colour reads as 0.
  static std::shared_ptr<ZUMRequest> createWithParameters(const nlohmann::ordered_json& parameters);
  ~ZUMSearchRequest() override;

  std::string className() const override { return kClassName; }
  std::shared_ptr<ZUMRequest> copy() const override;
  // ZUMRequest's parameters with "search": {"q", "bgcolor", "gradientfrom", "gradientto",
  // "hcolor", "dcolor", "acolor", "font", "headersize", "bcolor", "btype", "bthick",
  // "channel", "callbuttoncolor"}, each that has a value, in this order.
  nlohmann::ordered_json threadSafeParameters() const override;
  bool cacheable() const override { return false; }

  // A solid background: the gradient is cleared.
  void setBackgroundSolid(std::optional<platform::Color> color);
  // A gradient, only when both colours are given: the solid background is cleared.
  void setBackgroundGradientFrom(std::optional<platform::Color> from, std::optional<platform::Color> to);

  const std::optional<platform::Color>& backgroundColor() const { return backgroundColor_; }
  void setBackgroundColor(std::optional<platform::Color> c) { backgroundColor_ = c; }
  const std::optional<platform::Color>& gradientFrom() const { return gradientFrom_; }
  void setGradientFrom(std::optional<platform::Color> c) { gradientFrom_ = c; }
  const std::optional<platform::Color>& gradientTo() const { return gradientTo_; }
  void setGradientTo(std::optional<platform::Color> c) { gradientTo_ = c; }
  const std::optional<std::string>& query() const { return query_; }
  void setQuery(std::optional<std::string> query) { query_ = std::move(query); }
  const std::optional<platform::Color>& headerColor() const { return headerColor_; }
  void setHeaderColor(std::optional<platform::Color> c) { headerColor_ = c; }
  const std::optional<platform::Color>& descriptionTextColor() const { return descriptionTextColor_; }
  void setDescriptionTextColor(std::optional<platform::Color> c) { descriptionTextColor_ = c; }
  const std::optional<platform::Color>& anchorTextColor() const { return anchorTextColor_; }
  void setAnchorTextColor(std::optional<platform::Color> c) { anchorTextColor_ = c; }
  const std::optional<std::string>& fontFamily() const { return fontFamily_; }
  void setFontFamily(std::optional<std::string> font) { fontFamily_ = std::move(font); }
  std::uint64_t headerTextSize() const { return headerTextSize_; }
  void setHeaderTextSize(std::uint64_t size) { headerTextSize_ = size; }
  const std::optional<platform::Color>& borderColor() const { return borderColor_; }
  void setBorderColor(std::optional<platform::Color> c) { borderColor_ = c; }
  std::uint64_t borderType() const { return borderType_; }
  void setBorderType(std::uint64_t type) { borderType_ = type; }
  std::uint64_t borderThickness() const { return borderThickness_; }
  void setBorderThickness(std::uint64_t thickness) { borderThickness_ = thickness; }
  const std::optional<std::string>& customChannels() const { return customChannels_; }
  void setCustomChannels(std::optional<std::string> channels) { customChannels_ = std::move(channels); }
  std::uint64_t callButtonColor() const { return callButtonColor_; }
  void setCallButtonColor(std::uint64_t color) { callButtonColor_ = color; }

 protected:
  ZUMSearchRequest();
  void readParameters(const nlohmann::ordered_json& parameters) override;

 private:
  std::optional<platform::Color> backgroundColor_;
  std::optional<platform::Color> gradientFrom_;
  std::optional<platform::Color> gradientTo_;
  std::optional<std::string> query_;
  std::optional<platform::Color> headerColor_;
  std::optional<platform::Color> descriptionTextColor_;
  std::optional<platform::Color> anchorTextColor_;
  std::optional<std::string> fontFamily_;
  std::uint64_t headerTextSize_ = 0;
  std::optional<platform::Color> borderColor_;
  std::uint64_t borderType_ = 0;
  std::uint64_t borderThickness_ = 0;
  std::optional<std::string> customChannels_;
  std::uint64_t callButtonColor_ = 0;
};
