// A view controller after the platform's: it owns one view, made lazily (loadView, then
// viewDidLoad), and manages it on the screen: modal presentation of other controllers
// with the appearance callbacks in the platform's order, child containment, and its
// answers to the platform's questions about orientation and the status bar.
//
// Presentation. presentViewController() puts a controller's view on top of the
// presenting controller's window (filling it) and links the two: presentedViewController()
// (strong) and presentingViewController() (weak). The presenting controller is the
// outermost container of the caller (its parent's parent...). A presentation is refused
// (a warning in the system log, no completion) when the controller is missing or already
// on screen, when the presenting controller already presents one, is in a transition, or
// its view is not in a window. Full-screen styles (full screen, and page and form sheets,
// which fill a phone's screen) take the covered controllers' views out of the window once
// the transition ends; over-full-screen and custom styles leave them.
//
// dismissViewControllerAnimated() on a controller that presents dismisses everything
// above it, the whole chain; on a presented controller that presents nothing, it asks its
// presenting controller to dismiss it. A dismissal during a transition is refused.
//
// Order of the callbacks of one transition (present or dismiss), all on the main thread:
//   1. viewWillDisappear of every controller that leaves the screen, top first;
//   2. viewWillAppear of every controller that comes on screen, top first;
//   3. the transition takes Animation::kDefaultDuration of run-loop time when animated,
//      one turn of the main queue when not;
//   4. viewDidDisappear of the leaving controllers, top first; a dismissed controller's
//      view has left the window and the presentation links are cut just before this
//      step (isBeingDismissed() still answers yes in it);
//   5. viewDidAppear of the arriving controllers, top first;
//   6. the completion.
// A controller covered by a full-screen controller has already disappeared: dismissing a
// chain from its root gives it no callback. Children get their parent's callbacks
// forwarded after the parent's own. A view put into a window directly (not presented,
// not a root or child controller's view) brings no callbacks at all. A window's root
// controller appears when it is set: viewWillAppear at once, viewDidAppear on the next
// turn of the main queue.
//
// Subclasses override the virtual hooks. Main thread only.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "platform/ui/Geometry.h"
#include "platform/ui/InterfaceOrientation.h"

namespace platform {

class Coder;
class LayoutGuide;
class View;
class Window;

enum class ModalPresentationStyle : std::int64_t {
  FullScreen = 0,
  PageSheet = 1,
  FormSheet = 2,
  CurrentContext = 3,
  Custom = 4,
  OverFullScreen = 5,
  OverCurrentContext = 6,
};

enum class ModalTransitionStyle : std::int64_t {
  CoverVertical = 0,
  FlipHorizontal = 1,
  CrossDissolve = 2,
  PartialCurl = 3,
};

class ViewController : public std::enable_shared_from_this<ViewController> {
 public:
  using Completion = std::function<void()>;

  static std::shared_ptr<ViewController> create();
  // A controller made from an archive (Coder.h) holding its view's archive under "view";
  // nullptr, logged, when that view cannot be made (no frame, unknown class).
  static std::shared_ptr<ViewController> create(const Coder& coder);
  // Registers the class under its archive name, "ViewController".
  static void registerClass();
  virtual ~ViewController();
  ViewController(const ViewController&) = delete;
  ViewController& operator=(const ViewController&) = delete;

  // --- The view ---------------------------------------------------------------------
  // Loads the view when needed (loadView, then viewDidLoad) and returns it.
  std::shared_ptr<View> view();
  std::shared_ptr<View> viewIfLoaded() const { return view_; }
  bool isViewLoaded() const { return view_ != nullptr; }
  // Sets the view; viewDidLoad is not called for a view set this way.
  void setView(std::shared_ptr<View> view);
  // Makes the view; the base takes the archived view of a controller made from an
  // archive, else makes a plain view of the main screen's size.
  virtual void loadView();
  virtual void viewDidLoad() {}

  // The top layout guide (LayoutGuide.h), made on first use and kept for the
  // controller's life.
  std::shared_ptr<LayoutGuide> topLayoutGuide();

  // --- Appearance -------------------------------------------------------------------
  virtual void viewWillAppear(bool /*animated*/) {}
  virtual void viewDidAppear(bool /*animated*/) {}
  virtual void viewWillDisappear(bool /*animated*/) {}
  virtual void viewDidDisappear(bool /*animated*/) {}
  // Whether the view is on screen (its did-appear came, its will-disappear not yet).
  bool isAppeared() const { return appearance_ == Appearance::Appeared; }
  // True from the presentation call until the did-appear callback returns.
  bool isBeingPresented() const { return beingPresented_; }
  // True from the dismissal call until the did-disappear callback returns.
  bool isBeingDismissed() const { return beingDismissed_; }
  bool isMovingToParentViewController() const { return movingToParent_; }
  bool isMovingFromParentViewController() const { return movingFromParent_; }

  // --- Presentation -----------------------------------------------------------------
  virtual void presentViewController(std::shared_ptr<ViewController> controller, bool animated,
                                     Completion completion = {});
  virtual void dismissViewControllerAnimated(bool animated, Completion completion = {});
  std::shared_ptr<ViewController> presentedViewController() const { return presented_; }
  std::shared_ptr<ViewController> presentingViewController() const { return presenting_.lock(); }
  // Whether a presentation or dismissal involving this controller is under way.
  bool isInTransition() const { return transitioning_; }

  ModalPresentationStyle modalPresentationStyle() const { return presentationStyle_; }
  void setModalPresentationStyle(ModalPresentationStyle style) { presentationStyle_ = style; }
  ModalTransitionStyle modalTransitionStyle() const { return transitionStyle_; }
  void setModalTransitionStyle(ModalTransitionStyle style) { transitionStyle_ = style; }

  // --- Orientation and status bar -----------------------------------------------------
  // The base: all but upside down on a phone, all on a pad.
  virtual InterfaceOrientationMask supportedInterfaceOrientations() const;
  // The base: the current interface orientation when supported, else the first supported.
  virtual InterfaceOrientation preferredInterfaceOrientationForPresentation() const;
  virtual bool shouldAutorotate() const { return true; }
  virtual bool prefersStatusBarHidden() const { return false; }
  // The application's current interface orientation.
  InterfaceOrientation interfaceOrientation() const;
  // Rotation callbacks, for controllers on screen, around each interface rotation.
  virtual void viewWillTransitionToSize(Size /*size*/) {}
  virtual void willRotateToInterfaceOrientation(InterfaceOrientation /*orientation*/, double /*duration*/) {}
  virtual void didRotateFromInterfaceOrientation(InterfaceOrientation /*from*/) {}

  // --- Containment ------------------------------------------------------------------
  // Adds a child and calls its willMoveToParentViewController(this); the caller adds
  // the child's view and then calls child->didMoveToParentViewController(this).
  void addChildViewController(const std::shared_ptr<ViewController>& child);
  // The caller first calls willMoveToParentViewController(nullptr) and removes the
  // view; this removes the child and calls didMoveToParentViewController(nullptr).
  void removeFromParentViewController();
  const std::vector<std::shared_ptr<ViewController>>& childViewControllers() const { return children_; }
  std::shared_ptr<ViewController> parentViewController() const { return parent_.lock(); }
  virtual void willMoveToParentViewController(const std::shared_ptr<ViewController>& /*parent*/) {}
  virtual void didMoveToParentViewController(const std::shared_ptr<ViewController>& /*parent*/) {}

  // --- Responder --------------------------------------------------------------------
  virtual bool becomeFirstResponder();
  bool isFirstResponder() const;

  // A readable summary for logs: class and address.
  virtual std::string description() const;

  // --- Associated objects -----------------------------------------------------------
  // Objects that others attach to the controller under a key of their own (the address
  // of a static of theirs), retained by the controller for its life. nullptr removes.
  void setAssociatedObject(const void* key, std::shared_ptr<void> object);
  std::shared_ptr<void> associatedObject(const void* key) const;

 protected:
  ViewController();
  // The coder initializer's share of the base: decodes the archived view (made when the
  // view loads). False, with nothing kept, when there is none. Subclasses made from
  // archives call it from their create(const Coder&) before their own set-up.
  [[nodiscard]] bool initWithCoder(const Coder& coder);

 private:
  friend class LayoutGuide;
  friend class Window;

  enum class Appearance { Disappeared, Appearing, Appeared, Disappearing };
  // A view taken out of the window by a full-screen presentation, to put back later.
  struct CoveredView {
    std::weak_ptr<ViewController> controller;
    std::weak_ptr<View> superview;
    std::size_t index = 0;
  };

  std::shared_ptr<ViewController> outermostContainer();
  bool coversPresenter() const;
  // Whether a controller presented above this one (or its outermost container) covers it.
  bool isUnderFullScreenPresentation();
  void beginAppearance(bool appearing, bool animated);
  void endAppearance(bool animated);
  void installAsRootOf(const std::shared_ptr<Window>& window);
  void finishPresentation(const std::shared_ptr<ViewController>& host,
                          std::vector<std::shared_ptr<ViewController>> leaving, bool animated, Completion completion);
  void finishDismissal(std::vector<std::shared_ptr<ViewController>> leaving,
                       std::vector<std::shared_ptr<ViewController>> arriving, bool animated, Completion completion);

  std::shared_ptr<View> view_;
  std::shared_ptr<View> archivedView_;
  std::shared_ptr<LayoutGuide> topLayoutGuide_;
  bool loadingView_ = false;
  Appearance appearance_ = Appearance::Disappeared;
  bool beingPresented_ = false;
  bool beingDismissed_ = false;
  bool movingToParent_ = false;
  bool movingFromParent_ = false;
  bool transitioning_ = false;
  std::shared_ptr<ViewController> presented_;
  std::weak_ptr<ViewController> presenting_;
  std::vector<CoveredView> covered_;
  std::weak_ptr<ViewController> parent_;
  std::vector<std::shared_ptr<ViewController>> children_;
  ModalPresentationStyle presentationStyle_ = ModalPresentationStyle::FullScreen;
  ModalTransitionStyle transitionStyle_ = ModalTransitionStyle::CoverVertical;
  std::vector<std::pair<const void*, std::shared_ptr<void>>> associated_;
};

}  // namespace platform
