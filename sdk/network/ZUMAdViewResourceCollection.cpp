#include "sdk/network/ZUMAdViewResourceCollection.h"

#include <atomic>
#include <limits>

#include "platform/base/TestingReset.h"
#include "platform/net/HTTPURLResponse.h"
#include "platform/net/URLRequest.h"

namespace {
std::atomic<bool> greedyCollection{false};
[[maybe_unused]] const bool kGreedyCollectionResets = platform::resetBetweenTests(greedyCollection, false);
}  // namespace

std::shared_ptr<ZUMAdViewResourceCollection> ZUMAdViewResourceCollection::create() {
  return std::shared_ptr<ZUMAdViewResourceCollection>(new ZUMAdViewResourceCollection());
}

std::shared_ptr<ZUMAdViewResourceCollection> ZUMAdViewResourceCollection::copy() const {
  return std::shared_ptr<ZUMAdViewResourceCollection>(new ZUMAdViewResourceCollection(*this));
}

void ZUMAdViewResourceCollection::setGreedyCollectionEnabled(bool enabled) { greedyCollection = enabled; }
bool ZUMAdViewResourceCollection::isGreedyCollectionEnabled() { return greedyCollection; }

void ZUMAdViewResourceCollection::addRequest(const platform::URLRequest& request) {
  if (!request.url()) return;
  std::string URLString = request.url()->absoluteString();
  const auto& mainDocument = request.mainDocumentURL();
  const bool isMainDocument = mainDocument && mainDocument->absoluteString() == URLString;
  if (mainDocument && mainDocument->absoluteString() != mainDocumentURLString_) {
    if (!isGreedyCollectionEnabled()) {
      resources_.clear();
      dropped_ = 0;
    }
    mainDocumentURLString_ = mainDocument->absoluteString();
  }
  append(isMainDocument ? ZUMAdViewResourceTypeMainDocument : ZUMAdViewResourceTypeSubresource, std::move(URLString));
}

void ZUMAdViewResourceCollection::addResponse(const platform::URLRequest& request,
                                              const platform::HTTPURLResponse& response) {
  if (!request.url()) return;
  if (auto* resource = latestResource(request.url()->absoluteString())) {
    resource->statusCode = response.statusCode();
    resource->MIMEType = response.MIMEType();
  }
}

void ZUMAdViewResourceCollection::addData(const platform::URLRequest& request, std::size_t length) {
  if (!request.url()) return;
  if (auto* resource = latestResource(request.url()->absoluteString())) {
    constexpr auto kMax = std::numeric_limits<std::uint64_t>::max();
    resource->receivedBytes = length > kMax - resource->receivedBytes ? kMax : resource->receivedBytes + length;
  }
}

void ZUMAdViewResourceCollection::addClickThrough(std::string URLString) {
  append(ZUMAdViewResourceTypeClickThrough, std::move(URLString));
}

void ZUMAdViewResourceCollection::addAutoClickRequest(const platform::URLRequest& request) {
  append(ZUMAdViewResourceTypeAutoClickRequest, request.url() ? request.url()->absoluteString() : std::string());
}

void ZUMAdViewResourceCollection::append(ZUMAdViewResourceType type, std::string URLString) {
  // A page can request without end; the record stays bounded.
  if (resources_.size() >= kMaxResources) {
    ++dropped_;
    return;
  }
  ZUMAdViewResource resource;
  resource.type = type;
  resource.URLString = std::move(URLString);
  resources_.push_back(std::move(resource));
}

ZUMAdViewResource* ZUMAdViewResourceCollection::latestResource(std::string_view URLString) {
  for (auto it = resources_.rbegin(); it != resources_.rend(); ++it) {
    if (it->URLString == URLString &&
        (it->type == ZUMAdViewResourceTypeSubresource || it->type == ZUMAdViewResourceTypeMainDocument)) {
      return &*it;
    }
  }
  return nullptr;
}
