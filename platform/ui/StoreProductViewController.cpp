#include "platform/ui/StoreProductViewController.h"

#include <cmath>
#include <map>

#include <nlohmann/json.hpp>

#include "platform/base/DispatchQueue.h"
#include "platform/base/TestingReset.h"

namespace platform {

namespace {

struct Store {
  std::map<std::string, bool> scripted;
  TimeInterval delay = 0;
};

Store& store() {
  static auto* s = [] {
    auto* made = new Store();
    registerTestingReset(made, [made] { *made = Store(); });
    return made;
  }();
  return *s;
}

std::optional<std::string> identifierFrom(const nlohmann::ordered_json& parameters) {
  if (!parameters.is_object()) return std::nullopt;
  auto it = parameters.find(kStoreProductParameterITunesItemIdentifier);
  if (it == parameters.end()) return std::nullopt;
  if (it->is_number_integer()) return it->dump();
  if (it->is_number_float()) {
    const double d = it->get<double>();
    if (!std::isfinite(d) || d != std::floor(d) || std::fabs(d) > 9e15) return std::nullopt;
    return std::to_string(static_cast<long long>(d));
  }
  if (it->is_string()) return it->get<std::string>();
  return std::nullopt;
}

bool loads(const std::string& identifier) {
  auto& s = store();
  if (auto it = s.scripted.find(identifier); it != s.scripted.end()) return it->second;
  if (identifier.empty() || identifier.size() > 18) return false;
  for (char c : identifier) {
    if (c < '0' || c > '9') return false;
  }
  return std::stoll(identifier) > 0;
}

}  // namespace

std::shared_ptr<StoreProductViewController> StoreProductViewController::create() {
  return std::shared_ptr<StoreProductViewController>(new StoreProductViewController());
}

void StoreProductViewController::loadProductWithParameters(const nlohmann::ordered_json& parameters,
                                                           LoadCompletion completion) {
  productIdentifier_ = identifierFrom(parameters);
  loaded_ = false;
  const bool ok = productIdentifier_ && loads(*productIdentifier_);
  auto self = std::static_pointer_cast<StoreProductViewController>(shared_from_this());
  // The sheet keeps itself alive while the store answers, as the platform's does.
  auto finish = [self, ok, completion = std::move(completion)] {
    self->loaded_ = ok;
    if (!completion) return;
    completion(ok, ok ? nullptr : Error::create(kStoreErrorDomain, 0));
  };
  const TimeInterval delay = store().delay;
  if (delay > 0) {
    DispatchQueue::main()->after(delay, std::move(finish));
  } else {
    DispatchQueue::main()->async(std::move(finish));
  }
}

void StoreProductViewController::tapDone() {
  if (auto d = delegate()) d->productViewControllerDidFinish(*this);
}

void StoreProductViewController::setProductLoads(const std::string& productIdentifier, bool loads) {
  store().scripted[productIdentifier] = loads;
}

void StoreProductViewController::setLoadDelay(TimeInterval seconds) {
  store().delay = std::isfinite(seconds) && seconds > 0 ? seconds : 0;
}

}  // namespace platform
