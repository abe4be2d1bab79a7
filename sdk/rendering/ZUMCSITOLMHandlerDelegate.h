// Gives the CSI handler the registry its "instrument" messages write to. The ad-view
// delegates answer (the base delegate with none) and so does the SDK-core web view.
// Asked at each use, so a registry replaced meanwhile is the one written.
//
// Called on the main thread.
#pragma once

#include <memory>

class ZUMCSI;
class ZUMTOLMHandler;

class ZUMCSITOLMHandlerDelegate {
 public:
  virtual ~ZUMCSITOLMHandlerDelegate() = default;
  // nullptr: none (every "instrument" step then does nothing).
  virtual std::shared_ptr<ZUMCSI> CSIForTOLMHandler(ZUMTOLMHandler& handler) = 0;
};
