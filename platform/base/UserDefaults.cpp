#include "platform/base/UserDefaults.h"

#include <atomic>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <optional>
#include <system_error>
#include <unistd.h>
#include <utility>
#include <vector>

#include <nlohmann/json.hpp>

#include "platform/base/JSONObjectIndex.h"

namespace platform {
namespace {

using Json = nlohmann::ordered_json;

// A larger file is not a defaults file of ours; it is not read at all.
constexpr std::uintmax_t kMaxFileSize = 64 * 1024 * 1024;
// JSON nesting kept while reading: a property list's depth, plus the tag objects.
constexpr std::size_t kMaxJSONDepth = 2 * kMaxPropertyListDepth + 2;

// Builds the top-level object of a defaults file as the parser reads it, so that the
// entries read before a fault in the text survive it. Containers nested deeper than
// kMaxJSONDepth are skipped; non-finite numbers are dropped.
class TolerantReader final : public nlohmann::json_sax<Json> {
 public:
  // The complete top-level entries read (empty when the text is not an object).
  Json take() {
    if (!topEntryComplete_ && root_.is_object()) root_.erase(topKey_);
    return root_.is_object() ? std::move(root_) : Json::object();
  }

  bool null() override { return place(Json()); }
  bool boolean(bool value) override { return place(Json(value)); }
  bool number_integer(number_integer_t value) override { return place(Json(value)); }
  bool number_unsigned(number_unsigned_t value) override { return place(Json(value)); }
  bool number_float(number_float_t value, const string_t&) override {
    return place(std::isfinite(value) ? Json(value) : Json());
  }
  bool string(string_t& value) override { return place(Json(std::move(value))); }
  bool binary(binary_t&) override { return place(Json()); }

  bool start_object(std::size_t) override { return open(Json::object()); }
  bool start_array(std::size_t) override { return open(Json::array()); }
  bool end_object() override { return close(); }
  bool end_array() override { return close(); }

  bool key(string_t& key) override {
    if (skipping_ > 0) return true;
    keySlot_ = &(*stack_.back().keys)[key];
    if (stack_.size() == 1) {
      topKey_ = key;
      topEntryComplete_ = false;
    }
    return true;
  }

  bool parse_error(std::size_t, const std::string&, const nlohmann::detail::exception&) override { return false; }

 private:
  // Puts a value where the parser stands; returns where it went (nullptr when skipped).
  Json* put(Json&& value) {
    if (skipping_ > 0) return nullptr;
    if (stack_.empty()) {
      root_ = std::move(value);
      return &root_;
    }
    Json& parent = *stack_.back().value;
    Json* slot = nullptr;
    if (parent.is_array()) {
      if (value.is_null()) return nullptr;
      parent.push_back(std::move(value));
      slot = &parent.back();
    } else {
      *keySlot_ = std::move(value);
      slot = keySlot_;
    }
    if (stack_.size() == 1) topEntryComplete_ = true;
    return slot;
  }
  bool place(Json&& value) {
    put(std::move(value));
    return true;
  }
  bool open(Json&& container) {
    if (skipping_ > 0 || stack_.size() >= kMaxJSONDepth) {
      ++skipping_;
      return true;
    }
    Json* slot = put(std::move(container));
    if (stack_.size() == 1) topEntryComplete_ = false;  // not until it closes
    std::optional<JSONObjectIndex> keys;
    if (slot->is_object()) keys.emplace(slot->get_ref<Json::object_t&>());
    stack_.push_back({slot, std::move(keys)});
    return true;
  }
  bool close() {
    if (skipping_ > 0) {
      --skipping_;
      return true;
    }
    stack_.pop_back();
    if (stack_.size() == 1) topEntryComplete_ = true;
    return true;
  }

  struct Open {
    Json* value;
    std::optional<JSONObjectIndex> keys;  // an object's, so that many keys cost no more than few
  };

  Json root_;
  std::vector<Open> stack_;
  Json* keySlot_ = nullptr;
  std::size_t skipping_ = 0;
  std::string topKey_;
  bool topEntryComplete_ = true;
};

std::filesystem::path defaultStandardFile() {
  if (const char* file = std::getenv("MORVANE_DEFAULTS_FILE"); file && *file) return file;
  if (const char* home = std::getenv("HOME"); home && *home) {
    return std::filesystem::path(home) / ".morvane" / "defaults.json";
  }
  return {};
}

bool writeAtomically(const std::filesystem::path& file, const std::string& text) {
  static std::atomic<unsigned> counter{0};
  std::error_code error;
  if (file.has_parent_path()) std::filesystem::create_directories(file.parent_path(), error);
  std::filesystem::path temporary = file;
  temporary += ".tmp-" + std::to_string(::getpid()) + "-" + std::to_string(counter++);
  {
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    out.write(text.data(), static_cast<std::streamsize>(text.size()));
    out.flush();
    if (!out) {
      std::filesystem::remove(temporary, error);
      return false;
    }
  }
  std::filesystem::rename(temporary, file, error);
  if (error) {
    std::filesystem::remove(temporary, error);
    return false;
  }
  return true;
}

}  // namespace

struct UserDefaults::Values {
  std::map<std::string, Json, std::less<>> entries;

  const Json* find(std::string_view key) const {
    const auto it = entries.find(key);
    return it == entries.end() ? nullptr : &it->second;
  }
};

UserDefaults& UserDefaults::standard() {
  // Never destroyed: callers on other threads may still use it at exit.
  static UserDefaults* const instance = new UserDefaults(defaultStandardFile());
  return *instance;
}

void UserDefaults::setStandardFile(std::filesystem::path file) { standard().reload(std::move(file)); }

std::shared_ptr<UserDefaults> UserDefaults::create(std::filesystem::path file) {
  return std::make_shared<UserDefaults>(std::move(file));
}

UserDefaults::UserDefaults(std::filesystem::path file) : values_(std::make_unique<Values>()) {
  reload(std::move(file));
}

UserDefaults::~UserDefaults() = default;

void UserDefaults::reload(std::filesystem::path file) {
  auto values = std::make_unique<Values>();
  std::error_code error;
  const auto status = std::filesystem::status(file, error);
  if (!file.empty() && std::filesystem::is_regular_file(status) &&
      std::filesystem::file_size(file, error) <= kMaxFileSize && !error) {
    std::ifstream in(file, std::ios::binary);
    const std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    TolerantReader reader;
    Json::sax_parse(text, &reader);
    Json document = reader.take();
    for (auto& [key, tagged] : document.items()) {
      if (auto value = fromTaggedJSON(tagged)) values->entries[key] = std::move(*value);
    }
  }
  std::scoped_lock lock(writeMutex_, mutex_);
  file_ = std::move(file);
  values_ = std::move(values);
}

void UserDefaults::save() {
  std::filesystem::path file;
  Json document = Json::object();
  {
    std::lock_guard lock(mutex_);
    if (file_.empty()) return;
    file = file_;
    for (const auto& [key, value] : values_->entries) {
      // Stored values are property lists, so each has a tagged form.
      if (auto tagged = toTaggedJSON(value)) document[key] = std::move(*tagged);
    }
  }
  // Strings that are not UTF-8 cannot be written as JSON; their bad bytes become U+FFFD.
  writeAtomically(file, document.dump(2, ' ', false, Json::error_handler_t::replace) + "\n");
}

std::filesystem::path UserDefaults::file() const {
  std::lock_guard lock(mutex_);
  return file_;
}

std::optional<Json> UserDefaults::objectForKey(std::string_view key) const {
  std::lock_guard lock(mutex_);
  if (const Json* value = values_->find(key)) return *value;
  return std::nullopt;
}

std::optional<std::string> UserDefaults::stringForKey(std::string_view key) const {
  std::lock_guard lock(mutex_);
  const Json* value = values_->find(key);
  if (!value) return std::nullopt;
  return stringValue(*value);
}

bool UserDefaults::boolForKey(std::string_view key) const {
  std::lock_guard lock(mutex_);
  const Json* value = values_->find(key);
  return value ? boolValue(*value).value_or(false) : false;
}

std::int64_t UserDefaults::integerForKey(std::string_view key) const {
  std::lock_guard lock(mutex_);
  const Json* value = values_->find(key);
  return value ? integerValue(*value).value_or(0) : 0;
}

float UserDefaults::floatForKey(std::string_view key) const {
  std::lock_guard lock(mutex_);
  const Json* value = values_->find(key);
  return value ? floatValue(*value).value_or(0.0f) : 0.0f;
}

double UserDefaults::doubleForKey(std::string_view key) const {
  std::lock_guard lock(mutex_);
  const Json* value = values_->find(key);
  return value ? doubleValue(*value).value_or(0.0) : 0.0;
}

std::optional<Json> UserDefaults::arrayForKey(std::string_view key) const {
  std::lock_guard lock(mutex_);
  const Json* value = values_->find(key);
  if (!value || !value->is_array()) return std::nullopt;
  return *value;
}

std::optional<Json> UserDefaults::dictionaryForKey(std::string_view key) const {
  std::lock_guard lock(mutex_);
  const Json* value = values_->find(key);
  if (!value || !value->is_object()) return std::nullopt;
  return *value;
}

std::optional<Data> UserDefaults::dataForKey(std::string_view key) const {
  std::lock_guard lock(mutex_);
  const Json* value = values_->find(key);
  return value ? dataValue(*value) : std::nullopt;
}

std::optional<TimeInterval> UserDefaults::dateForKey(std::string_view key) const {
  std::lock_guard lock(mutex_);
  const Json* value = values_->find(key);
  return value ? dateValue(*value) : std::nullopt;
}

Json UserDefaults::dictionaryRepresentation() const {
  std::lock_guard lock(mutex_);
  Json out = Json::object();
  for (const auto& [key, value] : values_->entries) out[key] = value;
  return out;
}

bool UserDefaults::setObject(const Json& value, std::string_view key) {
  if (value.is_null()) {
    removeObjectForKey(key);
    return true;
  }
  if (!isPropertyList(value)) return false;
  std::lock_guard writeLock(writeMutex_);
  {
    std::lock_guard lock(mutex_);
    const auto it = values_->entries.find(key);
    if (it != values_->entries.end()) {
      it->second = value;
    } else {
      values_->entries.emplace(std::string(key), value);
    }
  }
  save();
  return true;
}

// A boolean or an integer is always a property list, so these writes cannot be refused.
void UserDefaults::setBool(bool value, std::string_view key) { static_cast<void>(setObject(Json(value), key)); }

void UserDefaults::setInteger(std::int64_t value, std::string_view key) {
  static_cast<void>(setObject(Json(value), key));
}

bool UserDefaults::setFloat(float value, std::string_view key) {
  return setObject(Json(static_cast<double>(value)), key);
}

bool UserDefaults::setDouble(double value, std::string_view key) { return setObject(Json(value), key); }

void UserDefaults::removeObjectForKey(std::string_view key) {
  std::lock_guard writeLock(writeMutex_);
  {
    std::lock_guard lock(mutex_);
    const auto it = values_->entries.find(key);
    if (it == values_->entries.end()) return;
    values_->entries.erase(it);
  }
  save();
}

}  // namespace platform
