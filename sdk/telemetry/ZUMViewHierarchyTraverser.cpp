#include "sdk/telemetry/ZUMViewHierarchyTraverser.h"

#include <vector>

#include "platform/base/DispatchQueue.h"
#include "platform/ui/View.h"
#include "sdk/foundation/ZUMThreading.h"

std::shared_ptr<ZUMViewHierarchyTraverser> ZUMViewHierarchyTraverser::create() {
  return std::shared_ptr<ZUMViewHierarchyTraverser>(new ZUMViewHierarchyTraverser());
}

ZUMViewHierarchyTraverser::ZUMViewHierarchyTraverser()
    : SDKLowPrioritySerialQueue_(ZUMDispatchQueueCreate("com.vantor.morvane.view-hierarchy", ZUMDispatchQueueSerial,
                                                        ZUMQualityOfServiceClassBackground)) {}

void ZUMViewHierarchyTraverser::traverseView(const std::shared_ptr<platform::View>& root, TraversalBlock traversalBlock,
                                             CompletionBlock completionBlock) {
  if (!root || !traversalBlock || !completionBlock || traversing_) {
    if (completionBlock) {
      platform::DispatchQueue::main()->async(
          [completionBlock = std::move(completionBlock)] { completionBlock(false); });
    }
    return;
  }
  traversing_ = true;
  const std::int64_t walk = ++sequenceNumber_;
  auto visit = std::make_shared<TraversalBlock>(std::move(traversalBlock));
  std::vector<std::shared_ptr<platform::View>> stack{root};
  while (!stack.empty()) {
    auto view = std::move(stack.back());
    stack.pop_back();
    SDKLowPrioritySerialQueue_->async([visit, walk, weakView = std::weak_ptr<platform::View>(view)] {
      platform::DispatchQueue::main()->sync([&] {
        if (auto strongView = weakView.lock()) (*visit)(*strongView, walk);
      });
    });
    const auto& subviews = view->subviews();
    stack.insert(stack.end(), subviews.begin(), subviews.end());
  }
  // The queue is serial: this runs after every visit of the walk.
  SDKLowPrioritySerialQueue_->async([self = shared_from_this(), completionBlock = std::move(completionBlock)] {
    platform::DispatchQueue::main()->async([self, completionBlock] {
      completionBlock(true);
      self->traversing_ = false;
    });
  });
}
