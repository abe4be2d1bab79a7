// A purchase offered by an ad, as the host once reported its outcome. Kept for hosts
// that name it; it carries no behaviour: it cannot be made (create() gives nullptr) and
// reporting a status does nothing. Any thread.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

class ZUMInAppPurchase {
 public:
  static std::shared_ptr<ZUMInAppPurchase> create() { return nullptr; }

  const std::string& productID() const { return productID_; }
  std::int64_t quantity() const { return quantity_; }
  void reportPurchaseStatus(std::int64_t) {}

 private:
  ZUMInAppPurchase() = default;
  std::string productID_;
  std::int64_t quantity_ = 0;
};
