#include "platform/ui/Bundle.h"

#include <fstream>
#include <sstream>

#include <nlohmann/json.hpp>

#include "platform/base/TestingReset.h"

namespace platform {

namespace {

nlohmann::ordered_json defaultInfoDictionary() {
  return nlohmann::ordered_json{
      {"CFBundleIdentifier", "com.morvane.host"},
      {"CFBundleName", "Host"},
      {"CFBundleShortVersionString", "1.0"},
      {"CFBundleVersion", "1"},
      {"UISupportedInterfaceOrientations",
       {"UIInterfaceOrientationPortrait", "UIInterfaceOrientationLandscapeLeft",
        "UIInterfaceOrientationLandscapeRight"}},
  };
}

}  // namespace

Bundle::Bundle() : info_(std::make_unique<nlohmann::ordered_json>(defaultInfoDictionary())) {}
Bundle::~Bundle() = default;

Bundle& Bundle::main() {
  static Bundle* bundle = [] {
    auto* made = new Bundle();
    // A test starts from the state the process starts with.
    registerTestingReset(made, [made] {
      made->~Bundle();
      new (made) Bundle();
    });
    return made;
  }();
  return *bundle;
}

nlohmann::ordered_json Bundle::infoDictionary() const {
  std::lock_guard lock(mutex_);
  return *info_;
}

nlohmann::ordered_json Bundle::objectForInfoDictionaryKey(std::string_view key) const {
  std::lock_guard lock(mutex_);
  auto it = info_->find(std::string(key));
  return it == info_->end() ? nlohmann::ordered_json() : *it;
}

std::optional<std::string> Bundle::stringForInfoDictionaryKey(std::string_view key) const {
  const auto value = objectForInfoDictionaryKey(key);
  if (!value.is_string()) return std::nullopt;
  return value.get<std::string>();
}

std::optional<bool> Bundle::boolForInfoDictionaryKey(std::string_view key) const {
  const auto value = objectForInfoDictionaryKey(key);
  if (!value.is_boolean()) return std::nullopt;
  return value.get<bool>();
}

std::vector<std::string> Bundle::stringArrayForInfoDictionaryKey(std::string_view key) const {
  const auto value = objectForInfoDictionaryKey(key);
  std::vector<std::string> strings;
  if (!value.is_array()) return strings;
  for (const auto& element : value) {
    if (element.is_string()) strings.push_back(element.get<std::string>());
  }
  return strings;
}

std::string Bundle::bundleIdentifier() const { return stringForInfoDictionaryKey("CFBundleIdentifier").value_or(""); }

bool Bundle::setInfoDictionary(const nlohmann::ordered_json& dictionary) {
  if (!dictionary.is_object()) return false;
  std::lock_guard lock(mutex_);
  *info_ = dictionary;
  return true;
}

void Bundle::setObjectForInfoDictionaryKey(std::string_view key, const nlohmann::ordered_json& value) {
  std::lock_guard lock(mutex_);
  (*info_)[std::string(key)] = value;
}

bool Bundle::loadInfoDictionary(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::stringstream text;
  text << in.rdbuf();
  auto parsed = nlohmann::ordered_json::parse(text.str(), nullptr, /*allow_exceptions=*/false);
  if (parsed.is_discarded()) return false;
  return setInfoDictionary(parsed);
}

}  // namespace platform
