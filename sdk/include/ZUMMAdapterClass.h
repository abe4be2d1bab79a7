// An adapter class as the SDK finds it by name: its class operations (adapterVersion,
// networkExtrasClass) and its initialisers. A host registers each of its adapter and
// custom-event classes once, with a descriptor saying what the class adopts and what
// its objects answer:
//
//   ZUMMRegisterAdapterClass("MyNetworkAdapter", std::make_shared<MyNetworkAdapterClass>(),
//                            {.protocols = {kZUMMAdNetworkAdapterProtocol},
//                             .operations = {kZUMMGetBannerWithSizeOperation, kZUMMGetInterstitialOperation},
//                             .classOperations = {kZUMMAdapterVersionOperation, kZUMMNetworkExtrasClassOperation},
//                             .initialisers = {kZUMMInitWithAdNetworkConnector}});
//
// A subclass names its superclass (`.superclass`) and inherits its protocols and
// operations. Class objects are shared; any thread.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include <nlohmann/json_fwd.hpp>

#include "platform/base/ClassRegistry.h"

class ZUMMAdNetworkAdapter;
class ZUMMAdNetworkConnector;
class ZUMMRewardBasedVideoAdNetworkAdapter;
class ZUMMRewardBasedVideoAdNetworkConnector;

inline constexpr const char* kZUMMAdapterVersionOperation = "adapterVersion";
inline constexpr const char* kZUMMNetworkExtrasClassOperation = "networkExtrasClass";
inline constexpr const char* kZUMMInitWithAdNetworkConnector = "initWithZUMMAdNetworkConnector:";
inline constexpr const char* kZUMMInitWithRewardBasedVideoAdNetworkConnector =
    "initWithRewardBasedVideoAdNetworkConnector:";
inline constexpr const char* kZUMMInitWithRewardBasedVideoAdNetworkConnectorCredentials =
    "initWithRewardBasedVideoAdNetworkConnector:credentials:";

class ZUMMAdapterClass {
 public:
  virtual ~ZUMMAdapterClass() = default;

  // The adapter's version; std::nullopt when the class does not answer it.
  virtual std::optional<std::string> adapterVersion() const { return std::nullopt; }
  // The class name of the network extras the adapter reads (ZUMAdNetworkExtras::className).
  virtual std::optional<std::string> networkExtrasClass() const { return std::nullopt; }

  // Initialisers: a new adapter for the connector, or nullptr when the class has none.
  virtual std::shared_ptr<ZUMMAdNetworkAdapter> initWithZUMMAdNetworkConnector(
      const std::shared_ptr<ZUMMAdNetworkConnector>& /*connector*/) const {
    return nullptr;
  }
  virtual std::shared_ptr<ZUMMRewardBasedVideoAdNetworkAdapter> initWithRewardBasedVideoAdNetworkConnector(
      const std::shared_ptr<ZUMMRewardBasedVideoAdNetworkConnector>& /*connector*/) const {
    return nullptr;
  }
  virtual std::shared_ptr<ZUMMRewardBasedVideoAdNetworkAdapter> initWithRewardBasedVideoAdNetworkConnector(
      const std::shared_ptr<ZUMMRewardBasedVideoAdNetworkConnector>& /*connector*/,
      const nlohmann::ordered_json& /*credentials*/) const {
    return nullptr;
  }
};

// Registers (or replaces) the class `name` in the process-wide class registry. An empty
// name or a missing class object is ignored.
void ZUMMRegisterAdapterClass(std::string name, std::shared_ptr<ZUMMAdapterClass> classObject,
                              platform::ClassDescriptor descriptor);
// The class object registered under `name` as an adapter class; nullptr otherwise.
std::shared_ptr<ZUMMAdapterClass> ZUMMAdapterClassNamed(std::string_view name);
