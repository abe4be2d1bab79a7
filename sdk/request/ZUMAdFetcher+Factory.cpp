#include "sdk/request/ZUMAdFetcher.h"

#include <utility>

#include "sdk/foundation/ZUMRegistrationPoint.h"

namespace {
using Factory = std::function<std::shared_ptr<ZUMAdFetcher>()>;
}

std::shared_ptr<ZUMAdFetcher> ZUMAdFetcher::create() {
  auto factory = ZUMRegistrationPoint<Factory>::current();
  return factory ? factory() : nullptr;
}

void ZUMAdFetcher::setFactory(std::function<std::shared_ptr<ZUMAdFetcher>()> factory) {
  ZUMRegistrationPoint<Factory>::set(std::move(factory));
}
