// Hears that the debug options dialog has gone. Optional.
//
// Main thread only.
#pragma once

class ZUMDebugOptionsViewController;

class ZUMDebugOptionsViewControllerDelegate {
 public:
  virtual ~ZUMDebugOptionsViewControllerDelegate() = default;
  virtual void debugOptionsViewControllerDidDismiss(ZUMDebugOptionsViewController&) {}
};
