// The store's product sheet: a view controller that loads one product's page from
// parameters and tells its delegate when the user is done with it (the delegate then
// dismisses it). The store is a model: which products load is scripted by tests (and
// any positive integer identifier loads unless told otherwise); a load completes on a
// later turn of the main queue, after the scripted delay of run-loop time.
//
// Main thread only.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include <nlohmann/json_fwd.hpp>

#include "platform/base/Clock.h"
#include "platform/base/Error.h"
#include "platform/ui/ViewController.h"

namespace platform {

// The parameter key of the product's identifier: a number (or a string of digits).
inline constexpr const char* kStoreProductParameterITunesItemIdentifier = "id";
// The domain of the store's errors; code 0 is "unknown".
inline constexpr const char* kStoreErrorDomain = "SKErrorDomain";

class StoreProductViewController;

class StoreProductViewControllerDelegate {
 public:
  virtual ~StoreProductViewControllerDelegate() = default;
  // The user tapped "Done".
  virtual void productViewControllerDidFinish(StoreProductViewController&) {}
};

class StoreProductViewController : public ViewController {
 public:
  using LoadCompletion = std::function<void(bool result, ErrorPtr error)>;

  static std::shared_ptr<StoreProductViewController> create();

  std::shared_ptr<StoreProductViewControllerDelegate> delegate() const { return delegate_.lock(); }
  void setDelegate(std::weak_ptr<StoreProductViewControllerDelegate> delegate) { delegate_ = std::move(delegate); }

  // Loads the product named by the parameters; the completion learns the outcome.
  void loadProductWithParameters(const nlohmann::ordered_json& parameters, LoadCompletion completion);
  // The identifier of the last product asked for; nullopt before the first load.
  const std::optional<std::string>& productIdentifier() const { return productIdentifier_; }
  // Whether a product has loaded into the sheet.
  bool isProductLoaded() const { return loaded_; }

  // The user taps "Done" (test controls).
  void tapDone();

  // The store's side (tests): whether a product loads, and how long loads take.
  static void setProductLoads(const std::string& productIdentifier, bool loads);
  static void setLoadDelay(TimeInterval seconds);

 protected:
  StoreProductViewController() = default;

 private:
  std::weak_ptr<StoreProductViewControllerDelegate> delegate_;
  std::optional<std::string> productIdentifier_;
  bool loaded_ = false;
};

}  // namespace platform
