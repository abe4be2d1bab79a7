// The SDK's own network extras: a dictionary of additional request parameters that a
// host (or the SDK itself) registers on a ZUMRequest. The request sends the dictionary
// under "extras"; a few private keys in it steer the request and the slot:
//   "_useOnce"    true: the extras are unregistered after their first use;
//   "_ad"         an ad dictionary to show without asking the server (the request is
//                 then not cacheable);
//   "_requestUrl" the text of an ad URL to load directly;
//   "_adHeaders"  the response headers (a dictionary) of the "_ad" ad;
//   "_orientation" the orientation of such an ad, "p" or "l".
// An ad object is not a dictionary value, so an "_ad" that is already an ad travels in
// its own field, ad(); it counts as an "_ad" key wherever the key is looked for.
//
// A plain value holder without a lock: use it from one thread at a time.
#pragma once

#include <memory>
#include <optional>

#include <nlohmann/json_fwd.hpp>

#include "ZUMAdNetworkExtras.h"

class ZUMAd;

class ZUMExtras : public ZUMAdNetworkExtras {
 public:
  static constexpr const char* kClassName = "ZUMExtras";

  static std::shared_ptr<ZUMExtras> create();
  ~ZUMExtras() override;

  std::string className() const override { return kClassName; }

  // None at creation. The setter keeps a copy; a value that is not a dictionary
  // counts as none.
  std::optional<nlohmann::ordered_json> additionalParameters() const;
  void setAdditionalParameters(std::optional<nlohmann::ordered_json> parameters);
  // Whether the additional parameters hold "_ad", or an ad object is set.
  bool hasAd() const;

  // An "_ad" that is an ad object, shown as it is.
  std::shared_ptr<ZUMAd> ad() const { return ad_; }
  void setAd(std::shared_ptr<ZUMAd> ad) { ad_ = std::move(ad); }

  // A new extras object of the receiver's class with the same additional parameters
  // (and the same ad object).
  virtual std::shared_ptr<ZUMExtras> copy() const;

 protected:
  ZUMExtras();

 private:
  std::unique_ptr<nlohmann::ordered_json> additionalParameters_;  // nullptr: none
  std::shared_ptr<ZUMAd> ad_;
};
