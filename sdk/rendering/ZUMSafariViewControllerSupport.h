// Whether the platform's browser controller may show a URL: its scheme, in any case, is
// one of "/vantor/ads/zums:safariviewcontroller_supported_schemes" (absent: http and
// https). Any thread.
#pragma once

#include "platform/base/URL.h"

bool ZUMSafariViewControllerSupportsURL(const platform::URL& url);
