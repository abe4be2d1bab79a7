// A layout constraint as a recorded value: first item's attribute relates to a second
// item's attribute times a multiplier plus a constant, with a priority and an active
// flag. Nothing solves constraints; views keep their frames. Constraints from the
// visual format language are parsed into the same values.
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

class LayoutConstraint {
 public:
  enum class Attribute {
    NotAnAttribute = 0, Left, Right, Top, Bottom, Leading, Trailing, Width, Height, CenterX, CenterY,
    LastBaseline,
  };
  enum class Relation { LessThanOrEqual = -1, Equal = 0, GreaterThanOrEqual = 1 };

  static constexpr float kPriorityRequired = 1000;
  // Visual-format option: align every view of the format on `attribute`.
  static constexpr std::uint32_t alignAll(Attribute attribute) {
    return 1u << static_cast<std::uint32_t>(attribute);
  }

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
      const std::string& format, std::uint32_t options,
      const std::map<std::string, std::shared_ptr<View>>& views);

  std::shared_ptr<View> firstItem() const { return first_.lock(); }
  Attribute firstAttribute() const { return firstAttribute_; }
  Relation relation() const { return relation_; }
  std::shared_ptr<View> secondItem() const { return second_.lock(); }
  Attribute secondAttribute() const { return secondAttribute_; }
  double multiplier() const { return multiplier_; }
  double constant() const { return constant_; }
  void setConstant(double constant);
  float priority() const { return priority_; }
  void setPriority(float priority);
  bool isActive() const { return active_; }
  void setActive(bool active) { active_ = active; }
  const std::optional<std::string>& identifier() const { return identifier_; }
  void setIdentifier(std::optional<std::string> identifier) { identifier_ = std::move(identifier); }

 private:
  LayoutConstraint() = default;

  std::weak_ptr<View> first_;
  std::weak_ptr<View> second_;
  Attribute firstAttribute_ = Attribute::NotAnAttribute;
  Attribute secondAttribute_ = Attribute::NotAnAttribute;
  Relation relation_ = Relation::Equal;
  double multiplier_ = 1;
  double constant_ = 0;
  float priority_ = kPriorityRequired;
  bool active_ = false;
  std::optional<std::string> identifier_;
};

}  // namespace platform
