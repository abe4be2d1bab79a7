// The native-video support page of this SDK's ad network, built into the SDK so that
// tests and the demo can serve it at ZUMMediaContent::kVideoSupportPath. Pure function;
// any thread.
#pragma once

#include <string_view>

std::string_view ZUMNativeVideoPageHTML();
