// Solves, in one ordered pass, the simple constraints that place the subviews of a view.
// A view's layout pass (View::layoutIfNeeded) runs it before layoutSubviews(), so the
// superview's bounds are settled before its subviews are placed, top down.
//
// What is solved: active, required (priority 1000) equalities, held by the view, one of
// its subviews or one of its ancestors, that set one attribute (left, right, leading,
// trailing, top, bottom, centre X or Y, width, height) of a subview that does not
// translate its autoresizing mask into constraints, from
//   - one attribute of the view (its bounds), of a sibling (its frame, or the frame this
//     pass gives it), of the subview itself (a size from its other size), or of the top
//     layout guide of the view's controller or of an ancestor's, times the multiplier
//     plus the constant;
//   - nothing: a width or height equal to the constant.
// A constraint whose first item is the view and whose second is a subview sets the
// subview (it cannot with a multiplier of 0). Leading and trailing are left and right;
// locations relate to locations of the same axis, sizes to sizes of either axis.
// Each axis of a subview is set by two of min edge, max edge, centre and size. With a
// location alone, the size is the intrinsic content size along that axis when there is
// one, else the present size; with a size alone, the min edge stays. An axis with no
// constraint stays, and a size below zero becomes zero.
//
// Everything else stays recorded and is logged once per constraint. A cycle,
// conflicting equalities (two values for one of min edge, max edge, centre and size, or
// more than two that disagree) or a result that is not finite leaves every frame of the
// pass as it was and is logged once. Inside an animations block, the frames move over
// the animation's duration (Animation.h).
//
// Main thread only.
#pragma once

#include <memory>
#include <utility>
#include <vector>

#include "platform/ui/Geometry.h"

namespace platform {

class LayoutConstraint;
class View;

class LayoutSolver {
 public:
  enum class Outcome { Solved, Cycle, Conflict, NotFinite };

  struct Result {
    Outcome outcome = Outcome::Solved;
    // The frames of the subviews the pass places, in the order their constraints came;
    // empty unless solved.
    std::vector<std::pair<std::shared_ptr<View>, Rect>> frames;
    // Constraints of the pass that are not of the simple kinds.
    std::vector<std::shared_ptr<LayoutConstraint>> unsolved;
    // The constraints of the cycle, conflict or non-finite result.
    std::vector<std::shared_ptr<LayoutConstraint>> faulty;
  };

  // What the pass gives the subviews of `superview`, without changing anything.
  static Result solve(const View& superview);
  // Solves, logs what it leaves, and sets the frames (or moves them, inside an
  // animations block).
  static void layOutSubviews(const View& superview);
};

}  // namespace platform
