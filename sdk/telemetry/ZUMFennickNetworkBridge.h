// The native network function that the Fennick script calls in a script context
// ("ZUMFennickNetworkIOFn"): the script's parameters become a request, and the answer
// goes back to the script's success or failure callback. The script is downloaded, so
// everything it passes is checked: the URL is http(s), the method an HTTP token, header
// names tokens and values strings without line breaks (others skipped), bodies bounded,
// each byte-array element a defined byte (its integer value's low 8 bits; NaN, infinite,
// out-of-range and non-numbers give 0), the response text bounded. A refused request
// reaches the failure callback with the reason, status 0 and error code 1.
#pragma once

#include <cstddef>
#include <optional>
#include <string>

#include <nlohmann/json_fwd.hpp>

#include "platform/base/Error.h"
#include "platform/net/HTTPURLResponse.h"
#include "platform/net/URLRequest.h"

inline constexpr std::size_t kZUMFennickMaxRequestBodyBytes = 1u << 20;
inline constexpr std::size_t kZUMFennickMaxResponseTextBytes = 1u << 20;
inline constexpr std::size_t kZUMFennickMaxMethodLength = 32;

struct ZUMFennickBridgeRequest {
  std::optional<platform::URLRequest> request;  // absent when refused
  std::string refusal;                          // why, when refused
};

// The request that `parameters` (the script's object) asks for.
ZUMFennickBridgeRequest ZUMFennickMakeBridgeRequest(const nlohmann::ordered_json& parameters);

// The object passed to the script's callback: {"status_code", "response"} on success,
// with "error_code" and "error_message" too on failure (a status of 400 or more is a
// failure with the SDK's code 11). Sets `failed`.
nlohmann::ordered_json ZUMFennickBridgeResult(const std::optional<platform::HTTPURLResponse>& response,
                                              const std::string& data, const platform::ErrorPtr& error, bool* failed);
// The failure object of a refused request.
nlohmann::ordered_json ZUMFennickBridgeRefusal(const std::string& reason);
