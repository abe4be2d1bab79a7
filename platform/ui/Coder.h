// A keyed archive that views and view controllers are made from, as interface files make
// them: a JSON object naming the class under "class", with the object's values under
// keys of their own. A view's archive holds its "frame" ({"x", "y", "width", "height"})
// and may hold "hidden", "alpha" and "tag"; a view controller's holds its view's archive
// under "view".
//
//   {"class": "ViewController", "view": {"class": "View", "frame": {"x": 0, "y": 0,
//                                                                   "width": 320, "height": 50}}}
//
// A class is made from an archive only when it registered a coder initializer under its
// name (its create(const Coder&)), in the shared class registry. An unknown class, a
// class registered without one, or an initializer that refuses the archive gives
// nullptr and a line in the system log.
//
// Main thread only (what it makes is).
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "platform/ui/Geometry.h"

namespace platform {

class View;
class ViewController;

class Coder {
 public:
  using MakeView = std::function<std::shared_ptr<View>(const Coder&)>;
  using MakeViewController = std::function<std::shared_ptr<ViewController>(const Coder&)>;

  // Registers (or replaces) the coder initializer of the class `name`.
  static void registerViewClass(std::string name, MakeView make);
  static void registerViewControllerClass(std::string name, MakeViewController make);

  // nullptr, logged, unless `archive` is a JSON object with a non-empty string "class".
  static std::shared_ptr<Coder> create(std::string_view archive);
  ~Coder();
  Coder(const Coder&) = delete;
  Coder& operator=(const Coder&) = delete;

  const std::string& className() const { return className_; }
  bool containsValueForKey(std::string_view key) const;
  // Each decoder gives nullopt when the key is absent or holds another type; numbers
  // must be finite.
  std::optional<double> decodeDoubleForKey(std::string_view key) const;
  std::optional<bool> decodeBoolForKey(std::string_view key) const;
  std::optional<std::string> decodeStringForKey(std::string_view key) const;
  // A rectangle of four finite numbers, with a width and height that are not negative.
  std::optional<Rect> decodeRectForKey(std::string_view key) const;
  // The archive of an object held under `key`; nullptr as create() would give it.
  std::shared_ptr<Coder> decodeArchiveForKey(std::string_view key) const;

  // The object of the archive's class, through its coder initializer; nullptr, logged,
  // when the class is unknown, has no coder initializer of that kind, or refuses.
  std::shared_ptr<View> decodeView() const;
  std::shared_ptr<ViewController> decodeViewController() const;

 private:
  struct Values;
  static std::shared_ptr<Coder> make(std::unique_ptr<Values> values);
  Coder(std::string className, std::unique_ptr<Values> values);

  std::string className_;
  std::unique_ptr<Values> values_;
};

}  // namespace platform
