#include "ZUMCustomEventRequest.h"

#include "ZUMCustomEventExtras.h"
#include "ZUMMediationAdRequest.h"
#include "sdk/foundation/ZUMJSONReaders.h"

std::shared_ptr<ZUMCustomEventRequest> ZUMCustomEventRequest::create(const ZUMMediationAdRequest& connector) {
  std::shared_ptr<ZUMCustomEventRequest> request(new ZUMCustomEventRequest());
  request->userGender_ = connector.userGender();
  request->userBirthday_ = connector.userBirthday();
  request->userHasLocation_ = connector.userHasLocation();
  request->userLatitude_ = connector.userLatitude();
  request->userLongitude_ = connector.userLongitude();
  request->userLocationAccuracyInMeters_ = connector.userLocationAccuracyInMeters();
  request->userLocationDescription_ = connector.userLocationDescription();
  request->userKeywords_ = connector.userKeywords();
  request->isTesting_ = connector.testMode();
  if (auto extras = std::dynamic_pointer_cast<ZUMCustomEventExtras>(connector.networkExtras())) {
    if (auto label = ZUMJSONStringForKey(connector.credentials(), "label")) {
      request->additionalParameters_ = extras->extrasForLabel(*label);
    }
  }
  return request;
}
