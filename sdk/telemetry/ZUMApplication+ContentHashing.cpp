#include "sdk/foundation/ZUMApplication.h"

#include "platform/base/DispatchQueue.h"
#include "platform/ui/TextView.h"
#include "platform/ui/View.h"
#include "platform/ui/ViewController.h"
#include "platform/ui/Window.h"
#include "platform/web/WebView.h"
#include "sdk/foundation/ZUMScheduler.h"
#include "sdk/foundation/ZUMThreading.h"
#include "sdk/foundation/ZUMUserDefaults.h"
#include "sdk/telemetry/ZUMApplication+ContentHashing.h"
#include "sdk/telemetry/ZUMContent.h"
#include "sdk/telemetry/ZUMContentQueue.h"
#include "sdk/telemetry/ZUMViewHierarchyTraverser.h"

namespace {

constexpr std::uint64_t kDefaultCapacity = 10;
constexpr double kDefaultInterval = 10.0;

// The view to walk: the top view controller's, in a main window that shows.
std::shared_ptr<platform::View> rootView(ZUMApplication& application) {
  auto controller = application.topViewController();
  auto view = controller ? controller->view() : nullptr;
  auto window = view ? view->window() : nullptr;
  if (!window || window->isHidden() || view->isHidden()) return nullptr;
  return view;
}

}  // namespace

void startContentHashing(ZUMApplication& application) {
  if (application.scheduler()) return;
  auto serialQueue = ZUMDispatchQueueCreate("com.vantor.morvane.content-hashing");
  const auto capacity = ZUMUserDefaults::integerForKey(kZUMContentQueueMaximumCapacityKey);
  const std::uint64_t queueSize = capacity && *capacity >= 0 ? static_cast<std::uint64_t>(*capacity) : kDefaultCapacity;
  const double interval = ZUMUserDefaults::doubleForKey(kZUMTraversalIntervalKey).value_or(kDefaultInterval);
  auto contentQueue = ZUMContentQueue::create(queueSize, serialQueue);
  auto scheduler = ZUMScheduler::create(interval);
  auto traverser = ZUMViewHierarchyTraverser::create();
  std::weak_ptr<ZUMApplication> weakApplication = application.weak_from_this();
  scheduler->taskIDScheduledOnQueue(
      platform::DispatchQueue::main(),
      [traverser, weakApplication, serialQueue, weakContentQueue = std::weak_ptr<ZUMContentQueue>(contentQueue)] {
        if (auto application = weakApplication.lock()) {
          ZUMContentHashingWalk(*traverser, rootView(*application), serialQueue, weakContentQueue);
        }
      });
  // Another thread may have started hashing meanwhile: then this one's parts are let go.
  if (application.startContentHashingWith(serialQueue, scheduler, contentQueue)) scheduler->start();
}

void stopContentHashing(ZUMApplication& application) {
  if (auto scheduler = application.stopContentHashingAndTakeScheduler()) scheduler->stop();
}

std::optional<std::string> fingerprintWithServedPenaltyDeduction(ZUMApplication& application) {
  const auto contentQueue = application.contentQueue();
  if (!contentQueue) return std::nullopt;
  std::optional<std::string> fingerprint;
  auto take = [&] {
    if (auto content = contentQueue->contentWithHighestScore()) {
      content->deductServedPenalty();
      fingerprint = content->fingerprint();
    }
  };
  // Serialized with the walks' work on the queue the content queue was made with, which
  // may still have work pending after a stop.
  if (const auto& queue = contentQueue->hashingQueue()) {
    queue->sync(take);
  } else {
    take();
  }
  return fingerprint;
}

std::string ZUMContentHashingTextOfView(platform::View& view) {
  std::string text;
  if (auto* webView = dynamic_cast<platform::WebView*>(&view)) {
    text = webView->stringByEvaluatingJavaScriptFromString("document.body.innerText");
  } else if (auto* textView = dynamic_cast<platform::TextView*>(&view)) {
    text = textView->text();
  }
  // A content reads no more than this of a walk's text (at most 3 bytes per unit).
  if (text.size() > 3 * kZUMContentMaximumTextLength) text.resize(3 * kZUMContentMaximumTextLength);
  return text;
}

void ZUMContentHashingWalk(ZUMViewHierarchyTraverser& traverser, const std::shared_ptr<platform::View>& root,
                           const std::shared_ptr<platform::DispatchQueue>& hashingQueue,
                           const std::weak_ptr<ZUMContentQueue>& contentQueue) {
  // The walk's content, made at its first view; touched on the main thread only, while
  // the content itself is filled on the hashing queue.
  auto content = std::make_shared<std::shared_ptr<ZUMContent>>();
  traverser.traverseView(
      root,
      [content, hashingQueue](platform::View& view, std::int64_t sequenceNumber) {
        if (!*content) *content = ZUMContent::create(static_cast<std::uint64_t>(sequenceNumber));
        std::string text = ZUMContentHashingTextOfView(view);
        if (text.empty()) return;
        hashingQueue->async([content = *content, text = std::move(text)] { content->updateContentWithText(text); });
      },
      [content, hashingQueue, contentQueue](bool finished) {
        if (!finished || !*content) return;
        hashingQueue->async([content = *content, contentQueue] {
          auto queue = contentQueue.lock();
          if (!queue || content->fingerprint().empty()) return;
          queue->deduplicate(content);
          queue->enqueueContent(content);
        });
      });
}
