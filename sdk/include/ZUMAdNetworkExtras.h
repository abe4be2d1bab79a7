// The marker every network-extras object conforms to: an object of values for one ad
// network (or for the SDK itself, ZUMExtras) that a host registers on a request. A
// request holds at most one extras object per class, found by className().
//
// Thread safety is the implementing class's.
#pragma once

#include <string>

class ZUMAdNetworkExtras {
 public:
  virtual ~ZUMAdNetworkExtras() = default;
  // The name the request stores the extras under: the implementing class's own name.
  virtual std::string className() const = 0;
};
