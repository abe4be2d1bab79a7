// Invented adapter classes for the mediation tests: a current adapter, one answering
// only getInterstitial, one of an older contract, a rewarded-only adapter, a subclass of
// the current adapter and a plain class that is no adapter.
#pragma once

#include <memory>

#include "ZUMMAdNetworkAdapter.h"
#include "ZUMMAdapterClass.h"
#include "ZUMMRewardBasedVideoAdNetworkAdapter.h"
#include "platform/base/ClassRegistry.h"

namespace zummtest {

inline constexpr const char* kCurrentAdapter = "TestCurrentAdapter";
inline constexpr const char* kInterstitialOnlyAdapter = "TestInterstitialOnlyAdapter";
inline constexpr const char* kOldAdapter = "TestOldAdapter";
inline constexpr const char* kRewardedOnlyAdapter = "TestRewardedOnlyAdapter";
inline constexpr const char* kSubclassAdapter = "TestSubclassAdapter";
inline constexpr const char* kPlainClass = "TestPlainClass";

struct VersionedClass : ZUMMAdapterClass {
  std::optional<std::string> adapterVersion() const override { return "1.2.3"; }
};
struct PlainObject {};

inline void registerTestAdapterClasses() {
  auto object = std::make_shared<VersionedClass>();
  ZUMMRegisterAdapterClass(kCurrentAdapter, object,
                           {.protocols = {kZUMMAdNetworkAdapterProtocol},
                            .operations = {kZUMMGetBannerWithSizeOperation, kZUMMGetInterstitialOperation},
                            .classOperations = {kZUMMAdapterVersionOperation}});
  ZUMMRegisterAdapterClass(
      kInterstitialOnlyAdapter, object,
      {.protocols = {kZUMMAdNetworkAdapterProtocol}, .operations = {kZUMMGetInterstitialOperation}});
  ZUMMRegisterAdapterClass(kOldAdapter, object, {.protocols = {kZUMMAdNetworkAdapterProtocol}});
  ZUMMRegisterAdapterClass(kRewardedOnlyAdapter, object,
                           {.protocols = {kZUMMRewardBasedVideoAdNetworkAdapterProtocol}});
  ZUMMRegisterAdapterClass(kSubclassAdapter, object, {.superclass = kCurrentAdapter});
  platform::ClassRegistry::shared().registerClass<PlainObject>(kPlainClass,
                                                               [] { return std::make_shared<PlainObject>(); });
}

}  // namespace zummtest
