// tcache URLs name a resource that the SDK-core page downloads into a resource cache:
// "tcache://...?url=<percent-encoded http(s) URL>&...". Pure function; any thread.
#pragma once

#include <optional>

#include "platform/base/URL.h"

// The URL in the "url" query parameter of a URL whose scheme is "tcache" (any case);
// std::nullopt for other schemes, a missing or undecodable parameter, or an inner URL
// that is not http(s) (a page must not reach local files through it).
[[nodiscard]] std::optional<platform::URL> ZUMURLFromTCacheURL(const std::optional<platform::URL>& url);
