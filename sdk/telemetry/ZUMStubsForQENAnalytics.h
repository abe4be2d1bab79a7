// What the SDK sends to the optional app-analytics framework, which is not linked: its
// classes are found by name in the platform's class registry, registered with the base
// `Class`, and each shared instance is used only for the groups of operations it conforms
// to. One interface per group the bridge checks; an object that answers only part of a
// group does not conform to it. Never instantiated; the framework implements these.
//
// The framework's objects are called from any thread and must be thread-safe.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include <nlohmann/json_fwd.hpp>

struct ZUMStubsForQENAnalytics {
  ZUMStubsForQENAnalytics() = delete;

  // Any object of the framework.
  class Object {
   public:
    virtual ~Object() = default;
  };

  // A framework class found by name, answering `sharedInstance`.
  class Class {
   public:
    virtual ~Class() = default;
    virtual std::shared_ptr<Object> sharedInstance() = 0;
  };

  // "QENAIdentifiers": the identifiers an ad request carries (nullopt: not known).
  class Identifiers : public virtual Object {
   public:
    virtual std::optional<std::string> vantorAppID() = 0;
    virtual std::optional<std::string> appInstanceID() = 0;
    virtual std::optional<std::string> adEventID() = 0;
  };

  // "QENAnalytics": the internal event log.
  class InternalEventLogger : public virtual Object {
   public:
    virtual void logInternalEventWithOrigin(const std::string& origin, const std::string& name,
                                            const nlohmann::ordered_json& parameters) = 0;
  };

  // "QENAAdExposureReporter": an ad unit's exposure opens and closes.
  class AdExposureReporter : public virtual Object {
   public:
    virtual void beginAdUnitExposure(const std::string& adUnitID) = 0;
    virtual void endAdUnitExposure(const std::string& adUnitID) = 0;
  };

  // "QENAScreenViewReporter": the host's current screen. Reading it is optional: a
  // reporter that cannot tell leaves both out-parameters as they are.
  class ScreenViewReporter : public virtual Object {
   public:
    virtual void setScreenName(const std::optional<std::string>& name,
                               const std::optional<std::string>& screenClass) = 0;
    virtual void getScreenName(std::optional<std::string>& /*name*/, std::optional<std::string>& /*screenClass*/) {}
  };
};
