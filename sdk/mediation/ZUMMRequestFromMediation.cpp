#include "sdk/mediation/ZUMMRequestFromMediation.h"

#include <nlohmann/json.hpp>

#include "ZUMExtras.h"
#include "ZUMRequest.h"
#include "platform/base/JSONObjectIndex.h"
#include "sdk/foundation/ZUMDevice.h"
#include "sdk/foundation/ZUMJSONReaders.h"
#include "sdk/mediation/ZUMMAdNetworkConnectorImpl.h"
#include "sdk/mediation/ZUMMediationAdRequestInternal.h"
#include "sdk/request/ZUMAd.h"

using Json = nlohmann::ordered_json;

std::shared_ptr<ZUMRequest> ZUMRequestWithMediationAdRequest(const ZUMMediationAdRequest& mediationRequest) {
  auto request = ZUMRequest::create();
  if (mediationRequest.testMode()) {
    request->setTestDevices(
        Json::array({kZUMSimulatorID, kZUMSimulatorID, ZUMDevice::sharedInstance()->deviceIdentifier()}));
  }
  if (auto tag = mediationRequest.childDirectedTreatment()) request->tagForChildDirectedTreatment(*tag);
  if (mediationRequest.userHasLocation()) {
    request->setLocationWithLatitude(mediationRequest.userLatitude(), mediationRequest.userLongitude(),
                                     mediationRequest.userLocationAccuracyInMeters());
  } else if (auto description = mediationRequest.userLocationDescription()) {
    request->setLocationWithDescription(*description);
  }
  request->setGender(mediationRequest.userGender());
  request->setBirthday(mediationRequest.userBirthday());
  if (auto keywords = mediationRequest.userKeywords()) request->setKeywords(Json(*keywords));
  const auto* internal = dynamic_cast<const ZUMMediationAdRequestInternal*>(&mediationRequest);
  request->setRequestAgent(internal ? internal->userRequestAgent() : std::nullopt);
  ZUMRequestConfigureNetworkExtrasWithMediationAdRequest(*request, &mediationRequest);
  ZUMRequestAddAdapterListWithMediationAdRequest(*request, internal);
  return request;
}

void ZUMRequestAddAdapterListWithMediationAdRequest(ZUMRequest& request,
                                                    const ZUMMediationAdRequestInternal* mediationRequest) {
  if (!mediationRequest) return;
  const std::string current = mediationRequest->currentAdapterName();
  // The connectors answer "" for an entry without an adapter class.
  if (current.empty()) return;
  auto names = mediationRequest->adapterNames();
  Json adapterNames = names.empty() ? Json::array({current}) : Json(names);
  request.setPrivateMediationExtras(Json{{"man", std::move(adapterNames)}, {"mcan", current}});
}

void ZUMRequestConfigureNetworkExtrasWithMediationAdRequest(ZUMRequest& request,
                                                            const ZUMMediationAdRequest* mediationRequest) {
  if (!mediationRequest) return;
  // A copy: the publisher's extras object must hold what it held after the waterfall.
  auto publisherExtras = std::dynamic_pointer_cast<ZUMExtras>(mediationRequest->networkExtras());
  auto extras = publisherExtras ? publisherExtras->copy() : ZUMExtras::create();
  Json parameters = extras->additionalParameters().value_or(Json::object());
  if (auto url = parameters.find("_mediationRequestUrl"); url != parameters.end()) {
    parameters["_requestUrl"] = *url;
  }
  if (auto hac = ZUMJSONStringForKey(mediationRequest->credentials(), "mad_hac")) parameters["mad_hac"] = *hac;
  parameters["pw"] = "1";
  if (const auto* internal = dynamic_cast<const ZUMMediationAdRequestInternal*>(mediationRequest)) {
    if (auto entryExtras = internal->extras(); entryExtras && entryExtras->is_object()) {
      // The server chooses how many: each key is found through an index.
      platform::JSONObjectIndex keys(parameters.get_ref<Json::object_t&>());
      for (const auto& [key, value] : entryExtras->items()) {
        if (value.is_string()) keys[key] = value;
      }
    }
    if (auto inlined = internal->inlineAd(); inlined && inlined->is_object()) {
      // An ad object carries the original request and redirects a dictionary cannot.
      const auto* connector = dynamic_cast<const ZUMMAdNetworkConnectorImpl*>(internal);
      extras->setAd(
          ZUMAd::createWithDictionary(*inlined, connector ? connector->inlineAdNativeFields() : ZUMAd::NativeFields{}));
    }
  }
  extras->setAdditionalParameters(std::move(parameters));
  request.registerAdNetworkExtras(std::move(extras));
}
