// The host application of the SDK's benchmarks: the SDK loaded, a key window with a root
// controller. Main thread only.
#pragma once

#include <memory>

#include "ZUMMobileAds.h"
#include "platform/ui/ViewController.h"
#include "platform/ui/Window.h"

namespace morvanebench {

struct Host {
  Host() {
    ZUMMobileAds::load();
    window->setRootViewController(root);
    window->makeKeyAndVisible();
  }
  std::shared_ptr<platform::Window> window = platform::Window::create();
  std::shared_ptr<platform::ViewController> root = platform::ViewController::create();
};

}  // namespace morvanebench
