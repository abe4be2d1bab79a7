// Reports an ad as bad: posts {"debugHeader": the creative information, or null} as
// pretty-printed JSON to "/vantor/ads/bad_ad_report_path" (when it is a non-empty
// string, else the built-in endpoint). Fire and forget.
//
// Any thread.
#pragma once

#include <cstddef>
#include <optional>
#include <string>

inline constexpr const char* kZUMBadAdReportEndpoint = "https://ads.adnetwork.example/s/reportAd";

void ZUMReportBadAd(const std::optional<std::string>& creativeInformation);
// Reports sent whose answer has not come back yet.
std::size_t ZUMBadAdReportsInFlight();
