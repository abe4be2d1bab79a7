#include "ZUMRequestError.h"

#include <nlohmann/json.hpp>

ZUMRequestErrorPtr ZUMRequestErrorFromError(const platform::ErrorPtr& error) {
  if (!error) return nullptr;
  platform::Error::Details details;
  details.localizedDescription = error->givenLocalizedDescription();
  details.localizedFailureReason = error->localizedFailureReason();
  details.underlyingError = error->underlyingError();
  return std::make_shared<const ZUMRequestError>(ZUMRequestError::PrivateTag{}, error->domain(), error->code(),
                                                 &error->userInfo(), std::move(details));
}
