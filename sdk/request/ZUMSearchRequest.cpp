#include "ZUMSearchRequest.h"

#include <cstdio>
#include <utility>

#include <nlohmann/json.hpp>

#include "platform/base/StringConversions.h"
#include "sdk/foundation/ZUMColor.h"
#include "sdk/foundation/ZUMJSONReaders.h"

using json = nlohmann::ordered_json;

namespace {

constexpr const char* kBorderTypes[] = {"none", "dashed", "dotted", "solid"};
constexpr const char* kCallButtonColors[] = {"light", "medium", "dark"};

template <std::size_t N>
std::optional<std::string> nameOf(const char* const (&names)[N], std::uint64_t value) {
  if (value >= N) return std::nullopt;
  return names[value];
}

template <std::size_t N>
std::uint64_t valueOf(const char* const (&names)[N], const std::optional<std::string>& name) {
  for (std::size_t i = 0; name && i < N; ++i) {
    if (*name == names[i]) return i;
  }
  return 0;
}

std::optional<platform::Color> colorFor(const json& search, std::string_view key) {
  const auto text = ZUMJSONStringForKey(search, key);
  return text ? ZUMColorFromHexString(*text) : std::nullopt;
}

// Integer text as 64 bits; a negative number is no size and reads as 0.
std::uint64_t sizeFor(const json& search, std::string_view key) {
  const auto text = ZUMJSONStringForKey(search, key);
  const std::int64_t value = text ? platform::stringIntegerValue(*text) : 0;
  return value > 0 ? static_cast<std::uint64_t>(value) : 0;
}

}  // namespace

std::string ZUMSearchColorText(const platform::Color& color) {
  const auto byte = [](double component) { return static_cast<unsigned>(static_cast<int>(component * 255.0)); };
  char text[8];
  std::snprintf(text, sizeof text, "#%02x%02x%02x", byte(color.redComponent()), byte(color.greenComponent()),
                byte(color.blueComponent()));
  return text;
}

ZUMSearchRequest::ZUMSearchRequest() = default;
ZUMSearchRequest::~ZUMSearchRequest() = default;

std::shared_ptr<ZUMSearchRequest> ZUMSearchRequest::create() {
  return std::shared_ptr<ZUMSearchRequest>(new ZUMSearchRequest());
}

std::shared_ptr<ZUMRequest> ZUMSearchRequest::createWithParameters(const json& parameters) {
  return ZUMRequest::createWithParameters([]() -> std::shared_ptr<ZUMRequest> { return create(); }, parameters);
}

void ZUMSearchRequest::readParameters(const json& parameters) {
  ZUMRequest::readParameters(parameters);
  const json* search = ZUMJSONValueForKey(parameters, "search");
  if (!search || !search->is_object()) return;
  query_ = ZUMJSONStringForKey(*search, "q");
  fontFamily_ = ZUMJSONStringForKey(*search, "font");
  customChannels_ = ZUMJSONStringForKey(*search, "channel");
  backgroundColor_ = colorFor(*search, "bgcolor");
  gradientFrom_ = colorFor(*search, "gradientfrom");
  gradientTo_ = colorFor(*search, "gradientto");
  headerColor_ = colorFor(*search, "hcolor");
  anchorTextColor_ = colorFor(*search, "acolor");
  borderColor_ = colorFor(*search, "bcolor");
  descriptionTextColor_ = colorFor(*search, "dcolor");
  headerTextSize_ = sizeFor(*search, "headersize");
  borderThickness_ = sizeFor(*search, "bthick");
  borderType_ = valueOf(kBorderTypes, ZUMJSONStringForKey(*search, "btype"));
  callButtonColor_ = valueOf(kCallButtonColors, ZUMJSONStringForKey(*search, "callbuttoncolor"));
}

std::shared_ptr<ZUMRequest> ZUMSearchRequest::copy() const {
  auto result = create();
  copyInto(*result);
  result->setBackgroundColor(backgroundColor_);
  result->setGradientFrom(gradientFrom_);
  result->setGradientTo(gradientTo_);
  result->setQuery(query_);
  result->setHeaderColor(headerColor_);
  result->setDescriptionTextColor(descriptionTextColor_);
  result->setAnchorTextColor(anchorTextColor_);
  result->setFontFamily(fontFamily_);
  result->setHeaderTextSize(headerTextSize_);
  result->setBorderColor(borderColor_);
  result->setBorderType(borderType_);
  result->setBorderThickness(borderThickness_);
  result->setCustomChannels(customChannels_);
  result->setCallButtonColor(callButtonColor_);
  return result;
}

json ZUMSearchRequest::threadSafeParameters() const {
  json search = json::object();
  const auto put = [&](const char* key, const std::optional<std::string>& value) {
    if (value) search[key] = *value;
  };
  const auto putColor = [&](const char* key, const std::optional<platform::Color>& color) {
    if (color) search[key] = ZUMSearchColorText(*color);
  };
  put("q", query_);
  putColor("bgcolor", backgroundColor_);
  putColor("gradientfrom", gradientFrom_);
  putColor("gradientto", gradientTo_);
  putColor("hcolor", headerColor_);
  putColor("dcolor", descriptionTextColor_);
  putColor("acolor", anchorTextColor_);
  put("font", fontFamily_);
  search["headersize"] = std::to_string(headerTextSize_);
  putColor("bcolor", borderColor_);
  put("btype", nameOf(kBorderTypes, borderType_));
  search["bthick"] = std::to_string(borderThickness_);
  put("channel", customChannels_);
  put("callbuttoncolor", nameOf(kCallButtonColors, callButtonColor_));
  json result = ZUMRequest::threadSafeParameters();
  result["search"] = std::move(search);
  return result;
}

void ZUMSearchRequest::setBackgroundSolid(std::optional<platform::Color> color) {
  backgroundColor_ = color;
  gradientFrom_.reset();
  gradientTo_.reset();
}

void ZUMSearchRequest::setBackgroundGradientFrom(std::optional<platform::Color> from,
                                                 std::optional<platform::Color> to) {
  if (!from || !to) return;
  backgroundColor_.reset();
  gradientFrom_ = from;
  gradientTo_ = to;
}
