// Feeds arbitrary bytes to the defaults reader as the file, reads every key with every
// typed getter, then saves and reads the result back: what was readable once must read
// back the same.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdlib.h>
#include <string>
#include <unistd.h>

#include <nlohmann/json.hpp>

#include "platform/base/UserDefaults.h"

namespace {

const std::filesystem::path& scratchFile() {
  static const std::filesystem::path file = [] {
    std::string pattern = (std::filesystem::temp_directory_path() / "user-defaults-fuzz-XXXXXX").string();
    if (!mkdtemp(pattern.data())) std::abort();
    return std::filesystem::path(pattern) / "defaults.json";
  }();
  return file;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const auto& file = scratchFile();
  {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  }
  auto defaults = platform::UserDefaults::create(file);
  const nlohmann::ordered_json all = defaults->dictionaryRepresentation();
  for (const auto& [key, value] : all.items()) {
    (void)defaults->objectForKey(key);
    (void)defaults->stringForKey(key);
    (void)defaults->boolForKey(key);
    (void)defaults->integerForKey(key);
    (void)defaults->floatForKey(key);
    (void)defaults->doubleForKey(key);
    (void)defaults->arrayForKey(key);
    (void)defaults->dictionaryForKey(key);
    (void)defaults->dataForKey(key);
    (void)defaults->dateForKey(key);
    if (!platform::isPropertyList(value)) std::abort();
  }

  // Save what was read and read it again. (The reader takes UTF-8 only, so every
  // string read here is written back unchanged.)
  const char* const marker = "\x01fuzz";
  defaults->setBool(true, marker);
  nlohmann::ordered_json before = all;
  nlohmann::ordered_json after = platform::UserDefaults::create(file)->dictionaryRepresentation();
  if (!after.contains(marker)) std::abort();
  before.erase(marker);
  after.erase(marker);
  if (before.dump() != after.dump()) std::abort();
  return 0;
}
