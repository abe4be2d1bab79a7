#include "sdk/network/ZUMAdURLStash.h"

#include <atomic>
#include <utility>

#include "platform/base/DispatchQueue.h"
#include "platform/base/TestingReset.h"
#include "platform/base/URL.h"
#include "platform/net/HTTPURLResponse.h"
#include "platform/net/URLRequest.h"
#include "sdk/foundation/ZUMThreading.h"
#include "sdk/network/ZUMAdViewResourceCollection.h"

std::shared_ptr<ZUMAdURLStash> ZUMAdURLStash::sharedInstance() {
  // Never destroyed: blocks queued on its own queue may still run while the process exits.
  static auto* shared = new platform::ResettableShared<ZUMAdURLStash>(
      [] { return std::shared_ptr<ZUMAdURLStash>(new ZUMAdURLStash()); }, platform::OnTestingReset::Keep);
  return shared->get();
}

ZUMAdViewKey ZUMAdURLStash::newAdViewKey() {
  // 64 bits never wrap in practice: a key is never reused.
  static std::atomic<ZUMAdViewKey> last{0};
  return ++last;
}

ZUMAdURLStash::ZUMAdURLStash() : queue_(ZUMDispatchQueueCreate("com.vantor.morvane.adurlstash")) {}

void ZUMAdURLStash::withRecord(ZUMAdViewKey adView, bool create,
                               std::function<void(ZUMAdViewResourceCollection&)> work) {
  if (!adView) return;
  queue_->async([this, adView, create, work = std::move(work)] {
    auto it = records_.find(adView);
    if (it == records_.end()) {
      if (!create) return;
      it = records_.emplace(adView, ZUMAdViewResourceCollection::create()).first;
    }
    work(*it->second);
  });
}

void ZUMAdURLStash::adViewWillLoadRootContent(ZUMAdViewKey adView) {
  if (!adView) return;
  queue_->async([this, adView] { records_[adView] = ZUMAdViewResourceCollection::create(); });
}

void ZUMAdURLStash::adViewDidStartLoad(ZUMAdViewKey adView) {
  withRecord(adView, true, [](ZUMAdViewResourceCollection& record) { record.noteLoadStarted(); });
}

void ZUMAdURLStash::adViewDidFinishLoad(ZUMAdViewKey adView) {
  withRecord(adView, false, [](ZUMAdViewResourceCollection& record) { record.noteLoadFinished(); });
}

void ZUMAdURLStash::adViewWillLoadURLRequest(ZUMAdViewKey adView, const platform::URLRequest& request) {
  withRecord(adView, true, [request](ZUMAdViewResourceCollection& record) { record.addRequest(request); });
}

void ZUMAdURLStash::adViewRequestWillReceiveResponse(ZUMAdViewKey adView, const platform::URLRequest& request,
                                                     const platform::HTTPURLResponse& response) {
  withRecord(adView, false,
             [request, response](ZUMAdViewResourceCollection& record) { record.addResponse(request, response); });
}

void ZUMAdURLStash::adViewRequestDidReceiveData(ZUMAdViewKey adView, const platform::URLRequest& request,
                                                std::string_view data) {
  // Only the length is kept, so the bytes need not travel to the queue.
  withRecord(adView, false,
             [request, length = data.size()](ZUMAdViewResourceCollection& record) { record.addData(request, length); });
}

void ZUMAdURLStash::adViewDidFinishLayout(ZUMAdViewKey adView) {
  withRecord(adView, false, [](ZUMAdViewResourceCollection& record) { record.noteLayoutFinished(); });
}

void ZUMAdURLStash::adViewDidClickThroughToURL(ZUMAdViewKey adView, const platform::URL& URL) {
  withRecord(adView, false,
             [string = URL.absoluteString()](ZUMAdViewResourceCollection& record) { record.addClickThrough(string); });
}

void ZUMAdURLStash::adViewDidAttemptAutoClickRequest(ZUMAdViewKey adView, const platform::URLRequest& request) {
  withRecord(adView, false, [request](ZUMAdViewResourceCollection& record) { record.addAutoClickRequest(request); });
}

void ZUMAdURLStash::removeAdView(ZUMAdViewKey adView) {
  if (!adView) return;
  queue_->async([this, adView] {
    auto node = records_.extract(adView);
    if (node.empty()) return;
    if (removedRecordHandler_) removedRecordHandler_(adView, std::move(node.mapped()));
  });
}

void ZUMAdURLStash::setRemovedRecordHandler(RemovedRecordHandler handler) {
  queue_->async([this, handler = std::move(handler)]() mutable { removedRecordHandler_ = std::move(handler); });
}

std::shared_ptr<ZUMAdViewResourceCollection> ZUMAdURLStash::resourceCollectionForAdView(ZUMAdViewKey adView) {
  std::shared_ptr<ZUMAdViewResourceCollection> snapshot;
  queue_->sync([&] {
    const auto it = records_.find(adView);
    if (it != records_.end()) snapshot = it->second->copy();
  });
  return snapshot;
}
