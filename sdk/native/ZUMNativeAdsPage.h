// The native-ads support page of this SDK's ad network, built into the SDK so that tests
// and the demo can serve it where ZUMNativeAd::supportHTMLURL() points. Pure function;
// any thread.
#pragma once

#include <string_view>

std::string_view ZUMNativeAdsPageHTML();
