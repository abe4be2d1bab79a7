#include "sdk/mediation/ZUMMRequestAnswers.h"

#include "ZUMMAdapterClass.h"
#include "ZUMRequest.h"
#include "platform/base/ClassRegistry.h"
#include "sdk/foundation/ZUMJSONReaders.h"
#include "sdk/foundation/ZUMLocation.h"
#include "sdk/foundation/ZUMLogger.h"
#include "sdk/mediation/ZUMMAdNetworkConfig.h"
#include "sdk/mediation/ZUMMConfig.h"

using Json = nlohmann::ordered_json;

void ZUMMRequestAnswers::takeCredentialsOf(const ZUMMAdNetworkConfig* networkConfig) {
  const Json* credentials = networkConfig ? networkConfig->credentials() : nullptr;
  isLocationShared_ = credentials && ZUMJSONStringForKey(*credentials, kZUMMShareLocationCredential) == "1";
  strippedCredentials_ = credentials ? *credentials : Json::object();
  strippedCredentials_.erase(kZUMMShareLocationCredential);
}

std::optional<std::string> ZUMMRequestAnswers::publisherId() const {
  const auto* config = answeredNetworkConfig();
  return config ? config->publisherID() : std::nullopt;
}

bool ZUMMRequestAnswers::testMode() const {
  auto request = answeredRequest();
  return request && request->isATestDevice();
}

std::shared_ptr<ZUMAdNetworkExtras> ZUMMRequestAnswers::networkExtras() const {
  const std::string name = currentAdapterName();
  auto classObject = ZUMMAdapterClassNamed(name);
  if (!classObject ||
      !platform::ClassRegistry::shared().respondsToClassOperation(name, kZUMMNetworkExtrasClassOperation)) {
    ZUMLogger::sharedInstance()->logPublicMessage("Adapter class " + name + " does not respond to " +
                                                  kZUMMNetworkExtrasClassOperation +
                                                  ". Unable to retrieve network extras.");
    return nullptr;
  }
  const auto extrasClass = classObject->networkExtrasClass();
  auto request = answeredRequest();
  return request && extrasClass ? request->adNetworkExtrasFor(*extrasClass) : nullptr;
}

std::optional<bool> ZUMMRequestAnswers::childDirectedTreatment() const {
  auto request = answeredRequest();
  return request ? request->childDirectedTreatment() : std::nullopt;
}

ZUMGender ZUMMRequestAnswers::userGender() const {
  auto request = answeredRequest();
  return request ? request->gender() : kZUMGenderUnknown;
}

std::optional<platform::TimeInterval> ZUMMRequestAnswers::userBirthday() const {
  auto request = answeredRequest();
  return request ? request->birthday() : std::nullopt;
}

bool ZUMMRequestAnswers::userHasLocation() const {
  auto request = answeredRequest();
  return isLocationShared_ && request && request->location();
}

double ZUMMRequestAnswers::userLatitude() const {
  return userHasLocation() ? answeredRequest()->location()->latitude() : 0;
}

double ZUMMRequestAnswers::userLongitude() const {
  return userHasLocation() ? answeredRequest()->location()->longitude() : 0;
}

double ZUMMRequestAnswers::userLocationAccuracyInMeters() const {
  return userHasLocation() ? answeredRequest()->location()->accuracy() : 0;
}

std::optional<std::string> ZUMMRequestAnswers::userLocationDescription() const {
  auto request = answeredRequest();
  if (!isLocationShared_ || !request || !request->location()) return std::nullopt;
  return request->location()->locationDescription();
}

std::optional<std::vector<std::string>> ZUMMRequestAnswers::userKeywords() const {
  auto request = answeredRequest();
  auto keywords = request ? request->keywords() : std::nullopt;
  return keywords ? ZUMJSONStringItems(*keywords) : std::nullopt;
}

std::optional<Json> ZUMMRequestAnswers::inlineAd() const {
  const auto* config = answeredNetworkConfig();
  return config && config->ad() ? std::optional<Json>(*config->ad()) : std::nullopt;
}

std::optional<Json> ZUMMRequestAnswers::extras() const {
  const auto* config = answeredNetworkConfig();
  return config && config->extras() ? std::optional<Json>(*config->extras()) : std::nullopt;
}

std::vector<std::vector<std::string>> ZUMMRequestAnswers::adapterNames() const {
  std::vector<std::vector<std::string>> names;
  const auto* mediationConfig = answeredMediationConfig();
  if (!mediationConfig) return names;
  for (const auto& config : mediationConfig->adNetworkConfigs()) names.push_back(config->adapterList());
  return names;
}

std::string ZUMMRequestAnswers::currentAdapterName() const {
  const auto* config = answeredNetworkConfig();
  return config && config->adapterClass() ? *config->adapterClass() : std::string();
}

std::optional<std::string> ZUMMRequestAnswers::userRequestAgent() const {
  auto request = answeredRequest();
  return request ? request->requestAgent() : std::nullopt;
}
