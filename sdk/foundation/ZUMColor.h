// Colours written as hexadecimal text by servers and pages ("#FF8800", "0x336699").
// Pure function; any thread.
#pragma once

#include <optional>
#include <string_view>

#include "platform/ui/Color.h"

// An opaque RGB colour from the first hexadecimal number in `text`, read after skipping
// white space and "#" (an optional "0x" allowed; more than eight digits saturate):
// bits 16-23 red, 8-15 green, 0-7 blue, each divided by 255. std::nullopt when no
// hexadecimal number can be read there.
[[nodiscard]] std::optional<platform::Color> ZUMColorFromHexString(std::string_view text);
