#include "platform/ui/Coder.h"

#include <cmath>
#include <utility>

#include <nlohmann/json.hpp>

#include "platform/base/ClassRegistry.h"
#include "platform/base/SystemLog.h"
#include "platform/ui/View.h"
#include "platform/ui/ViewController.h"

namespace platform {

namespace {

constexpr std::string_view kLogSubsystem = "ui";
constexpr const char* kClassKey = "class";

// What the class registry holds under an archivable class's name, one per kind of object.
struct ArchivedViewClass {
  Coder::MakeView make;
};
struct ArchivedViewControllerClass {
  Coder::MakeViewController make;
};

void refuse(const std::string& what) { SystemLog::write(kLogSubsystem, "Refused to unarchive " + what); }

template <class Object, class Entry>
std::shared_ptr<Object> decode(const Coder& coder, const char* kind) {
  auto& registry = ClassRegistry::shared();
  auto entry = registry.create<Entry>(coder.className());
  if (!entry) {
    refuse(coder.className() + (registry.isRegistered(coder.className())
                                    ? std::string(": the class has no coder initializer for a ") + kind + "."
                                    : ": no class has that name."));
    return nullptr;
  }
  auto object = entry->make(coder);
  if (!object) refuse(coder.className() + ": its coder initializer refused the archive.");
  return object;
}

}  // namespace

struct Coder::Values {
  nlohmann::ordered_json object;

  const nlohmann::ordered_json* find(std::string_view key) const {
    auto it = object.find(key);
    return it == object.end() ? nullptr : &*it;
  }
};

void Coder::registerViewClass(std::string name, MakeView make) {
  if (!make) return;
  ClassRegistry::shared().registerClass<ArchivedViewClass>(std::move(name), [make = std::move(make)] {
    return std::make_shared<ArchivedViewClass>(ArchivedViewClass{make});
  });
}

void Coder::registerViewControllerClass(std::string name, MakeViewController make) {
  if (!make) return;
  ClassRegistry::shared().registerClass<ArchivedViewControllerClass>(std::move(name), [make = std::move(make)] {
    return std::make_shared<ArchivedViewControllerClass>(ArchivedViewControllerClass{make});
  });
}

std::shared_ptr<Coder> Coder::create(std::string_view archive) {
  auto values = std::make_unique<Values>();
  values->object = nlohmann::ordered_json::parse(archive, nullptr, false);
  return make(std::move(values));
}

std::shared_ptr<Coder> Coder::make(std::unique_ptr<Values> values) {
  if (!values->object.is_object()) {
    refuse("a value that is not an archive object.");
    return nullptr;
  }
  const auto* name = values->find(kClassKey);
  if (!name || !name->is_string() || name->get_ref<const std::string&>().empty()) {
    refuse("an archive that names no class.");
    return nullptr;
  }
  std::string className = name->get<std::string>();
  return std::shared_ptr<Coder>(new Coder(std::move(className), std::move(values)));
}

Coder::Coder(std::string className, std::unique_ptr<Values> values)
    : className_(std::move(className)), values_(std::move(values)) {}

Coder::~Coder() = default;

bool Coder::containsValueForKey(std::string_view key) const { return values_->find(key) != nullptr; }

std::optional<double> Coder::decodeDoubleForKey(std::string_view key) const {
  const auto* value = values_->find(key);
  if (!value || !value->is_number()) return std::nullopt;
  const double number = value->get<double>();
  if (!std::isfinite(number)) return std::nullopt;
  return number;
}

std::optional<bool> Coder::decodeBoolForKey(std::string_view key) const {
  const auto* value = values_->find(key);
  if (!value || !value->is_boolean()) return std::nullopt;
  return value->get<bool>();
}

std::optional<std::string> Coder::decodeStringForKey(std::string_view key) const {
  const auto* value = values_->find(key);
  if (!value || !value->is_string()) return std::nullopt;
  return value->get<std::string>();
}

std::optional<Rect> Coder::decodeRectForKey(std::string_view key) const {
  const auto* value = values_->find(key);
  if (!value || !value->is_object()) return std::nullopt;
  double parts[4];
  const char* names[4] = {"x", "y", "width", "height"};
  for (int i = 0; i < 4; ++i) {
    auto it = value->find(names[i]);
    if (it == value->end() || !it->is_number()) return std::nullopt;
    parts[i] = it->get<double>();
    if (!std::isfinite(parts[i])) return std::nullopt;
  }
  if (parts[2] < 0 || parts[3] < 0) return std::nullopt;
  return Rect(parts[0], parts[1], parts[2], parts[3]);
}

std::shared_ptr<Coder> Coder::decodeArchiveForKey(std::string_view key) const {
  const auto* value = values_->find(key);
  if (!value) return nullptr;
  auto values = std::make_unique<Values>();
  values->object = *value;
  return make(std::move(values));
}

std::shared_ptr<View> Coder::decodeView() const { return decode<View, ArchivedViewClass>(*this, "view"); }

std::shared_ptr<ViewController> Coder::decodeViewController() const {
  return decode<ViewController, ArchivedViewControllerClass>(*this, "view controller");
}

}  // namespace platform
