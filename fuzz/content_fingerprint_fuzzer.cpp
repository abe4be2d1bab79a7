// The content fingerprint on arbitrary text (a page's or a view's, any bytes, not always
// UTF-8) and on arbitrary range lists from the server's settings: never crashes, keeps
// at most K shingles of at most L tokens, and the fingerprint is base64 of 4 bytes each.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

#include "fuzz/FuzzEnvironment.h"
#include "sdk/telemetry/ZUMCharacterSets.h"
#include "sdk/telemetry/ZUMContent.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzzenv::setUpOnce("content_fingerprint");
  if (size < 1) return 0;
  const std::string_view input(reinterpret_cast<const char*>(data) + 1, size - 1);
  auto& defaults = platform::UserDefaults::standard();
  std::shared_ptr<ZUMCharacterSets> sets;
  if (data[0] & 1) {
    // A range list for the character-delimited set; the text is the rest after a newline.
    const std::size_t end = std::min(input.find('\n'), input.size());
    static_cast<void>(defaults.setObject(std::string(input.substr(0, end)), kZUMCharacterDelimitedUnicodeRangeKey));
    sets = ZUMCharacterSets::create();
    defaults.removeObjectForKey(kZUMCharacterDelimitedUnicodeRangeKey);
    fuzzenv::drainMainLoop();
    fuzzenv::check(sets->characterDelimitedSet() != nullptr);
  }
  auto content = ZUMContent::create(data[0] >> 1, sets);
  content->updateContentWithText(input);
  content->updateContentWithText(input.substr(input.size() / 2));
  const auto kept = content->keptShingles();
  fuzzenv::check(kept.size() <= content->maximumShingleCount());
  for (const auto& tuple : kept) {
    fuzzenv::check(!tuple.shingle().empty() && tuple.shingle().size() <= content->shingleLength());
    fuzzenv::check(tuple.hashValue() < ZUMContent::kModulus);
  }
  fuzzenv::check(content->fingerprint().size() == (kept.size() * 4 + 2) / 3 * 4);
  return 0;
}
