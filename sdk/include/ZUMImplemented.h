// The answer of an optional delegate operation that has nothing else to say. The default
// body answers std::nullopt, "not implemented", and the SDK then acts as it does for a
// delegate without the operation; an override answers kZUMImplemented.
#pragma once

#include <optional>

struct ZUMImplementedTag {};
using ZUMImplemented = std::optional<ZUMImplementedTag>;
inline constexpr ZUMImplemented kZUMImplemented{ZUMImplementedTag{}};
