#include "sdk/network/ZUMAutoClickProtection.h"

std::shared_ptr<ZUMAutoClickProtection> ZUMAutoClickProtection::create(bool enabled) {
  return std::shared_ptr<ZUMAutoClickProtection>(new ZUMAutoClickProtection(enabled));
}
