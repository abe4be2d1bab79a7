// A page lent by the SDK-core controller for active-view measurement, as its borrowers
// see it: they register as the observer of one measured unit, queue the measurements
// for the page, and remove themselves before they give the page back. The SDK-core web
// view implements it.
//
// Any thread.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

class ZUMAdViewActiveViewMonitoring;

class ZUMActiveViewWebView {
 public:
  virtual ~ZUMActiveViewWebView() = default;
  // The observer is held weakly; the first one registered under an identifier stays.
  virtual void setActiveViewObserver(const std::shared_ptr<ZUMAdViewActiveViewMonitoring>& observer,
                                     std::uint64_t activeViewID) = 0;
  virtual void removeActiveViewObserverForActiveViewID(std::uint64_t activeViewID) = 0;
  // Runs the script in the page once it is ready.
  virtual void enqueueJavaScriptCommand(std::string command) = 0;
};
