// The per-ad-view record of loaded resources. Ad views tell the stash what they load,
// what answers and what the user (or the page) opens; the stash keeps one resource
// collection per view and, when the view goes, hands the record on to safe-browsing
// reporting.
//
// An ad view is known by its address (`const void*`, never dereferenced). A view gets a
// record when it starts loading (root content, a load start or a request); the other
// operations do nothing for a view without one. The view tells removeAdView() before it
// goes, so a later view at the same address starts afresh.
//
// Every operation may be called from any thread; each returns at once and does its work
// in order on the stash's own serial queue.
#pragma once

#include <cstddef>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>

namespace platform {
class DispatchQueue;
class HTTPURLResponse;
class URL;
class URLRequest;
}  // namespace platform

class ZUMAdViewResourceCollection;

class ZUMAdURLStash {
 public:
  static std::shared_ptr<ZUMAdURLStash> sharedInstance();

  // The view is about to load new root content: its old record is dropped and a new one
  // begins.
  void adViewWillLoadRootContent(const void* adView);
  // Count the view's page loads.
  void adViewDidStartLoad(const void* adView);
  void adViewDidFinishLoad(const void* adView);
  // The view will load the request, which joins its record.
  void adViewWillLoadURLRequest(const void* adView, const platform::URLRequest& request);
  // A response and data for a request the view loads.
  void adViewRequestWillReceiveResponse(const void* adView, const platform::URLRequest& request,
                                        const platform::HTTPURLResponse& response);
  void adViewRequestDidReceiveData(const void* adView, const platform::URLRequest& request, std::string_view data);
  // The view's layout is final (a banner's first layout after a load).
  void adViewDidFinishLayout(const void* adView);
  // A click took the user to the URL.
  void adViewDidClickThroughToURL(const void* adView, const platform::URL& URL);
  // The page's open action was blocked as an automatic click.
  void adViewDidAttemptAutoClickRequest(const void* adView, const platform::URLRequest& request);
  // Forgets the view and hands its record to the removed-record handler.
  void removeAdView(const void* adView);

  // Where removed records go for safe-browsing reporting; called on the stash's queue
  // with the view's address and its record. None at start (records are dropped).
  using RemovedRecordHandler =
      std::function<void(const void* adView, std::shared_ptr<ZUMAdViewResourceCollection> record)>;
  void setRemovedRecordHandler(RemovedRecordHandler handler);

  // A snapshot of the view's record after every operation submitted before this call,
  // or nullptr when the view has none. Waits for the stash's queue.
  std::shared_ptr<ZUMAdViewResourceCollection> resourceCollectionForAdView(const void* adView);

  ZUMAdURLStash(const ZUMAdURLStash&) = delete;
  ZUMAdURLStash& operator=(const ZUMAdURLStash&) = delete;

 private:
  ZUMAdURLStash();

  // Runs `work` on the queue with the view's record, made first when `create` is set;
  // skipped when the view has none.
  void withRecord(const void* adView, bool create, std::function<void(ZUMAdViewResourceCollection&)> work);

  const std::shared_ptr<platform::DispatchQueue> queue_;
  // Touched only on queue_.
  std::map<const void*, std::shared_ptr<ZUMAdViewResourceCollection>> records_;
  RemovedRecordHandler removedRecordHandler_;
};
