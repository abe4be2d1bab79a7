// The checks that decide whether a class found by name may serve as a mediation
// adapter (the SDK's class of the name ZUMMAdNetworkAdapter; the protocol of that name
// is in sdk/include). Classes are looked up in the process-wide class registry and
// judged by their descriptors, superclasses included. Any thread.
#pragma once

#include <string>
#include <string_view>
#include <vector>

class ZUMMAdNetworkAdapterImpl {
 public:
  ZUMMAdNetworkAdapterImpl() = delete;

  // The names, in their order, of registered classes that adopt the banner and
  // interstitial adapter protocol, themselves or through a superclass.
  static std::vector<std::string> availableAdapterNamesInSet(const std::vector<std::string>& names);
  // Whether the class adopts the adapter protocol or the rewarded-video one.
  static bool classIsAdapterClass(std::string_view className);
  // Whether its objects answer getBannerWithSize or getInterstitial, or the class is a
  // rewarded-video adapter; false marks an adapter of an older contract.
  static bool classImplementsCurrentAdapterAPI(std::string_view className);
  // Whether a class of that name is registered at all.
  static bool classExists(std::string_view className);
};
