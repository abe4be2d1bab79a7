// The record of what one ad view loaded: its main-document URL, the resources it
// requested (with their responses and byte counts), its click-throughs and blocked
// auto-click requests, and its load and layout counts. The ad URL stash keeps one per
// ad view and hands it to safe-browsing reporting when the view goes.
//
// By default a collection forgets its earlier resources when the main-document URL
// changes; the class-wide greedy switch keeps them.
//
// A collection belongs to one queue at a time (the stash's own queue while the stash
// holds it); the class-wide switch may be used from any thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace platform {
class HTTPURLResponse;
class URLRequest;
}  // namespace platform

// What a recorded resource was.
enum ZUMAdViewResourceType : int {
  ZUMAdViewResourceTypeSubresource = 0,       // loaded for the page
  ZUMAdViewResourceTypeMainDocument = 1,      // the page itself
  ZUMAdViewResourceTypeClickThrough = 2,      // where a click took the user
  ZUMAdViewResourceTypeAutoClickRequest = 3,  // an open action blocked as an automatic click
};

struct ZUMAdViewResource {
  ZUMAdViewResourceType type = ZUMAdViewResourceTypeSubresource;
  std::string URLString;
  std::optional<int> statusCode;        // once a response arrived
  std::optional<std::string> MIMEType;  // from the response
  std::uint64_t receivedBytes = 0;      // data received so far
};

class ZUMAdViewResourceCollection {
 public:
  // At most this many resources are kept; later ones are counted in droppedResourceCount.
  static constexpr std::size_t kMaxResources = 1000;

  static std::shared_ptr<ZUMAdViewResourceCollection> create();
  // A snapshot, for handing the record to another queue.
  std::shared_ptr<ZUMAdViewResourceCollection> copy() const;

  // The class-wide switch: when on, a collection keeps its earlier resources when its
  // main-document URL changes. Off at start.
  static void setGreedyCollectionEnabled(bool enabled);
  static bool isGreedyCollectionEnabled();

  // Adds the request: a main document when its URL is its own main-document URL, else a
  // subresource. A new main-document URL replaces the old one and, unless collection is
  // greedy, drops the earlier resources first. A request without a URL is ignored.
  void addRequest(const platform::URLRequest& request);
  // Notes the response and data of the latest resource recorded for the request's URL;
  // nothing for a URL not recorded.
  void addResponse(const platform::URLRequest& request, const platform::HTTPURLResponse& response);
  void addData(const platform::URLRequest& request, std::size_t length);
  void addClickThrough(std::string URLString);
  void addAutoClickRequest(const platform::URLRequest& request);

  void noteLoadStarted() { ++loadsStarted_; }
  void noteLoadFinished() { ++loadsFinished_; }
  void noteLayoutFinished() { ++layoutsFinished_; }

  const std::optional<std::string>& mainDocumentURLString() const { return mainDocumentURLString_; }
  const std::vector<ZUMAdViewResource>& resources() const { return resources_; }
  std::size_t droppedResourceCount() const { return dropped_; }
  std::uint64_t loadsStarted() const { return loadsStarted_; }
  std::uint64_t loadsFinished() const { return loadsFinished_; }
  std::uint64_t layoutsFinished() const { return layoutsFinished_; }

 private:
  ZUMAdViewResourceCollection() = default;
  ZUMAdViewResourceCollection(const ZUMAdViewResourceCollection&) = default;

  void append(ZUMAdViewResourceType type, std::string URLString);
  ZUMAdViewResource* latestResource(std::string_view URLString);

  std::optional<std::string> mainDocumentURLString_;
  std::vector<ZUMAdViewResource> resources_;
  std::size_t dropped_ = 0;
  std::uint64_t loadsStarted_ = 0;
  std::uint64_t loadsFinished_ = 0;
  std::uint64_t layoutsFinished_ = 0;
};
