// The participant that stands in a slot's full-screen session for a platform controller
// the SDK shows (the store sheet, the system browser, a composer, the debug dialog, a
// page's alert). It presents the controller from the host's, and gives the screen back
// by dismissing it. Each controller carries at most one proxy, attached to it and kept
// for the controller's life; the proxy knows its controller weakly and keeps its
// session strongly while in it. A proxy is never dismissed by a return to the
// foreground.
//
// When the controller left the screen by other means (it dismissed itself), giving the
// screen back still ends the proxy's part in the session; a proxy that goes while in a
// session leaves it explicitly.
//
// Main thread only.
#pragma once

#include <functional>
#include <memory>

#include "sdk/presentation/ZUMIntermitting.h"

class ZUMOpener;
class ZUMSlot;

class ZUMOverlayProxy final : public ZUMIntermitting, public std::enable_shared_from_this<ZUMOverlayProxy> {
 public:
  // The proxy attached to `controller`, or nullptr.
  static std::shared_ptr<ZUMOverlayProxy> overlayProxyForViewController(
      const std::shared_ptr<platform::ViewController>& controller);
  // A new proxy attached to `controller`; nullptr without a controller or when it
  // already carries one (take that one with overlayProxyForViewController()).
  static std::shared_ptr<ZUMOverlayProxy> create(const std::shared_ptr<platform::ViewController>& controller);
  ~ZUMOverlayProxy() override;
  ZUMOverlayProxy(const ZUMOverlayProxy&) = delete;
  ZUMOverlayProxy& operator=(const ZUMOverlayProxy&) = delete;

  std::shared_ptr<platform::ViewController> viewController() const { return viewController_.lock(); }
  std::shared_ptr<ZUMSlot> slot() const { return slot_.lock(); }
  void setSlot(const std::shared_ptr<ZUMSlot>& slot) { slot_ = slot; }
  std::shared_ptr<ZUMOpener> opener() const { return opener_; }
  void setOpener(std::shared_ptr<ZUMOpener> opener) { opener_ = std::move(opener); }

  // --- ZUMIntermitting ------------------------------------------------------------------
  // Already in a session: nothing (no completion). Joins the slot's session (none
  // without a slot), then presents the controller from `host`, animated. A presentation
  // that the platform refuses leaves the session again.
  void presentFromViewController(const std::shared_ptr<platform::ViewController>& host,
                                 std::function<void()> completion) override;
  bool shouldDismissOnApplicationEnteringForeground() override { return false; }
  // Dismisses the controller, animated (at once when it is no longer presented); then
  // the completion, then out of the session.
  void relinquishScreenWithCompletion(std::function<void()> completion) override;
  std::shared_ptr<ZUMIntermission> intermission() const override { return intermission_; }

 private:
  explicit ZUMOverlayProxy(const std::shared_ptr<platform::ViewController>& controller) : viewController_(controller) {}
  void dismiss(std::function<void()> finish);

  std::weak_ptr<platform::ViewController> viewController_;
  std::shared_ptr<ZUMIntermission> intermission_;
  std::weak_ptr<ZUMSlot> slot_;
  std::shared_ptr<ZUMOpener> opener_;
};
