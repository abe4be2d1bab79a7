#include "sdk/sdkcore/ZUMSDKCoreTOLMHandler.h"

#include <algorithm>
#include <cassert>
#include <cctype>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <system_error>

#include <nlohmann/json.hpp>

#include "platform/base/Clock.h"
#include "platform/base/DispatchQueue.h"
#include "platform/base/RunLoop.h"
#include "platform/base/StringConversions.h"
#include "platform/base/URL.h"
#include "platform/base/UserDefaults.h"
#include "platform/net/URLRequest.h"
#include "sdk/errors/ZUMErrors.h"
#include "sdk/foundation/ZUMApplication.h"
#include "sdk/foundation/ZUMConfiguration.h"
#include "sdk/foundation/ZUMFiles.h"
#include "sdk/foundation/ZUMJSONAdditions.h"
#include "sdk/foundation/ZUMLogger.h"
#include "sdk/foundation/ZUMThreading.h"
#include "sdk/foundation/ZUMURLUtilities.h"
#include "sdk/foundation/ZUMValues.h"
#include "sdk/network/ZUMResourceCache.h"
#include "sdk/rendering/ZUMJavaScriptMessageString.h"
#include "sdk/request/ZUMAd.h"
#include "sdk/request/ZUMAdFetcher.h"
#include "sdk/sdkcore/ZUMSDKCoreTOLMHandlerDelegate.h"
#include "sdk/sdkcore/ZUMSDKCoreWebView.h"

using Json = nlohmann::ordered_json;

namespace {

void logDropped(const std::string& message, const std::string& why) {
  ZUMLogger::sharedInstance()->logPublicMessage("SDK core message \"" + message + "\" dropped: " + why);
}

// Answers the server may give that need no developer's attention.
void logIgnored(const std::string& message, const std::string& why) {
  ZUMLog(kZUMLogLevelDebug, "SDK core message \"" + message + "\" ignored: " + why);
}

bool isHTTPURL(const platform::URL& url) {
  const std::string scheme = ZUMLowercasedScheme(url);
  return scheme == "http" || scheme == "https";
}

}  // namespace

std::shared_ptr<ZUMSDKCoreTOLMHandler> ZUMSDKCoreTOLMHandler::create() {
  return std::shared_ptr<ZUMSDKCoreTOLMHandler>(new ZUMSDKCoreTOLMHandler());
}

ZUMSDKCoreTOLMHandler::ZUMSDKCoreTOLMHandler()
    : lockQueue_(ZUMDispatchQueueCreate("com.vantor.morvane.sdk-core-tolmhandler")) {}

ZUMSDKCoreTOLMHandler::~ZUMSDKCoreTOLMHandler() {
  for (auto& [identifier, cache] : resourceCaches_) cache->setDelegate({});
}

const ZUMTOLMHandler::ActionTable* ZUMSDKCoreTOLMHandler::actionBlockDictionary() const {
  static const auto* table = new ActionTable{
      {"loadAdURL", action(&ZUMSDKCoreTOLMHandler::loadAdURL)},
      {"loadAd", action(&ZUMSDKCoreTOLMHandler::loadAd)},
      {"invalidRequest", action(&ZUMSDKCoreTOLMHandler::invalidRequest)},
      {"loadSdkConstants", action(&ZUMSDKCoreTOLMHandler::loadSdkConstants)},
      {"fetchHttpRequest", action(&ZUMSDKCoreTOLMHandler::fetchHttpRequest)},
      {"requestReload", action(&ZUMSDKCoreTOLMHandler::requestReload)},
      {"appSettingsFetched", action(&ZUMSDKCoreTOLMHandler::appSettingsFetched)},
      {"saveState", action(&ZUMSDKCoreTOLMHandler::saveState)},
      {"result", action(&ZUMSDKCoreTOLMHandler::result)},
      {"cacheResource", action(&ZUMSDKCoreTOLMHandler::cacheResource)},
      {"removeResource", action(&ZUMSDKCoreTOLMHandler::removeResource)},
      {"resourceStatusCheck", action(&ZUMSDKCoreTOLMHandler::resourceStatusCheck)},
      {"cleanupCacheDirectory", action(&ZUMSDKCoreTOLMHandler::cleanupCacheDirectory)},
      {"sdkCoreRefresh", action(&ZUMSDKCoreTOLMHandler::sdkCoreRefresh)},
  };
  return table;
}

void ZUMSDKCoreTOLMHandler::enqueue(std::string command) {
  if (auto webView = webView_.lock()) webView->enqueueJavaScriptCommand(std::move(command));
}

// --- Ad-loading answers ---------------------------------------------------------------------

void ZUMSDKCoreTOLMHandler::loadAdURL(ZUMAdView&, const Json& parameters) {
  const auto requestID = ZUMStringForKey(parameters, "request_id");
  if (!requestID) return logDropped("loadAdURL", "no request_id");
  auto self = shared_from_this();
  platform::DispatchQueue::main()->async([self, requestID = *requestID, parameters] {
    if (auto delegate = self->delegate_.lock())
      delegate->SDKCoreTOLMHandlerLoadAdURLWithRequestID(*self, requestID, parameters);
  });
}

void ZUMSDKCoreTOLMHandler::loadAd(ZUMAdView&, const Json& parameters) {
  const auto requestID = ZUMStringForKey(parameters, "request_id");
  if (!requestID) return logDropped("loadAd", "no request_id");
  auto ad = zum_decodedJSONObjectError(ZUMStringForKey(parameters, "fetched_ad"), nullptr);
  if (!ad || !ad->is_object()) return logDropped("loadAd", "fetched_ad is not a JSON object");
  auto self = shared_from_this();
  platform::DispatchQueue::main()->async([self, requestID = *requestID, ad = std::move(*ad)] {
    if (auto delegate = self->delegate_.lock()) delegate->SDKCoreTOLMHandlerLoadAdWithRequestID(*self, requestID, ad);
  });
}

void ZUMSDKCoreTOLMHandler::invalidRequest(ZUMAdView&, const Json& parameters) {
  auto self = shared_from_this();
  platform::DispatchQueue::main()->async([self, requestID = ZUMStringForKey(parameters, "request_id"), parameters] {
    if (auto delegate = self->delegate_.lock()) {
      delegate->SDKCoreTOLMHandlerDidReceiveInvalidAdWithRequestID(*self, requestID, parameters);
    }
  });
}

void ZUMSDKCoreTOLMHandler::loadSdkConstants(ZUMAdView&, const Json& parameters) {
  auto self = shared_from_this();
  platform::DispatchQueue::main()->async([self, parameters] {
    if (auto delegate = self->delegate_.lock()) delegate->SDKCoreTOLMHandlerDidLoadSDKConstants(*self, parameters);
  });
}

void ZUMSDKCoreTOLMHandler::requestReload(ZUMAdView&, const Json&) {
  auto self = shared_from_this();
  platform::DispatchQueue::main()->async([self] {
    if (auto delegate = self->delegate_.lock()) delegate->SDKCoreTOLMHandlerDidReceiveSDKCoreUpdateNotification(*self);
  });
}

void ZUMSDKCoreTOLMHandler::result(ZUMAdView&, const Json& parameters) {
  const auto requestID = ZUMStringForKey(parameters, "request_id");
  if (!requestID) return logDropped("result", "no request_id");
  if (auto delegate = delegate_.lock()) {
    delegate->SDKCoreTOLMHandlerDidReceiveResultActionWithRequestID(*this, *requestID, parameters);
  }
}

void ZUMSDKCoreTOLMHandler::sdkCoreRefresh(ZUMAdView&, const Json& parameters) {
  const auto refresh = ZUMStringForKey(parameters, "refresh");
  if (refresh == "cancel") {
    pauseIDs_.clear();
  } else {
    const auto identifier = ZUMStringForKey(parameters, "request_id");
    if (!identifier) return logDropped("sdkCoreRefresh", "no request_id");
    const std::int64_t number = platform::stringIntegerValue(*identifier);
    if (refresh == "pause") pauseIDs_.insert(number);
    if (refresh == "resume") pauseIDs_.erase(number);
  }
  auto delegate = delegate_.lock();
  if (!delegate) return;
  if (pauseIDs_.empty()) {
    delegate->SDKCoreTOLMHandlerDidReceiveResumeSDKCoreRefreshAction(*this);
  } else {
    delegate->SDKCoreTOLMHandlerDidReceivePauseSDKCoreRefreshAction(*this);
  }
}

// --- Saved state and application settings ---------------------------------------------------

void ZUMSDKCoreTOLMHandler::saveState(ZUMAdView&, const Json& parameters) {
  const auto key = ZUMStringForKey(parameters, "key");
  const auto state = ZUMStringForKey(parameters, "state");
  if (!key || !state) return logDropped("saveState", "key and state must be strings");
  auto& defaults = platform::UserDefaults::standard();
  Json saved = defaults.objectForKey(kZUMSDKCoreStateKey).value_or(Json());
  if (!saved.is_object()) saved = Json{{"version", 1}};
  saved[*key] = *state;
  // The page may not fill the defaults file: a state past the cap is refused whole.
  if (saved.dump().size() > kZUMSDKCoreMaxSavedStateBytes) return logDropped("saveState", "the state is too large");
  // A stored state of another kind (a null written by someone else) cannot be kept.
  if (!defaults.setObject(saved, kZUMSDKCoreStateKey)) logDropped("saveState", "the saved states cannot be stored");
}

void ZUMSDKCoreTOLMHandler::appSettingsFetched(ZUMAdView&, const Json& parameters) {
  // An error message is the developer's, in the page's own words, whether or not the
  // page counts the fetch a success; settings come only with a success and no error.
  if (const auto message = ZUMStringForKey(parameters, "errorMessage")) {
    return ZUMLogger::sharedInstance()->logPublicMessage(*message);
  }
  const auto successful = ZUMStringForKey(parameters, "isSuccessful");
  if (!successful || !platform::stringBoolValue(*successful)) return;
  auto settings = zum_decodedJSONObjectError(ZUMStringForKey(parameters, "appSettingsJson"), nullptr);
  if (!settings || !settings->is_object())
    return logIgnored("appSettingsFetched", "appSettingsJson is not a JSON object");
  const auto status = settings->find("status");
  if (status == settings->end() || !status->is_number_integer() || status->get<std::int64_t>() != 1) {
    return logIgnored("appSettingsFetched", "status is not 1");
  }
  settings->erase("status");
  (*settings)["app_config_last_refresh_timestamp"] = platform::clock().wallNow();
  (*settings)["app_config_refreshed_since_app_start"] = true;
  ZUMApplication::sharedInstance()->configuration()->addEntriesFromDictionary(*settings,
                                                                              ZUMConfiguration::kSDKPriority);
}

// --- HTTP requests for the page ----------------------------------------------------------------

void ZUMSDKCoreTOLMHandler::setAdFetcher(const std::shared_ptr<ZUMAdFetcher>& fetcher,
                                         const std::string& fetchRequestID) {
  lockQueue_->async(
      [self = shared_from_this(), fetcher, fetchRequestID] { self->adFetchers_.emplace(fetchRequestID, fetcher); });
}

bool ZUMSDKCoreTOLMHandler::isFetchInProgressForFetchRequestID(const std::string& fetchRequestID) const {
  return lockQueue_->syncResult([&] { return adFetchers_.contains(fetchRequestID); });
}

std::optional<std::string> ZUMSDKCoreTOLMHandler::fetchRequestIDForAdFetcher(const ZUMAdFetcher& fetcher) const {
  return lockQueue_->syncResult([&]() -> std::optional<std::string> {
    for (const auto& [identifier, stored] : adFetchers_) {
      if (stored.get() == &fetcher) return identifier;
    }
    return std::nullopt;
  });
}

void ZUMSDKCoreTOLMHandler::removeAdFetcherForFetchRequestID(const std::string& fetchRequestID) {
  std::shared_ptr<ZUMAdFetcher> removed;
  lockQueue_->sync([&] {
    if (auto node = adFetchers_.extract(fetchRequestID)) removed = std::move(node.mapped());
  });
  if (removed) removed->cancel();
}

void ZUMSDKCoreTOLMHandler::fetchHttpRequest(ZUMAdView&, const Json& parameters) {
  platform::ErrorPtr error;
  auto request = zum_decodedJSONObjectError(ZUMStringForKey(parameters, "http_request"), &error);
  if (!request || !request->is_object()) {
    const std::string reason = error ? error->localizedDescription() : "http_request is not a JSON object";
    return sendFetchReply(false, std::nullopt, reason, 0, nullptr);
  }
  const auto fetchRequestID = ZUMStringForKey(*request, "http_request_id");
  // Without an identifier neither the table nor the page could match the answer.
  if (!fetchRequestID) return sendFetchReply(false, std::nullopt, "No http_request_id given", 0, nullptr);
  if (isFetchInProgressForFetchRequestID(*fetchRequestID)) return logDropped("fetchHttpRequest", "already running");
  const auto urlString = ZUMStringForKey(*request, "url");
  const auto url = urlString && !urlString->empty() ? platform::URL::fromString(*urlString) : std::nullopt;
  if (!url || !isHTTPURL(*url)) {
    return sendFetchReply(false, fetchRequestID, "Invalid URL (" + urlString.value_or("") + ") requested for fetching",
                          0, nullptr);
  }
  platform::HTTPHeaderFields fields;
  if (const auto headers = request->find("headers"); headers != request->end() && headers->is_array()) {
    for (const auto& header : *headers) {
      const auto key = ZUMStringForKey(header, "key");
      const auto value = ZUMStringForKey(header, "value");
      if (key && value) fields.set(*key, *value);
    }
  }
  auto urlRequest = ZUMURLRequestWithBody(url, ZUMStringForKey(*request, "post_body"), fields,
                                          ZUMStringForKey(*request, "content_type"));
  auto fetcher = ZUMAdFetcher::create();
  if (!urlRequest || !fetcher)
    return sendFetchReply(false, fetchRequestID, "The request could not be made", 0, nullptr);
  setAdFetcher(fetcher, *fetchRequestID);
  platform::ErrorPtr startError;
  if (!fetcher->fetchRequestURL(*urlRequest, shared_from_this(), &startError) &&
      isFetchInProgressForFetchRequestID(*fetchRequestID)) {
    // Refused without a report: the page still gets its one answer.
    removeAdFetcherForFetchRequestID(*fetchRequestID);
    sendFetchReply(false, fetchRequestID, startError ? startError->localizedDescription() : "", 0, nullptr);
  }
}

void ZUMSDKCoreTOLMHandler::adFetcherDidFetchAd(ZUMAdFetcher& fetcher, const std::shared_ptr<ZUMAd>& ad) {
  const auto fetchRequestID = fetchRequestIDForAdFetcher(fetcher);
  if (!fetchRequestID) return;
  sendFetchReply(true, fetchRequestID, "", fetcher.responseStatusCode().value_or(200), ad);
  removeAdFetcherForFetchRequestID(*fetchRequestID);
}

void ZUMSDKCoreTOLMHandler::adFetcherDidFailToFetchAd(ZUMAdFetcher& fetcher, const std::shared_ptr<ZUMAd>& ad,
                                                      const platform::ErrorPtr& error, std::int64_t responseCode) {
  const auto fetchRequestID = fetchRequestIDForAdFetcher(fetcher);
  if (!fetchRequestID) return;
  const auto status = fetcher.responseStatusCode();
  if (status && *status >= 200 && *status < 300) {
    // An empty 2xx body is an answer for the page, not a failure: the fetcher's no-fill
    // belongs to ads.
    sendFetchReply(true, fetchRequestID, "", *status, ad);
  } else {
    sendFetchReply(false, fetchRequestID, error ? error->localizedDescription() : "",
                   responseCode > 0 ? responseCode : status.value_or(responseCode), ad);
  }
  removeAdFetcherForFetchRequestID(*fetchRequestID);
}

void ZUMSDKCoreTOLMHandler::sendFetchReply(bool success, const std::optional<std::string>& fetchRequestID,
                                           const std::string& reason, std::int64_t responseCode,
                                           const std::shared_ptr<ZUMAd>& ad) {
  Json headers = Json::array();
  if (ad) {
    if (auto responseHeaders = ad->responseHeaders(); responseHeaders && responseHeaders->is_object()) {
      for (const auto& [key, value] : responseHeaders->items()) {
        headers.push_back(Json{{"key", key}, {"value", value.is_string() ? value : Json(value.dump())}});
      }
    }
  }
  Json response{{"response_code", responseCode},
                {"body", ad && ad->adHTML() ? *ad->adHTML() : std::string()},
                {"http_request_id", fetchRequestID.value_or("")},
                {"headers", std::move(headers)}};
  Json reply = success ? Json{{"success", "true"}, {"response", std::move(response)}}
                       : Json{{"success", "false"}, {"reason", reason}, {"response", std::move(response)}};
  // Made JSON-safe first, so whatever the server sent the page gets a well-formed call.
  enqueue(ZUMJavaScriptMessageString("fetchHttpRequestCompleted", zum_JSONSafeDictionary(reply)));
}

// --- Resource caching ----------------------------------------------------------------------------

void ZUMSDKCoreTOLMHandler::cacheResource(ZUMAdView&, const Json& parameters) {
  const auto requestID = ZUMStringForKey(parameters, "request_id");
  const auto urlString = ZUMStringForKey(parameters, "url");
  const auto cacheID = ZUMStringForKey(parameters, "cache_id");
  if (!requestID || !urlString || !cacheID) return logDropped("cacheResource", "request_id, url and cache_id needed");
  if (resourceCaches_.contains(*requestID)) return;
  const auto url = platform::URL::fromString(*urlString);
  if (!url || !isHTTPURL(*url)) return logDropped("cacheResource", "only http(s) resources are cached");
  platform::URLRequest request(*url);
  request.setCachePolicy(platform::URLRequest::CachePolicy::ReloadIgnoringLocalCacheData);
  request.setHTTPShouldHandleCookies(true);
  if (auto headers = zum_decodedJSONObjectError(ZUMStringForKey(parameters, "headers"), nullptr);
      headers && headers->is_object()) {
    for (const auto& [key, value] : headers->items()) {
      if (value.is_string()) request.setValue(value.get<std::string>(), key);
    }
  }
  platform::ErrorPtr error;
  auto cache = ZUMResourceCache::create(std::move(request), *cacheID, &error);
  if (!cache) return logDropped("cacheResource", error ? error->localizedDescription() : "no cache");
  cache->setDelegate(weak_from_this());
  resourceCaches_[*requestID] = cache;
  forgetEndedResourceCaches(cache->fileURL());  // the new download empties the file
  cache->start();
}

std::shared_ptr<ZUMResourceCache> ZUMSDKCoreTOLMHandler::resourceCacheForFileURL(const platform::URL& fileURL) const {
  for (const auto& [identifier, cache] : resourceCaches_) {
    if (cache->fileURL().absoluteString() == fileURL.absoluteString()) return cache;
  }
  return nullptr;
}

std::shared_ptr<ZUMResourceCache> ZUMSDKCoreTOLMHandler::endedResourceCacheForFileURL(
    const platform::URL& fileURL) const {
  const auto found = std::find_if(endedResourceCaches_.rbegin(), endedResourceCaches_.rend(), [&](const auto& cache) {
    return cache->fileURL().absoluteString() == fileURL.absoluteString();
  });
  return found == endedResourceCaches_.rend() ? nullptr : *found;
}

void ZUMSDKCoreTOLMHandler::forgetEndedResourceCaches(const platform::URL& fileURL) {
  std::erase_if(endedResourceCaches_,
                [&](const auto& cache) { return cache->fileURL().absoluteString() == fileURL.absoluteString(); });
}

std::optional<std::string> ZUMSDKCoreTOLMHandler::requestIDForResourceCache(const ZUMResourceCache& cache) const {
  for (const auto& [identifier, stored] : resourceCaches_) {
    if (stored.get() == &cache) return identifier;
  }
  return std::nullopt;
}

void ZUMSDKCoreTOLMHandler::resourceCacheDidStartCaching(const std::shared_ptr<ZUMResourceCache>& cache) {
  notifyResourceCache(cache, "running", true, nullptr);
}
void ZUMSDKCoreTOLMHandler::resourceCacheDidReceiveResponse(const std::shared_ptr<ZUMResourceCache>& cache) {
  notifyResourceCache(cache, "running", true, nullptr);
}
void ZUMSDKCoreTOLMHandler::resourceCacheDidSucceedCaching(const std::shared_ptr<ZUMResourceCache>& cache) {
  notifyResourceCache(cache, "succeed", false, nullptr);
}
void ZUMSDKCoreTOLMHandler::resourceCacheDidFailCachingWithError(const std::shared_ptr<ZUMResourceCache>& cache,
                                                                 const platform::ErrorPtr& error) {
  notifyResourceCache(cache, "failed", false, error);
}

namespace {

Json headersDictionary(const ZUMResourceCache& cache) {
  Json headers = Json::object();
  const auto fields = cache.responseHeaders();
  for (const auto& [name, value] : fields.fields()) headers[name] = value;
  return headers;
}

// Whole seconds since 1970 of the file's creation: its birth time where the file system
// records one, else its last modification (file systems without birth times).
std::optional<std::int64_t> creationTimestamp(const std::filesystem::path& path) {
  struct statx status {};
  if (::statx(AT_FDCWD, path.c_str(), 0, STATX_BTIME | STATX_MTIME, &status) != 0) return std::nullopt;
  if (status.stx_mask & STATX_BTIME) return status.stx_btime.tv_sec;
  if (status.stx_mask & STATX_MTIME) return status.stx_mtime.tv_sec;
  return std::nullopt;
}

Json fileDictionary(const std::optional<platform::URL>& fileURL) {
  Json file = Json::object();
  const auto path = fileURL && fileURL->path() ? std::optional<std::filesystem::path>(*fileURL->path()) : std::nullopt;
  std::error_code error;
  if (!path || !std::filesystem::is_regular_file(*path, error)) return file;
  const auto size = std::filesystem::file_size(*path, error);
  const auto created = creationTimestamp(*path);
  if (error || !created) return file;
  file["fileurl"] = fileURL->absoluteString();
  file["size"] = static_cast<std::uint64_t>(size);
  file["creation_timestamp_in_seconds"] = *created;
  return file;
}

}  // namespace

void ZUMSDKCoreTOLMHandler::notifyResourceCache(const std::shared_ptr<ZUMResourceCache>& cache,
                                                const std::string& status, bool cachingInProgress,
                                                const platform::ErrorPtr& error) {
  if (!cache) return;
  const auto requestID = requestIDForResourceCache(*cache);
  if (!requestID) {
    cache->setDelegate({});
    cache->cancelWithError(ZUMMakeErrorWithDescription(kZUMErrorInternalError, "Cancel zombie resource cache."));
    return;
  }
  Json dictionary = Json::object();
  if (cache->cacheID()) dictionary["cache_id"] = *cache->cacheID();
  dictionary["status"] = status;
  if (cache->responseHeadersReceived()) dictionary["headers"] = headersDictionary(*cache);
  notifyCacheDictionary(dictionary, fileDictionary(cache->fileURL()), requestID, error);
  if (cachingInProgress) return;
  resourceCaches_.erase(*requestID);
  forgetEndedResourceCaches(cache->fileURL());
  endedResourceCaches_.push_back(cache);
  if (endedResourceCaches_.size() > kZUMSDKCoreMaxEndedResourceCaches) endedResourceCaches_.pop_front();
}

void ZUMSDKCoreTOLMHandler::notifyCacheDictionary(const Json& cache, const Json& file,
                                                  const std::optional<std::string>& requestID,
                                                  const platform::ErrorPtr& error) {
  if (!requestID) return;
  Json message{
      {"cache", cache}, {"file", file}, {"environment", ZUMDiskSpaceParameters(nullptr).value_or(Json::object())}};
  if (error) message["error"] = error->localizedDescription();
  const auto text = zum_JSONStringPretty(zum_JSONSafeDictionary(message), false, nullptr);
  enqueue("QYRA_resourceCache(" + ZUMScriptSafeJSON(text.value_or("{}")) + ");");
}

void ZUMSDKCoreTOLMHandler::resourceStatusCheck(ZUMAdView&, const Json& parameters) {
  const auto requestID = ZUMStringForKey(parameters, "request_id");
  const auto fileURLString = ZUMStringForKey(parameters, "fileurl");
  const auto fileURL = fileURLString ? platform::URL::fromString(*fileURLString) : std::nullopt;
  if (!requestID || !fileURL) return logDropped("resourceStatusCheck", "request_id and fileurl needed");
  const auto confined = fileURL ? ZUMPathInsideCacheDirectory(*fileURL) : std::nullopt;
  if (!confined) return logDropped("resourceStatusCheck", "the file is outside the SDK's cache folder");
  Json dictionary = Json::object();
  if (auto cache = resourceCacheForFileURL(*fileURL)) {
    if (cache->cacheID()) dictionary["cache_id"] = *cache->cacheID();
    dictionary["status"] = cache->isCompleted() && cache->isValid() ? "succeed" : "running";
    if (cache->responseHeadersReceived()) dictionary["headers"] = headersDictionary(*cache);
  } else {
    if (auto cacheID = ZUMStringForKey(parameters, "cache_id")) dictionary["cache_id"] = *cacheID;
    std::error_code error;
    dictionary["status"] = std::filesystem::exists(*confined, error) ? "not_running" : "failed";
  }
  notifyCacheDictionary(dictionary, fileDictionary(fileURL), requestID, nullptr);
}

void ZUMSDKCoreTOLMHandler::removeResource(ZUMAdView&, const Json& parameters) {
  const auto fileURLString = ZUMStringForKey(parameters, "fileurl");
  const auto fileURL = fileURLString ? platform::URL::fromString(*fileURLString) : std::nullopt;
  const auto confined = fileURL ? ZUMPathInsideCacheDirectory(*fileURL) : std::nullopt;
  if (!confined) return logDropped("removeResource", "the file is outside the SDK's cache folder");
  if (auto cache = resourceCacheForFileURL(*fileURL)) {
    cache->cancelWithError(ZUMMakeErrorWithDescription(kZUMErrorInternalError, "Delete cached resource."));
  }
  std::error_code ignored;
  std::filesystem::remove(*confined, ignored);
  forgetEndedResourceCaches(*fileURL);
}

void ZUMSDKCoreTOLMHandler::cleanupCacheDirectory(ZUMAdView&, const Json&) {
  auto folder = ZUMCacheDirectoryURL(std::nullopt, nullptr);
  if (!folder || !folder->path()) return;
  std::error_code ignored;
  std::filesystem::remove_all(*folder->path(), ignored);
  endedResourceCaches_.clear();
}
