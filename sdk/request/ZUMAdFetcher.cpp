#include "sdk/request/ZUMAdFetcher.h"

#include <cmath>
#include <cstdio>
#include <utility>

#include <nlohmann/json.hpp>

#include "platform/base/ASCIIString.h"
#include "platform/base/JSONObjectIndex.h"
#include "platform/base/JSONParsing.h"
#include "platform/base/OperationQueue.h"
#include "platform/base/StringConversions.h"
#include "platform/base/UserDefaults.h"
#include "sdk/errors/ZUMErrors.h"
#include "sdk/foundation/ZUMBindWeak.h"
#include "sdk/foundation/ZUMJSONReaders.h"
#include "sdk/foundation/ZUMLocationService.h"
#include "sdk/foundation/ZUMLogger.h"
#include "sdk/foundation/ZUMOrientation.h"
#include "sdk/foundation/ZUMTiming.h"
#include "sdk/foundation/ZUMURLUtilities.h"
#include "sdk/network/ZUMSafeBrowsingReporter.h"
#include "sdk/network/ZUMURLConnection.h"
#include "sdk/network/ZUMURLConnectionRedirect.h"
#include "sdk/request/ZUMAd.h"
#include "sdk/request/ZUMAdFetcherDelegate.h"
#include "sdk/request/ZUMAdTelemetry.h"

namespace {

using Json = nlohmann::ordered_json;

using platform::asciiLowercased;

// A header whose text is a JSON object, decoded; nullopt when it is not one.
std::optional<Json> objectHeader(const Json& headers, const char* name) {
  auto text = ZUMJSONStringForKey(headers, name);
  if (!text) return std::nullopt;
  Json value = platform::parseJSON(*text, platform::JSONParseFailure::Discard);
  if (value.is_discarded() || !value.is_object()) return std::nullopt;
  return value;
}

std::vector<platform::URL> urlsHeader(const Json& headers, const char* name) {
  auto text = ZUMJSONStringForKey(headers, name);
  if (!text) return {};
  return ZUMURLsFromWhitespaceSeparatedString(*text);
}

// The header fields of a response as a dictionary of strings.
Json dictionaryFromHeaderFields(const platform::HTTPHeaderFields& fields) {
  Json dictionary = Json::object();
  for (const auto& [name, value] : fields) dictionary[name] = value;
  return dictionary;
}

}  // namespace

ZUMAdFetcher::ZUMAdFetcher() : adConnection_(ZUMURLConnection::create()) {
  char category[64];
  std::snprintf(category, sizeof category, "ZUMAdFetcher (%p)", static_cast<const void*>(this));
  timer_ = ZUMTiming::create(category);
}

ZUMAdFetcher::~ZUMAdFetcher() { ZUMAdFetcher::cancel(); }

std::shared_ptr<ZUMAdFetcher> ZUMAdFetcher::createDefault() {
  return std::shared_ptr<ZUMAdFetcher>(new ZUMAdFetcher());
}

void ZUMRegisterAdFetcher() {
  ZUMAdFetcher::setFactory([] { return ZUMAdFetcher::createDefault(); });
}

bool ZUMAdFetcher::fetchRequestURL(const platform::URLRequest& request,
                                   const std::shared_ptr<ZUMAdFetcherDelegate>& delegate, platform::ErrorPtr* error) {
  return fetchRequestURL(std::optional<platform::URLRequest>(request), delegate, std::nullopt, ZUMAd::create(), error);
}

bool ZUMAdFetcher::fetchRemainingContentForAd(const std::shared_ptr<ZUMAd>& ad, const std::optional<Json>& headers,
                                              const std::shared_ptr<ZUMAdFetcherDelegate>& delegate,
                                              platform::ErrorPtr* error) {
  auto target = ad ? ad : ZUMAd::create();
  std::optional<platform::URLRequest> request;
  if (!target->adHTML() || target->adHTML()->empty()) {
    request = ZUMURLRequestWithBody(target->adURL(), std::nullopt, std::nullopt, std::nullopt);
  }
  return fetchRequestURL(request, delegate, headers, target, error);
}

bool ZUMAdFetcher::fetchRequestURL(const std::optional<platform::URLRequest>& request,
                                   const std::shared_ptr<ZUMAdFetcherDelegate>& delegate,
                                   const std::optional<Json>& responseHeaders, const std::shared_ptr<ZUMAd>& responseAd,
                                   platform::ErrorPtr* error) {
  if (hasStartedFetch_) {
    if (error) {
      *error = ZUMMakeErrorWithDescription(kZUMErrorNetworkError,
                                           "Could not start fetch. This object has already been used to fetch.");
    }
    return false;
  }
  auto keepAlive = shared_from_this();
  hasStartedFetch_ = true;
  timer_->start();
  delegate_ = delegate;
  ad_ = responseAd ? responseAd : ZUMAd::create();
  // The type and the given headers come before the connection starts: a cached response
  // answers before the start returns, and what it sets must not be overwritten after the
  // delegate has seen the ad.
  ad_->setResponseType(kZUMStandardResponseType);
  if (request) ad_->setOriginalRequest(*request);
  if (responseHeaders) {
    processHeaders(*responseHeaders, HeaderSource::Final);
    if (hasNotifiedDelegate_) return true;  // the given headers made the response invalid
  }
  if (!request) {
    adConnectionHasCompleted_ = true;
    std::weak_ptr<ZUMAdFetcher> weak = weak_from_this();
    platform::OperationQueue::main()->addOperation(ZUMBindWeak(weak, &ZUMAdFetcher::completedURLConnection));
    return true;
  }
  platform::ErrorPtr connectionError;
  if (!adConnection_->startWithRequestURL(*request, shared_from_this(), &connectionError)) {
    auto refused = ZUMMakeErrorWithDescription(kZUMErrorNetworkError, "Failed to start ad connection.");
    if (error) *error = refused;
    // The delegate hears of it too, once, with no status; the report cancels the fetcher,
    // which marks the connection completed.
    resourceFailedToLoadWithError(refused, 0);
    return false;
  }
  return true;
}

void ZUMAdFetcher::cancel() {
  delegate_.reset();
  if (adConnection_) adConnection_->cancel();
  adConnectionHasCompleted_ = true;
}

// --- Headers -----------------------------------------------------------------------------

std::uint64_t ZUMAdFetcher::adResponseTypeFromHeaders(const Json& headers, platform::ErrorPtr* error) {
  if (!headers.is_object()) return kZUMStandardResponseType;
  if (ZUMJSONBoolForKey(headers, "x-qyra-mediation", false, ZUMJSONStrings::Read)) {
    const std::string contentType = ZUMJSONStringForKey(headers, "content-type").value_or("");
    if (platform::startsWithIgnoringASCIICase(contentType, "application/json")) return kZUMMediationResponseType;
    if (error) *error = ZUMMakeErrorWithCode(kZUMErrorServerError);
    return kZUMInvalidResponseType;
  }
  if (auto format = ZUMJSONStringForKey(headers, "x-qyra-ad-format"); format && asciiLowercased(*format) == "native") {
    return kZUMNativeResponseType;
  }
  if (ZUMJSONBoolForKey(headers, "x-qyra-custom-rendering-allowed", false, ZUMJSONStrings::Read)) {
    return kZUMCustomRenderingResponseType;
  }
  return kZUMStandardResponseType;
}

void ZUMAdFetcher::processHTTPHeaders(const Json& headers) { processHeaders(headers, HeaderSource::Final); }

void ZUMAdFetcher::processHeaders(const Json& headers, HeaderSource source) {
  if (!ad_ || !headers.is_object()) return;
  auto keepAlive = shared_from_this();
  Json lowercasedHeaders = Json::object();
  platform::assignMembers(lowercasedHeaders, headers, [](std::string_view name) { return asciiLowercased(name); });

  Json merged = ad_->responseHeaders().value_or(Json::object());
  if (!merged.is_object()) merged = Json::object();
  platform::assignMembers(merged, lowercasedHeaders);
  ad_->setResponseHeaders(merged);

  platform::ErrorPtr typeError;
  const std::uint64_t type = adResponseTypeFromHeaders(lowercasedHeaders, &typeError);
  ad_->setResponseType(type);
  // An invalid response fails the fetch (code 3) and still configures the ad and the
  // process switches, as every response seen does.
  if (type == 0 && !hasNotifiedDelegate_) resourceFailedToLoadWithError(typeError, 0);
  applyHeaders(lowercasedHeaders, source);
}

void ZUMAdFetcher::applyHeaders(const Json& headers, HeaderSource source) {
  ZUMAd& ad = *ad_;
  ad.addClickURLsFromArray(urlsHeader(headers, "x-qyra-click-tracking-urls"));
  ad.addImpressionURLsFromArray(urlsHeader(headers, "x-qyra-tracking-urls"));
  ad.addManualImpressionURLsFromArray(urlsHeader(headers, "x-qyra-manual-tracking-urls"));

  auto telemetry = ZUMAdTelemetry::shared();
  auto& defaults = platform::UserDefaults::standard();
  if (ZUMJSONStringForKey(headers, "x-qyra-content-url-opted-out") == "false") {
    if (telemetry) telemetry->startContentHashing();
    defaults.setBool(true, "/vantor/ads/content_url_enabled");
  } else {
    if (telemetry) telemetry->stopContentHashing();
    defaults.removeObjectForKey("/vantor/ads/content_url_enabled");
  }

  ad.setActiveViewConfigurations(objectHeader(headers, "x-qyra-activeview"));
  if (auto text = ZUMJSONStringForKey(headers, "x-qyra-use-displayed-impression");
      text && platform::stringBoolValue(*text)) {
    ad.setImpressionDefinition(1);
  }
  if (auto orientation = ZUMJSONStringForKey(headers, "x-qyra-orientation")) {
    if (auto mask = ZUMInterfaceOrientationMaskFromString(*orientation); mask != 0) ad.setSupportedOrientations(mask);
  }
  if (auto rate = ZUMJSONStringForKey(headers, "x-qyra-refresh-rate"); rate && !rate->empty()) {
    const double seconds = platform::stringDoubleValue(*rate);
    if (std::isfinite(seconds) && seconds >= 0) ad.setReloadInterval(seconds);
  }
  ad.setDebugDialogString(ZUMJSONStringForKey(headers, "x-qyra-debug-dialog"));
  ad.setCustomAdSizeString(ZUMJSONStringForKey(headers, "x-qyra-ad-size"));
  ad.setScrollEnabled(!ZUMJSONBoolForKey(headers, "x-qyra-disable-activation-and-scroll", false, ZUMJSONStrings::Read));

  // Only a served response decides HTTPS for the process, and only when it says so: an
  // absent header leaves the switch as it is (absent included), and a redirect hop on
  // the way decides nothing.
  if (source == HeaderSource::Final) {
    if (auto useHTTPS = ZUMJSONBoolForKey(headers, "x-qyra-use-https", ZUMJSONStrings::Read)) {
      defaults.setBool(*useHTTPS, "/vantor/ads/use_https");
    }
  }

  if (auto blocked = ZUMJSONBoolForKey(headers, "x-qyra-custom-close-blocked", ZUMJSONStrings::Read)) {
    ad.setCustomCloseBlocked(*blocked);
  }
  if (auto fluid = ZUMJSONStringForKey(headers, "x-qyra-fluid"); fluid && asciiLowercased(*fluid) == "height") {
    ad.setFluid(true);
  }
  if (auto queryID = ZUMJSONStringForKey(headers, "x-qyra-brv-query-id")) ad.setBRVQueryID(queryID);
  ZUMLocationService::sharedInstance()->setPublisherAuthorized(
      ZUMJSONBoolForKey(headers, "x-qyra-auto-collect-location", false, ZUMJSONStrings::Read));
  if (auto settings = objectHeader(headers, "x-qyra-safe-browsing")) {
    ad.setSafeBrowsingReporter(ZUMSafeBrowsingReporter::create(*settings));
  }
  if (auto signals = ZUMJSONStringForKey(headers, "x-qyra-debug-signals")) ad.setDebugSignalInformation(signals);
}

// --- Connection ----------------------------------------------------------------------------

platform::ErrorPtr ZUMAdFetcher::connectionShouldRedirectToURL(ZUMURLConnection&, const platform::URL&) {
  return nullptr;
}

void ZUMAdFetcher::connectionWillPerformRedirect(ZUMURLConnection&,
                                                 const std::shared_ptr<ZUMURLConnectionRedirect>& redirect) {
  if (!ad_ || !redirect) return;
  ad_->addRedirect(redirect);
  processHeaders(dictionaryFromHeaderFields(redirect->response().allHeaderFields()), HeaderSource::Redirect);
}

bool ZUMAdFetcher::connectionLoadShouldUseCacheForResponse(ZUMURLConnection&,
                                                           const platform::HTTPURLResponse& response) {
  responseStatusCode_ = response.statusCode();
  processHeaders(dictionaryFromHeaderFields(response.allHeaderFields()), HeaderSource::Final);
  return ad_ && ad_->responseType() == kZUMMediationResponseType && !hasNotifiedDelegate_;
}

void ZUMAdFetcher::connectionLoadDidReceiveCachedResponse(ZUMURLConnection&,
                                                          const platform::HTTPURLResponse& response) {
  responseStatusCode_ = response.statusCode();
  processHeaders(dictionaryFromHeaderFields(response.allHeaderFields()), HeaderSource::Final);
}

void ZUMAdFetcher::connectionLoadDidFinish(ZUMURLConnection&, const std::string& body, const platform::URL& baseURL) {
  if (!ad_) return;
  ad_->setAdHTML(body);
  ad_->setAdBaseURL(baseURL);
  adConnectionHasCompleted_ = true;
  completedURLConnection();
}

void ZUMAdFetcher::connectionLoadDidFail(ZUMURLConnection&, const platform::ErrorPtr&, std::int64_t status) {
  if (!ad_) return;
  ad_->setAdHTML(std::nullopt);
  ad_->setAdBaseURL(std::nullopt);
  adConnectionHasCompleted_ = true;
  if (status > 0) responseStatusCode_ = status;
  platform::ErrorPtr error;
  if (status == 400) {
    ZUMLogger::sharedInstance()->logPublicMessage(
        "Server rejected ad parameters. Typically this is because the ad unit ID is incorrect.");
    error = ZUMMakeErrorWithCode(kZUMErrorInvalidRequest);
  } else if (status > 400) {
    error = ZUMMakeErrorWithHTTPStatus(kZUMErrorServerError, status, std::nullopt);
  } else if (status == -1) {
    error = ZUMMakeErrorWithCode(kZUMErrorInvalidResponse);
  } else {
    error = ZUMMakeErrorWithHTTPStatus(kZUMErrorNetworkError, status, std::nullopt);
  }
  resourceFailedToLoadWithError(error, status);
}

// --- Reports ---------------------------------------------------------------------------------

void ZUMAdFetcher::completedURLConnection() {
  if (!adConnectionHasCompleted_ || hasNotifiedDelegate_) return;
  auto keepAlive = shared_from_this();
  hasNotifiedDelegate_ = true;
  timer_->end();
  auto delegate = delegate_.lock();
  if (!delegate) return;
  const std::uint64_t type = ad_->responseType();
  if (type != 0 && ad_->adHTML() && !ad_->adHTML()->empty()) {
    delegate->adFetcherDidFetchAd(*this, ad_);
  } else {
    // An empty response is no fill; an invalid one was refused.
    auto error = ZUMMakeErrorWithCode(type != 0 ? kZUMErrorNoFill : kZUMErrorInternalError);
    delegate->adFetcherDidFailToFetchAd(*this, ad_, error, 0);
  }
}

void ZUMAdFetcher::resourceFailedToLoadWithError(const platform::ErrorPtr& error, std::int64_t responseCode) {
  auto keepAlive = shared_from_this();
  hasNotifiedDelegate_ = true;
  timer_->end();
  if (auto delegate = delegate_.lock()) delegate->adFetcherDidFailToFetchAd(*this, ad_, error, responseCode);
  cancel();
}
