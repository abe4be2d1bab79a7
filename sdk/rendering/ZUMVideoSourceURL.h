// Which URLs a page may hand to the video player and to the precache download. A page
// is untrusted: it may name remote videos, the SDK's tcache URLs (whose inner URL is
// http(s)), and files inside the SDK's own cache folder (the precache files it was
// told of), never any other local file. Pure functions; any thread.
#pragma once

#include "platform/base/URL.h"

// An http or https URL with a host (any case of the scheme).
[[nodiscard]] bool ZUMIsRemoteVideoSourceURL(const platform::URL& url);
// A remote URL, a tcache URL with an http(s) inner URL, or a file inside the SDK's cache
// folder (however the path is spelled).
[[nodiscard]] bool ZUMIsAllowedVideoSourceURL(const platform::URL& url);
