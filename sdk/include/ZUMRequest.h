// The app-facing ad request. The host fills in targeting (test devices, gender, birthday,
// keywords, location, content URL, request agent, child-directed tag) and registers
// network extras; the ad formats, the ad loader and mediation add format and
// configuration values. Every load turns the request into a flat, ordered dictionary of
// request parameters (threadSafeParameters(), parameters()); the same dictionary rebuilds
// an equal request (createWithParameters()).
//
// The first use of the class asks the SDK's hub to run its early start-up activities on
// the main thread.
//
// A plain value holder without a lock: change a request on one thread at a time, and not
// while a load reads it (slots read their own copies). threadSafeParameters() reads only
// thread-safe services and may run on any thread; parameters() waits for the main thread
// when called elsewhere, so never call it from a thread the main thread waits for.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include <nlohmann/json_fwd.hpp>

#include "platform/base/Clock.h"

class ZUMAdNetworkExtras;
class ZUMLocation;

// The test-device identifier of the simulator.
inline constexpr const char* kZUMSimulatorID = "Simulator";

// Genders of the request's targeting; other values count as unspecified.
using ZUMGender = std::int64_t;
inline constexpr ZUMGender kZUMGenderUnknown = 0;
inline constexpr ZUMGender kZUMGenderMale = 1;
inline constexpr ZUMGender kZUMGenderFemale = 2;

// Every later request of the process carries "dcs" = "1" (the publisher banner view's
// valid-ad-sizes setter was used) or "dcr" = "1" (its resize operation was used).
void ZUMNoteValidAdSizesSetterUsed();
void ZUMNoteResizeUsed();

// The request-signal parameters: one "name": "value" entry from the opaque signal
// provider, or nullopt. Initialises the provider on the first call. Main thread.
[[nodiscard]] std::optional<nlohmann::ordered_json> ZUMRDIIMSignalParameters();

class ZUMRequest {
 public:
  static constexpr const char* kClassName = "ZUMRequest";

  // A new request: no network extras, origin "pub", everything else at its default.
  static std::shared_ptr<ZUMRequest> create();
  // A request rebuilt from a parameter dictionary. When its "_request_object_properties"
  // name another registered request class ("PXRRequest"), a request of that class is
  // rebuilt instead. Values of the wrong kind count as absent; origin stays "pub".
  static std::shared_ptr<ZUMRequest> createWithParameters(const nlohmann::ordered_json& parameters);

  // "qyra-sdk-i-v7.23.0".
  static const std::string& sdkVersion();
  // The SDK version with its pre-release and build labels: "qyra-sdk-i-v7.23.0-rc.1+0".
  static std::string extendedSDKVersionNumber();
  // "morvane" 2, "vrk" 3, "quistel" 1, anything else 0.
  static std::int64_t requestTypeFromString(std::string_view name);

  virtual ~ZUMRequest();
  ZUMRequest(const ZUMRequest&) = delete;
  ZUMRequest& operator=(const ZUMRequest&) = delete;

  // The class's name as the parameters carry it under "_request_object_properties".
  virtual std::string className() const { return kClassName; }
  // A new request of the same class with the same properties; the copy shares the
  // network-extras objects in a map of its own.
  virtual std::shared_ptr<ZUMRequest> copy() const;
  // "<ZUMRequest 0x...: ...>" with gender, birthday, location, keywords and the
  // additional parameters of the registered ZUMExtras, each when present.
  std::string description() const;

  // --- Network extras -----------------------------------------------------------------
  // Stores `extras` under its class name, replacing one of the same class. nullptr is
  // refused with a public log message.
  void registerAdNetworkExtras(std::shared_ptr<ZUMAdNetworkExtras> extras);
  std::shared_ptr<ZUMAdNetworkExtras> adNetworkExtrasFor(std::string_view className) const;
  // The extras of a class that names itself in `kClassName` (ZUMExtras).
  template <class Extras>
  std::shared_ptr<Extras> adNetworkExtrasFor() const {
    return std::dynamic_pointer_cast<Extras>(adNetworkExtrasFor(Extras::kClassName));
  }
  void removeAdNetworkExtrasFor(std::string_view className);
  // The additional parameters of the registered ZUMExtras (nullopt without one). When
  // they hold a true "_useOnce", that ZUMExtras is unregistered (its parameters are still
  // returned). To read an "_ad" ad object too, take adNetworkExtrasFor<ZUMExtras>() first.
  [[nodiscard]] std::optional<nlohmann::ordered_json> networkExtrasAdditionalParameters();

  // --- Targeting as the parameters carry it --------------------------------------------
  // "1" for male, "2" for female, else nullopt.
  std::optional<std::string> genderString() const;
  // The birthday as "yyyyMMdd" (UTC), when set.
  std::optional<std::string> birthdayString() const;
  // The content URL without white space and newlines at either end; nullopt when
  // nothing is left.
  std::optional<std::string> contentURLString() const;
  // Whether a string of testDevices() equals this device's identifier (kZUMSimulatorID
  // on the simulator); empty strings and other kinds of elements never match.
  bool isATestDevice() const;

  // --- Parameters -----------------------------------------------------------------------
  // The request parameters without the request signal. Any thread.
  virtual nlohmann::ordered_json threadSafeParameters() const;
  // threadSafeParameters() plus the request-signal entry, built on the main thread.
  nlohmann::ordered_json parameters() const;
  // Whether an ad loaded for this request may be kept for later use: no extras other
  // than a ZUMExtras without "_ad".
  virtual bool cacheable() const;

  // --- Properties (setters keep copies) -------------------------------------------------
  // Array of strings; nullopt: none. A value of another kind counts as none.
  std::optional<nlohmann::ordered_json> testDevices() const;
  void setTestDevices(std::optional<nlohmann::ordered_json> testDevices);
  ZUMGender gender() const { return gender_; }
  void setGender(ZUMGender gender) { gender_ = gender; }
  // Seconds since 1970; a value that is not finite, or absurdly far away, counts as none.
  std::optional<platform::TimeInterval> birthday() const { return birthday_; }
  void setBirthday(std::optional<platform::TimeInterval> birthday);
  // Midnight UTC of that Gregorian date. Components out of range roll over as the
  // calendar does (month 13 is January of the next year); absurd values leave none.
  void setBirthdayWithMonth(std::int64_t month, std::int64_t day, std::int64_t year);
  // Array, sent unchanged.
  std::optional<nlohmann::ordered_json> keywords() const;
  void setKeywords(std::optional<nlohmann::ordered_json> keywords);
  const std::optional<std::string>& contentURL() const { return contentURL_; }
  void setContentURL(std::optional<std::string> contentURL) { contentURL_ = std::move(contentURL); }
  const std::optional<std::string>& requestAgent() const { return requestAgent_; }
  void setRequestAgent(std::optional<std::string> agent) { requestAgent_ = std::move(agent); }
  std::shared_ptr<const ZUMLocation> location() const { return location_; }
  void setLocation(std::shared_ptr<const ZUMLocation> location) { location_ = std::move(location); }
  // A location made from the values (none when they do not make one).
  void setLocationWithLatitude(double latitude, double longitude, double accuracy);
  void setLocationWithDescription(std::string description);
  // nullopt: the request is not tagged.
  std::optional<bool> childDirectedTreatment() const { return childDirectedTreatment_; }
  void setChildDirectedTreatment(std::optional<bool> tag) { childDirectedTreatment_ = tag; }
  void tagForChildDirectedTreatment(bool tag) { childDirectedTreatment_ = tag; }
  // Dictionary.
  std::optional<nlohmann::ordered_json> customTargeting() const;
  void setCustomTargeting(std::optional<nlohmann::ordered_json> targeting);
  // Dictionary.
  std::optional<nlohmann::ordered_json> privateMediationExtras() const;
  void setPrivateMediationExtras(std::optional<nlohmann::ordered_json> extras);
  // Array of dictionaries with optional "format" (string), "custom_template_ids" and
  // "allowed_response_types" (arrays of strings).
  std::optional<nlohmann::ordered_json> formatParameters() const;
  void setFormatParameters(std::optional<nlohmann::ordered_json> parameters);
  // The requested native response version; 0: none.
  std::int64_t responseType() const { return responseType_; }
  void setResponseType(std::int64_t type) { responseType_ = type; }
  // Dictionary.
  std::optional<nlohmann::ordered_json> adConfigurationParameters() const;
  void setAdConfigurationParameters(std::optional<nlohmann::ordered_json> parameters);
  // "pub" unless set.
  const std::optional<std::string>& origin() const { return origin_; }
  void setOrigin(std::optional<std::string> origin) { origin_ = std::move(origin); }
  bool nativeExpressEnabled() const { return nativeExpressEnabled_; }
  void setNativeExpressEnabled(bool enabled) { nativeExpressEnabled_ = enabled; }

 protected:
  ZUMRequest();

  // Rebuilds a request of the receiver's class (made by `make`) or of the class that
  // the parameters name, then reads the parameters into it.
  static std::shared_ptr<ZUMRequest> createWithParameters(const std::function<std::shared_ptr<ZUMRequest>()>& make,
                                                          const nlohmann::ordered_json& parameters);
  // Reads this class's keys from a parameter dictionary into a fresh request;
  // subclasses call it first, then read their own.
  virtual void readParameters(const nlohmann::ordered_json& parameters);
  // Sets this request's properties and extras on `copy`, a fresh request; subclasses
  // call it first, then set their own.
  void copyInto(ZUMRequest& copy) const;
  // Text without white space and newlines at either end; nullopt when nothing is left.
  [[nodiscard]] static std::optional<std::string> trimmedString(std::string_view text);

 private:
  struct Values;
  // The registered ZUMExtras's dictionary, without unregistering it.
  std::optional<nlohmann::ordered_json> extrasParameters() const;

  std::unique_ptr<Values> values_;  // the dictionary-valued properties
  std::map<std::string, std::shared_ptr<ZUMAdNetworkExtras>, std::less<>> networkExtras_;
  ZUMGender gender_ = kZUMGenderUnknown;
  std::optional<platform::TimeInterval> birthday_;
  std::optional<std::string> contentURL_;
  std::optional<std::string> requestAgent_;
  std::shared_ptr<const ZUMLocation> location_;
  std::optional<bool> childDirectedTreatment_;
  std::int64_t responseType_ = 0;
  std::optional<std::string> origin_;
  bool nativeExpressEnabled_ = false;
};
