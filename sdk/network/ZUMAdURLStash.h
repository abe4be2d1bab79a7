// The per-ad-view record of loaded resources. Ad views tell the stash what they load,
// what answers and what the user (or the page) opens; the stash keeps one resource
// collection per view and, when the view goes, hands the record on to safe-browsing
// reporting.
//
// An ad view is known by its key, never by its address: the view takes a key from
// newAdViewKey() when it is made and passes it to every call. A key is never given out
// twice, so a view made later (even at a freed view's address) can never inherit another
// view's record. A view gets a record when it starts loading (root content, a load start
// or a request); the other operations do nothing for a view without one.
//
// Contract with the ad view: its teardown calls removeAdView(key), which hands the record
// on; a view that skipped it would leave its record behind for the life of the process.
//
// Every operation may be called from any thread; each returns at once and does its work
// in order on the stash's own serial queue.
#pragma once

#include <cstddef>
#include <cstdint>
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

// An ad view's key in the stash; 0 stands for no view.
using ZUMAdViewKey = std::uint64_t;

class ZUMAdURLStash {
 public:
  static std::shared_ptr<ZUMAdURLStash> sharedInstance();
  // A key no other view has had or will have (never 0). Any thread.
  static ZUMAdViewKey newAdViewKey();

  // The view is about to load new root content: its old record is dropped and a new one
  // begins.
  void adViewWillLoadRootContent(ZUMAdViewKey adView);
  // Count the view's page loads.
  void adViewDidStartLoad(ZUMAdViewKey adView);
  void adViewDidFinishLoad(ZUMAdViewKey adView);
  // The view will load the request, which joins its record.
  void adViewWillLoadURLRequest(ZUMAdViewKey adView, const platform::URLRequest& request);
  // A response and data for a request the view loads.
  void adViewRequestWillReceiveResponse(ZUMAdViewKey adView, const platform::URLRequest& request,
                                        const platform::HTTPURLResponse& response);
  void adViewRequestDidReceiveData(ZUMAdViewKey adView, const platform::URLRequest& request, std::string_view data);
  // The view's layout is final (a banner's first layout after a load).
  void adViewDidFinishLayout(ZUMAdViewKey adView);
  // A click took the user to the URL.
  void adViewDidClickThroughToURL(ZUMAdViewKey adView, const platform::URL& URL);
  // The page's open action was blocked as an automatic click.
  void adViewDidAttemptAutoClickRequest(ZUMAdViewKey adView, const platform::URLRequest& request);
  // Forgets the view and hands its record to the removed-record handler.
  void removeAdView(ZUMAdViewKey adView);

  // Where removed records go for safe-browsing reporting; called on the stash's queue
  // with the view's key and its record. None at start (records are dropped).
  using RemovedRecordHandler =
      std::function<void(ZUMAdViewKey adView, std::shared_ptr<ZUMAdViewResourceCollection> record)>;
  void setRemovedRecordHandler(RemovedRecordHandler handler);

  // A snapshot of the view's record after every operation submitted before this call,
  // or nullptr when the view has none. Waits for the stash's queue.
  std::shared_ptr<ZUMAdViewResourceCollection> resourceCollectionForAdView(ZUMAdViewKey adView);

  ZUMAdURLStash(const ZUMAdURLStash&) = delete;
  ZUMAdURLStash& operator=(const ZUMAdURLStash&) = delete;

 private:
  ZUMAdURLStash();

  // Runs `work` on the queue with the view's record, made first when `create` is set;
  // skipped when the view has none.
  void withRecord(ZUMAdViewKey adView, bool create, std::function<void(ZUMAdViewResourceCollection&)> work);

  const std::shared_ptr<platform::DispatchQueue> queue_;
  // Touched only on queue_.
  std::map<ZUMAdViewKey, std::shared_ptr<ZUMAdViewResourceCollection>> records_;
  RemovedRecordHandler removedRecordHandler_;
};
