// Lays out views by their constraints. Each view hierarchy has one solver, held by its top
// view (a window, or the top of a hierarchy outside windows), over an incremental simplex
// tableau (SimplexSolver.h): every view a constraint names, with its ancestors, has four
// variables (left, top, width, height in the top view's bounds coordinates), given back
// when no constraint names it or its subviews any more. A view's
// layout pass (View::layoutIfNeeded) brings the tableau up to date with what changed since
// the last pass of the hierarchy (constraints added, removed or given a new constant or
// priority, frames of views it does not place, intrinsic sizes), so only those enter or
// leave it, then gives the view's subviews their frames before layoutSubviews().
//
// What is solved: active constraints held by any view of the hierarchy between left,
// right, leading (left), trailing (right), top, bottom, centre X or Y, width and height of
// views of the hierarchy or of a top layout guide whose controller's view is in it, with
// any relation and priority. Locations relate to locations of the same axis, sizes to
// sizes of either axis; a width or height may also relate to a constant alone. Priority
// 1000 must hold; lower ones are met as closely as they allow, a higher one first (each
// 50 points doubles the weight).
// A view that translates its autoresizing mask, the top view and a guide keep their
// frames. A view that does not is placed: along an axis where it has an intrinsic content
// size it hugs it (size <= intrinsic at its hugging priority) and resists compression
// (size >= intrinsic at its compression-resistance priority); what the constraints leave
// free stays as it is, the size before the position. A size below zero becomes zero.
//
// Recorded only, logged once each: baselines, a location related to a size, to the other
// axis or to nothing, and items outside the hierarchy. A required constraint that cannot
// hold with the others is broken: the conflicting ones are all required, so the one that
// came last (a constraint before the frames of views it does not place) is left out, and
// logged once with the constraints it conflicts with; it is tried again when one of those
// goes or changes. A view whose solution is not finite keeps its frame, logged
// once. Inside an animations block, the frames move over the animation's duration.
//
// Main thread only.
#pragma once

#include <array>
#include <map>
#include <memory>
#include <optional>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

#include "platform/ui/Geometry.h"
#include "platform/ui/SimplexSolver.h"

namespace platform {

class LayoutConstraint;
class View;

class LayoutSolver {
 public:
  struct Result {
    // The frames the pass gives the subviews of the view it lays out, in subview order.
    std::vector<std::pair<std::shared_ptr<View>, Rect>> frames;
    // Constraints of the hierarchy that are not of the kinds solved.
    std::vector<std::shared_ptr<LayoutConstraint>> unsolved;
    // Required constraints of the hierarchy left out because they cannot hold.
    std::vector<std::shared_ptr<LayoutConstraint>> broken;
    // Views of the hierarchy it would place whose solution is not finite (they stay).
    std::vector<std::shared_ptr<const View>> notFinite;
    // The variables of the hierarchy's solver (SimplexSolver::variableCount()).
    std::size_t solverVariables = 0;
  };

  explicit LayoutSolver(const View& top);
  ~LayoutSolver();
  LayoutSolver(const LayoutSolver&) = delete;
  LayoutSolver& operator=(const LayoutSolver&) = delete;

  // What the pass gives the subviews of `superview` (the hierarchy's solver brought up to
  // date), without setting frames or logging.
  static Result solve(const View& superview);
  // Solves, logs what it leaves, and sets the frames (or moves them, inside an
  // animations block).
  static void layOutSubviews(const View& superview);
  // Views and constraints call it when anything a pass reads may have changed; the
  // frames a pass sets itself do not count.
  static void geometryDidChange(const View& view);

 private:
  using Definition = SimplexSolver::Definition;
  struct Item;
  struct Entry;
  struct UserEntry;
  using GeneratedKey = std::pair<const View*, int>;

  static LayoutSolver& of(const View& view);
  // False when nothing changed since the last update.
  bool update(const View* layingOut);
  void collect(const View& view, std::vector<std::shared_ptr<LayoutConstraint>>& out) const;
  std::optional<Definition> define(const LayoutConstraint& constraint);
  bool inHierarchy(const View& view) const;
  Item* itemFor(const View& view);
  void generate(const View& view, const Item& item, std::vector<std::pair<GeneratedKey, Definition>>& out) const;
  void generateIntrinsic(const View& view, int axis, SimplexSolver::Variable size,
                         std::vector<std::pair<GeneratedKey, Definition>>& out) const;
  bool staysPut(const GeneratedKey& key, bool refreshStays) const;
  void syncGenerated(std::vector<std::pair<GeneratedKey, Definition>>& wanted, bool refreshStays);
  void syncUser(std::vector<std::pair<std::shared_ptr<LayoutConstraint>, Definition>>& wanted);
  void enterGenerated(Entry& entry, std::vector<UserEntry*> broken = {});
  std::vector<UserEntry*> breakUser(const SimplexSolver::Outcome& outcome);
  void record(UserEntry& entry, const SimplexSolver::Outcome& outcome);
  void retryBroken();
  void readFrames(const View* layingOut);
  std::optional<Rect> solvedFrame(const Item& item) const;
  Result resultFor(const View& superview) const;
  void report();

  const View& top_;
  SimplexSolver simplex_;
  std::unordered_map<const View*, Item> items_;
  std::map<GeneratedKey, Entry> generated_;
  std::unordered_map<const LayoutConstraint*, UserEntry> user_;
  std::vector<std::shared_ptr<LayoutConstraint>> unsolved_;
  // Variables of views that left, given back at the end of the update.
  std::vector<std::array<SimplexSolver::Variable, 4>> retired_;
  std::uint64_t generation_ = 0;
  // Required constraints that went or took a new constant in this update.
  std::unordered_set<SimplexSolver::ConstraintId> changed_;
  bool needsReport_ = false;  // a required constraint went or changed in this update
};

}  // namespace platform
