#include "sdk/mediation/ZUMMAdNetworkAdapterImpl.h"

#include <utility>

#include "ZUMMAdNetworkAdapter.h"
#include "ZUMMAdapterClass.h"
#include "ZUMMRewardBasedVideoAdNetworkAdapter.h"
#include "platform/base/ClassRegistry.h"

namespace {

platform::ClassRegistry& registry() { return platform::ClassRegistry::shared(); }

}  // namespace

void ZUMMRegisterAdapterClass(std::string name, std::shared_ptr<ZUMMAdapterClass> classObject,
                              platform::ClassDescriptor descriptor) {
  if (name.empty() || !classObject) return;
  registry().registerClass<ZUMMAdapterClass>(
      std::move(name), [classObject = std::move(classObject)] { return classObject; }, std::move(descriptor));
}

std::shared_ptr<ZUMMAdapterClass> ZUMMAdapterClassNamed(std::string_view name) {
  return registry().create<ZUMMAdapterClass>(name);
}

std::vector<std::string> ZUMMAdNetworkAdapterImpl::availableAdapterNamesInSet(const std::vector<std::string>& names) {
  std::vector<std::string> available;
  for (const auto& name : names) {
    if (registry().conformsToProtocol(name, kZUMMAdNetworkAdapterProtocol)) available.push_back(name);
  }
  return available;
}

bool ZUMMAdNetworkAdapterImpl::classIsAdapterClass(std::string_view className) {
  return registry().conformsToProtocol(className, kZUMMAdNetworkAdapterProtocol) ||
         registry().conformsToProtocol(className, kZUMMRewardBasedVideoAdNetworkAdapterProtocol);
}

bool ZUMMAdNetworkAdapterImpl::classImplementsCurrentAdapterAPI(std::string_view className) {
  return registry().instancesRespondToOperation(className, kZUMMGetBannerWithSizeOperation) ||
         registry().instancesRespondToOperation(className, kZUMMGetInterstitialOperation) ||
         registry().conformsToProtocol(className, kZUMMRewardBasedVideoAdNetworkAdapterProtocol);
}

bool ZUMMAdNetworkAdapterImpl::classExists(std::string_view className) { return registry().isRegistered(className); }
