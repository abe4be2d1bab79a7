// Messages from native code to a page: the script text of one call of the page's
// function QYRA_ReceiveMessage, with the message name and, when there is a payload, the
// payload's compact JSON:
//
//   QYRA_ReceiveMessage('onshow');
//   QYRA_ReceiveMessage('onAdVisibilityChanged', {"visible":"1"});
//
// The payload is written so that it can never end the call, the script or an enclosing
// <script> element: besides standard JSON escaping, "<", ">", "&", "'", U+2028 and
// U+2029 in its strings are written as \uXXXX escapes (the page reads the same values).
// Pure functions; any thread.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include <nlohmann/json_fwd.hpp>

#include "sdk/rendering/ZUMPageMessageName.h"

// The short form, for a message without a payload.
std::string ZUMJavaScriptMessageString(ZUMPageMessageName name);
// The form with the payload's JSON. A payload that is not a valid JSON object (null, a
// scalar, a non-finite number, a string that is not UTF-8, ...: what
// zum_JSONStringPretty refuses) is dropped, and the short form is built instead.
std::string ZUMJavaScriptMessageString(ZUMPageMessageName name, const nlohmann::ordered_json& payload);
// The same for a name that only arrives at run time through an interface of a lower
// area (the SDK-core controller's notifications): checked with ZUMIsPageMessageName,
// std::nullopt when unfit; an absent payload builds the short form.
std::optional<std::string> ZUMJavaScriptMessageStringForCheckedName(
    std::string_view name, const std::optional<nlohmann::ordered_json>& payload);
