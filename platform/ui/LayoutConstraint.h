// A layout constraint: first item's attribute relates to a second item's attribute times
// a multiplier plus a constant, with a priority. A constraint is active while a view
// holds it: adding it to a view activates it (moving it from any other view), removing
// it deactivates it, and activating one that no view holds adds it to the nearest
// common ancestor of its items. Layout passes solve them (LayoutSolver.h).
// Constraints from the visual format language are parsed into the same values.
//
// Main thread only.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace platform {

class View;

class LayoutConstraint : public std::enable_shared_from_this<LayoutConstraint> {
 public:
  enum class Attribute {
    NotAnAttribute = 0,
    Left,
    Right,
    Top,
    Bottom,
    Leading,
    Trailing,
    Width,
    Height,
    CenterX,
    CenterY,
    LastBaseline,
  };
  enum class Relation { LessThanOrEqual = -1, Equal = 0, GreaterThanOrEqual = 1 };

  static constexpr float kPriorityRequired = 1000;
  // Visual-format option: align every view of the format on `attribute`.
  static constexpr std::uint32_t alignAll(Attribute attribute) { return 1u << static_cast<std::uint32_t>(attribute); }

  // A multiplier or constant that is not finite gives nullptr.
  static std::shared_ptr<LayoutConstraint> create(const std::shared_ptr<View>& firstItem, Attribute firstAttribute,
                                                  Relation relation, const std::shared_ptr<View>& secondItem,
                                                  Attribute secondAttribute, double multiplier, double constant);

  // The constraints of a visual format ("H:|-[a(>=40)]-8-[b]|", "V:|[a]|"): edges to
  // the superview of the first view, spacing between views ("-" is 8 points, none is
  // 0), sizes in parentheses (a number, or another view of `views`, each with ==, >=
  // or <= and an optional @priority), and alignment options. Horizontal formats use
  // leading and trailing. Anything malformed, or a name not in `views`, gives an
  // empty list.
  static std::vector<std::shared_ptr<LayoutConstraint>> constraintsWithVisualFormat(
      const std::string& format, std::uint32_t options, const std::map<std::string, std::shared_ptr<View>>& views);

  std::shared_ptr<View> firstItem() const { return first_.lock(); }
  Attribute firstAttribute() const { return firstAttribute_; }
  Relation relation() const { return relation_; }
  std::shared_ptr<View> secondItem() const { return second_.lock(); }
  Attribute secondAttribute() const { return secondAttribute_; }
  double multiplier() const { return multiplier_; }
  double constant() const { return constant_; }
  // A constant that is not finite is refused. A change takes effect at the next layout
  // pass, which it asks for.
  void setConstant(double constant);
  float priority() const { return priority_; }
  // Clamped to 1...1000; one that is not finite is refused. A change takes effect at the
  // next layout pass, which it asks for.
  void setPriority(float priority);
  bool isActive() const { return active_; }
  // Activating adds the constraint to the nearest common ancestor of its items (a
  // layout guide stands for its controller's view), when they have one; deactivating
  // removes it from the view that holds it.
  void setActive(bool active);
  // The view that holds the constraint, if any.
  std::shared_ptr<View> holder() const { return holder_.lock(); }
  const std::optional<std::string>& identifier() const { return identifier_; }
  void setIdentifier(std::optional<std::string> identifier) { identifier_ = std::move(identifier); }

 private:
  friend class View;
  friend class LayoutSolver;

  LayoutConstraint() = default;
  // Marks the superviews of its items for layout, where it is solved.
  void invalidateLayout() const;

  std::weak_ptr<View> first_;
  std::weak_ptr<View> second_;
  Attribute firstAttribute_ = Attribute::NotAnAttribute;
  Attribute secondAttribute_ = Attribute::NotAnAttribute;
  Relation relation_ = Relation::Equal;
  double multiplier_ = 1;
  double constant_ = 0;
  float priority_ = kPriorityRequired;
  bool active_ = false;
  // A layout pass has logged that it leaves the constraint unsolved or at fault.
  bool reported_ = false;
  std::weak_ptr<View> holder_;
  std::optional<std::string> identifier_;
};

}  // namespace platform
