#include "platform/net/URLProtocol.h"

#include <mutex>
#include <vector>

#include "platform/base/DispatchQueue.h"
#include "platform/base/TestingReset.h"

namespace platform {

namespace {

struct Registration {
  std::type_index key;
  URLProtocol::CanInit canInit;
  URLProtocol::Make make;
};

struct Registry {
  std::mutex mutex;
  std::vector<Registration> classes;  // first asked first
};

Registry& registry() {
  static Registry* instance = [] {
    auto* made = new Registry();  // lives as long as the process
    // Classes a test registered end with it.
    registerTestingReset(made, [made] {
      std::lock_guard lock(made->mutex);
      made->classes.clear();
    });
    return made;
  }();
  return *instance;
}

}  // namespace

void URLProtocol::registerClass(std::type_index key, CanInit canInit, Make make) {
  std::lock_guard lock(registry().mutex);
  auto& classes = registry().classes;
  std::erase_if(classes, [&](const Registration& r) { return r.key == key; });
  classes.insert(classes.begin(), Registration{key, std::move(canInit), std::move(make)});
}

void URLProtocol::unregisterClass(std::type_index key) {
  std::lock_guard lock(registry().mutex);
  std::erase_if(registry().classes, [&](const Registration& r) { return r.key == key; });
}

std::shared_ptr<URLProtocol> URLProtocol::handlerForRequest(const URLRequest& request,
                                                            std::shared_ptr<URLProtocolClient> client) {
  std::vector<Registration> classes;
  {
    std::lock_guard lock(registry().mutex);
    classes = registry().classes;  // handlers may register classes while asked
  }
  for (const auto& registration : classes) {
    if (registration.canInit && registration.canInit(request)) {
      return registration.make ? registration.make(request, std::move(client)) : nullptr;
    }
  }
  return nullptr;
}

const std::shared_ptr<DispatchQueue>& URLProtocol::loadingQueue() {
  static const auto* queue = new std::shared_ptr<DispatchQueue>(DispatchQueue::serial("platform.url-loading"));
  return *queue;
}

URLProtocol::URLProtocol(const URLRequest& request, std::shared_ptr<URLProtocolClient> client)
    : request_(request), client_(std::move(client)) {}

URLProtocol::~URLProtocol() = default;

}  // namespace platform
