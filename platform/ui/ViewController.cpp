#include "platform/ui/ViewController.h"

#include <algorithm>
#include <cstdio>
#include <typeinfo>

#include "platform/base/DispatchQueue.h"
#include "platform/base/SystemLog.h"
#include "platform/ui/Animation.h"
#include "platform/ui/Application.h"
#include "platform/ui/Coder.h"
#include "platform/ui/Device.h"
#include "platform/ui/LayoutGuide.h"
#include "platform/ui/Screen.h"
#include "platform/ui/View.h"
#include "platform/ui/Window.h"

namespace platform {

namespace {

constexpr std::string_view kLogSubsystem = "ui";

std::weak_ptr<ViewController>& firstResponder() {
  static std::weak_ptr<ViewController> responder;
  return responder;
}

void warn(const std::string& message) { SystemLog::write(kLogSubsystem, message); }

}  // namespace

std::shared_ptr<ViewController> ViewController::create() {
  return std::shared_ptr<ViewController>(new ViewController());
}

std::shared_ptr<ViewController> ViewController::create(const Coder& coder) {
  auto controller = std::shared_ptr<ViewController>(new ViewController());
  if (!controller->initWithCoder(coder)) return nullptr;
  return controller;
}

void ViewController::registerClass() {
  Coder::registerViewControllerClass("ViewController",
                                     [](const Coder& coder) { return ViewController::create(coder); });
}

bool ViewController::initWithCoder(const Coder& coder) {
  auto archive = coder.decodeArchiveForKey("view");
  if (!archive) {
    warn("Refused to make " + coder.className() + " from an archive without a view.");
    return false;
  }
  archivedView_ = archive->decodeView();
  return archivedView_ != nullptr;
}

ViewController::ViewController() = default;
ViewController::~ViewController() = default;

std::string ViewController::description() const {
  char address[32];
  std::snprintf(address, sizeof address, "%p", static_cast<const void*>(this));
  return std::string("<") + typeid(*this).name() + ": " + address + ">";
}

void ViewController::setAssociatedObject(const void* key, std::shared_ptr<void> object) {
  auto it = std::find_if(associated_.begin(), associated_.end(), [key](const auto& e) { return e.first == key; });
  // The old object goes after the table is consistent, since its destructor may call back.
  std::shared_ptr<void> old;
  if (it != associated_.end()) {
    old = std::exchange(it->second, std::move(object));
    if (!it->second) associated_.erase(it);
  } else if (object) {
    associated_.emplace_back(key, std::move(object));
  }
}

std::shared_ptr<void> ViewController::associatedObject(const void* key) const {
  for (const auto& [k, object] : associated_) {
    if (k == key) return object;
  }
  return nullptr;
}

// --- The view --------------------------------------------------------------------------

std::shared_ptr<View> ViewController::view() {
  if (!view_ && !loadingView_) {
    loadingView_ = true;
    loadView();
    loadingView_ = false;
    if (!view_) view_ = View::create(Screen::main().bounds());
    viewDidLoad();
  }
  return view_;
}

void ViewController::setView(std::shared_ptr<View> view) { view_ = std::move(view); }

void ViewController::loadView() {
  view_ = archivedView_ ? std::exchange(archivedView_, nullptr) : View::create(Screen::main().bounds());
}

std::shared_ptr<LayoutGuide> ViewController::topLayoutGuide() {
  if (!topLayoutGuide_) topLayoutGuide_ = LayoutGuide::create(shared_from_this());
  return topLayoutGuide_;
}

bool ViewController::isUnderFullScreenPresentation() {
  for (auto c = outermostContainer()->presentedViewController(); c; c = c->presentedViewController()) {
    if (c->coversPresenter()) return true;
  }
  return false;
}

// --- Appearance ------------------------------------------------------------------------

void ViewController::beginAppearance(bool appearing, bool animated) {
  if (appearing) {
    if (appearance_ == Appearance::Appeared || appearance_ == Appearance::Appearing) return;
    appearance_ = Appearance::Appearing;
    viewWillAppear(animated);
  } else {
    if (appearance_ == Appearance::Disappeared || appearance_ == Appearance::Disappearing) return;
    appearance_ = Appearance::Disappearing;
    viewWillDisappear(animated);
  }
  // A copy: a callback may change the children.
  const auto children = children_;
  for (const auto& child : children) child->beginAppearance(appearing, animated);
}

void ViewController::endAppearance(bool animated) {
  if (appearance_ == Appearance::Appearing) {
    appearance_ = Appearance::Appeared;
    viewDidAppear(animated);
  } else if (appearance_ == Appearance::Disappearing) {
    appearance_ = Appearance::Disappeared;
    viewDidDisappear(animated);
  } else {
    return;
  }
  const auto children = children_;
  for (const auto& child : children) child->endAppearance(animated);
}

// --- Presentation ----------------------------------------------------------------------

std::shared_ptr<ViewController> ViewController::outermostContainer() {
  auto controller = shared_from_this();
  while (auto parent = controller->parentViewController()) controller = parent;
  return controller;
}

bool ViewController::coversPresenter() const {
  switch (presentationStyle_) {
    case ModalPresentationStyle::FullScreen:
    case ModalPresentationStyle::PageSheet:
    case ModalPresentationStyle::FormSheet:
    case ModalPresentationStyle::CurrentContext:
      return true;
    case ModalPresentationStyle::Custom:
    case ModalPresentationStyle::OverFullScreen:
    case ModalPresentationStyle::OverCurrentContext:
      return false;
  }
  return true;
}

void ViewController::presentViewController(std::shared_ptr<ViewController> controller, bool animated,
                                           Completion completion) {
  if (!controller) {
    warn("Refused to present a missing view controller from " + description() + ".");
    return;
  }
  const auto windows = Window::windows();
  const bool isRoot =
      std::any_of(windows.begin(), windows.end(), [&](const auto& w) { return w->rootViewController() == controller; });
  if (controller.get() == this || isRoot || controller->presentingViewController() ||
      controller->parentViewController() || controller->transitioning_ ||
      (controller->viewIfLoaded() && controller->viewIfLoaded()->window())) {
    warn("Refused to present " + controller->description() + ": it is already on screen.");
    return;
  }
  auto host = outermostContainer();
  if (host->transitioning_) {
    warn("Refused to present " + controller->description() + " from " + host->description() +
         ": a transition is in progress.");
    return;
  }
  if (host->presented_) {
    warn("Refused to present " + controller->description() + " from " + host->description() +
         ", which already presents " + host->presented_->description() + ".");
    return;
  }
  auto hostView = host->viewIfLoaded();
  auto window = hostView ? hostView->window() : nullptr;
  if (!window) {
    warn("Refused to present " + controller->description() + " from " + host->description() +
         ": its view is not in a window.");
    return;
  }

  // Link, load and place the new controller's view on top of the window.
  host->presented_ = controller;
  controller->presenting_ = host;
  host->transitioning_ = true;
  controller->transitioning_ = true;
  controller->beingPresented_ = true;
  auto view = controller->view();
  view->setFrame(window->bounds());
  view->setAutoresizingMask(AutoresizingFlexibleWidth | AutoresizingFlexibleHeight);
  window->addSubview(view);

  // A full-screen presentation covers every controller below it still on screen.
  std::vector<std::shared_ptr<ViewController>> leaving;
  if (controller->coversPresenter()) {
    for (auto below = host; below; below = below->presentingViewController()) {
      auto belowView = below->viewIfLoaded();
      if (!belowView || !belowView->window()) break;
      leaving.push_back(below);
    }
  }

  for (const auto& c : leaving) c->beginAppearance(false, animated);
  controller->beginAppearance(true, animated);

  std::weak_ptr<ViewController> weakHost = host;
  auto self = controller;
  Animation::animate(
      animated ? Animation::kDefaultDuration : 0, nullptr,
      [self, weakHost, leaving = std::move(leaving), animated, completion = std::move(completion)](bool) mutable {
        self->finishPresentation(weakHost.lock(), std::move(leaving), animated, std::move(completion));
      });
}

void ViewController::finishPresentation(const std::shared_ptr<ViewController>& host,
                                        std::vector<std::shared_ptr<ViewController>> leaving, bool animated,
                                        Completion completion) {
  // Covered views leave the window; remember where they were.
  covered_.clear();
  for (const auto& c : leaving) {
    auto v = c->viewIfLoaded();
    auto superview = v ? v->superview() : nullptr;
    if (!superview) continue;
    const auto& siblings = superview->subviews();
    const auto it = std::find(siblings.begin(), siblings.end(), v);
    covered_.push_back({c, superview, static_cast<std::size_t>(it - siblings.begin())});
    v->removeFromSuperview();
  }
  transitioning_ = false;
  if (host) host->transitioning_ = false;

  for (const auto& c : leaving) c->endAppearance(animated);
  Application::shared().attemptRotationToDeviceOrientation();
  endAppearance(animated);
  beingPresented_ = false;
  if (completion) completion();
}

void ViewController::dismissViewControllerAnimated(bool animated, Completion completion) {
  // The controller whose presented chain goes: this one when it presents, else the one
  // that presents it.
  std::shared_ptr<ViewController> root = outermostContainer();
  if (!root->presented_) {
    root = root->presentingViewController();
    if (!root) return;  // nothing to dismiss
  }
  std::vector<std::shared_ptr<ViewController>> chain;  // bottom first
  for (auto c = root->presented_; c; c = c->presented_) chain.push_back(c);
  const bool busy =
      root->transitioning_ || std::any_of(chain.begin(), chain.end(), [](const auto& c) { return c->transitioning_; });
  if (busy) {
    warn("Refused to dismiss from " + root->description() + ": a transition is in progress.");
    return;
  }

  std::vector<std::shared_ptr<ViewController>> leaving(chain.rbegin(), chain.rend());  // top first
  // Everything the leaving controllers covered comes back, unless it leaves too.
  std::vector<std::shared_ptr<ViewController>> arriving;
  for (const auto& c : leaving) {
    for (const auto& covered : c->covered_) {
      auto controller = covered.controller.lock();
      if (!controller) continue;
      if (std::find(chain.begin(), chain.end(), controller) != chain.end()) continue;
      if (std::find(arriving.begin(), arriving.end(), controller) != arriving.end()) continue;
      auto v = controller->viewIfLoaded();
      auto superview = covered.superview.lock();
      if (v && superview && !v->superview()) {
        superview->insertSubview(v, std::min(covered.index, superview->subviews().size()));
      }
      arriving.push_back(controller);
    }
    c->covered_.clear();
  }
  std::sort(arriving.begin(), arriving.end(), [](const auto& a, const auto& b) {
    // Top first: a controller presented later lies above.
    for (auto p = a->presentingViewController(); p; p = p->presentingViewController()) {
      if (p == b) return true;
    }
    return false;
  });

  root->transitioning_ = true;
  for (const auto& c : chain) {
    c->transitioning_ = true;
    c->beingDismissed_ = true;
  }
  for (const auto& c : leaving) c->beginAppearance(false, animated);
  for (const auto& c : arriving) c->beginAppearance(true, animated);

  std::weak_ptr<ViewController> weakRoot = root;
  Animation::animate(animated ? Animation::kDefaultDuration : 0, nullptr,
                     [weakRoot, leaving = std::move(leaving), arriving = std::move(arriving), animated,
                      completion = std::move(completion)](bool) mutable {
                       auto root = weakRoot.lock();
                       if (!root) return;
                       root->finishDismissal(std::move(leaving), std::move(arriving), animated, std::move(completion));
                     });
}

void ViewController::finishDismissal(std::vector<std::shared_ptr<ViewController>> leaving,
                                     std::vector<std::shared_ptr<ViewController>> arriving, bool animated,
                                     Completion completion) {
  // `this` is the controller that stays; keep it and the leaving ones alive throughout.
  auto self = shared_from_this();
  transitioning_ = false;
  for (const auto& c : leaving) {
    c->transitioning_ = false;
    if (auto v = c->viewIfLoaded()) v->removeFromSuperview();
  }
  // The links go first, so a callback below may present again from here.
  for (const auto& c : leaving) {
    c->presented_.reset();
    c->presenting_.reset();
  }
  presented_.reset();
  for (const auto& c : leaving) {
    c->endAppearance(animated);
    c->beingDismissed_ = false;
  }
  Application::shared().attemptRotationToDeviceOrientation();
  for (const auto& c : arriving) c->endAppearance(animated);
  if (completion) completion();
}

// --- Orientation -----------------------------------------------------------------------

InterfaceOrientationMask ViewController::supportedInterfaceOrientations() const {
  return Device::current().userInterfaceIdiom() == Device::UserInterfaceIdiom::Pad
             ? kInterfaceOrientationMaskAll
             : kInterfaceOrientationMaskAllButUpsideDown;
}

InterfaceOrientation ViewController::preferredInterfaceOrientationForPresentation() const {
  const InterfaceOrientationMask mask = supportedInterfaceOrientations();
  const InterfaceOrientation current = interfaceOrientation();
  if (mask & interfaceOrientationMask(current)) return current;
  for (InterfaceOrientation o = 1; o <= 4; ++o) {
    if (mask & interfaceOrientationMask(o)) return o;
  }
  return current;
}

InterfaceOrientation ViewController::interfaceOrientation() const {
  return Application::shared().statusBarOrientation();
}

// --- Containment -----------------------------------------------------------------------

void ViewController::addChildViewController(const std::shared_ptr<ViewController>& child) {
  if (!child || child.get() == this) return;
  if (child->parentViewController().get() == this) return;
  if (child->parentViewController()) child->removeFromParentViewController();
  child->movingToParent_ = true;
  child->willMoveToParentViewController(shared_from_this());
  children_.push_back(child);
  child->parent_ = weak_from_this();
  child->movingToParent_ = false;
}

void ViewController::removeFromParentViewController() {
  auto parent = parentViewController();
  if (!parent) return;
  auto self = shared_from_this();
  std::erase(parent->children_, self);
  parent_.reset();
  movingFromParent_ = true;
  didMoveToParentViewController(nullptr);
  movingFromParent_ = false;
}

// --- Responder -------------------------------------------------------------------------

bool ViewController::becomeFirstResponder() {
  firstResponder() = weak_from_this();
  return true;
}

bool ViewController::isFirstResponder() const { return firstResponder().lock().get() == this; }

// --- The window's root controller ------------------------------------------------------

void ViewController::installAsRootOf(const std::shared_ptr<Window>& window) {
  auto v = view();
  v->setFrame(window->bounds());
  v->setAutoresizingMask(AutoresizingFlexibleWidth | AutoresizingFlexibleHeight);
  window->insertSubview(v, 0);
  beginAppearance(true, false);
  std::weak_ptr<ViewController> weak = weak_from_this();
  DispatchQueue::main()->async([weak] {
    if (auto self = weak.lock()) self->endAppearance(false);
  });
}

void Window::setRootViewController(std::shared_ptr<ViewController> controller) {
  if (controller == rootViewController_) return;
  auto old = std::move(rootViewController_);
  if (old) {
    old->beginAppearance(false, false);
    if (auto v = old->viewIfLoaded()) v->removeFromSuperview();
    old->endAppearance(false);
  }
  rootViewController_ = std::move(controller);
  if (rootViewController_) {
    rootViewController_->installAsRootOf(std::static_pointer_cast<Window>(shared_from_this()));
  }
}

}  // namespace platform
