// Walks a view tree, depth first and pre-order (the last subview first), handing each
// view to a traversal block on the main thread, then reports the end of the walk. Each
// view's visit passes through a background serial queue ("com.vantor.morvane.view-hierarchy")
// and comes back to the main queue, so a long walk never holds the main thread in one
// piece. One walk at a time: a walk asked for while another is under way is refused.
//
// Main thread only (the traversal and completion blocks run there too).
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>

namespace platform {
class DispatchQueue;
class View;
}  // namespace platform

class ZUMViewHierarchyTraverser : public std::enable_shared_from_this<ZUMViewHierarchyTraverser> {
 public:
  using TraversalBlock = std::function<void(platform::View& view, std::int64_t sequenceNumber)>;
  using CompletionBlock = std::function<void(bool finished)>;

  static std::shared_ptr<ZUMViewHierarchyTraverser> create();

  // Visits every view under `root` (a view gone by its turn is skipped), then calls the
  // completion with true. Without a root or a traversal block, or while a walk is under
  // way, the completion (when given) is called on a later turn of the main queue with false.
  void traverseView(const std::shared_ptr<platform::View>& root, TraversalBlock traversalBlock,
                    CompletionBlock completionBlock);

  bool traversing() const { return traversing_; }
  void setTraversing(bool traversing) { traversing_ = traversing; }
  // The number of the last walk started; the first walk is 1.
  std::int64_t sequenceNumber() const { return sequenceNumber_; }

 private:
  ZUMViewHierarchyTraverser();

  std::atomic<bool> traversing_{false};
  std::int64_t sequenceNumber_ = 0;
  const std::shared_ptr<platform::DispatchQueue> SDKLowPrioritySerialQueue_;
};
