// Writes large seed inputs for the fuzz targets that read long pages, responses and
// messages: libFuzzer grows an input a few bytes at a time, so a bounded run never reaches
// the sizes at which a per-key, per-entry or per-asset cost shows. Each seed has the shape
// its target reads (see the comment at the top of each target) and is under the 1 MiB
// inputs those targets are given.
//
//   large_seeds <corpus folder> <output folder>
//
// writes <output folder>/<target>/<seed>. The message targets' own corpus files are also
// written again with their last line padded by many parameters, so every message name of
// theirs is tried at length.

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>

namespace {

namespace fs = std::filesystem;

// The size the padded inputs aim at: near the largest page message the SDK reads (256 KiB).
constexpr std::size_t kMessageBytes = 250 * 1024;
// The size the long inputs aim at: near the targets' 1 MiB limit.
constexpr std::size_t kLongBytes = 900 * 1024;

void write(const fs::path& folder, const std::string& name, const std::string& text) {
  fs::create_directories(folder);
  std::ofstream(folder / name, std::ios::binary) << text;
}

// `count` items made by `item(i)`, joined by `separator`, stopping early before `limit` bytes.
template <typename Item>
std::string list(std::size_t count, std::size_t limit, Item item, char separator = ',') {
  std::string text;
  for (std::size_t i = 0; i < count; ++i) {
    std::string next = item(i);
    if (text.size() + next.size() + 1 > limit) break;
    if (i > 0) text += separator;
    text += next;
  }
  return text;
}

std::string keys(std::size_t limit) {
  return list(1'000'000, limit, [](std::size_t i) { return "\"k" + std::to_string(i) + "\":" + std::to_string(i); });
}

std::string pairs(std::size_t limit) {
  return list(
      1'000'000, limit, [](std::size_t i) { return "p" + std::to_string(i) + "=" + std::to_string(i); }, '&');
}

std::string nested(std::size_t depth) { return std::string(depth, '[') + std::string(depth, ']'); }

void mediation(const fs::path& out) {
  const std::string sizes = "320x50 320x50\n";
  write(out, "many_networks", sizes + "{\"ad_networks\":[" + list(100'000, kLongBytes, [](std::size_t i) {
                                return "{\"id\":\"n" + std::to_string(i) +
                                       "\",\"adapters\":[\"FuzzAdapter\"],\"data\":{\"pubid\":\"p\"}}";
                              }) + "]}");
  write(
      out, "many_setting_keys",
      sizes + "{\"ad_networks\":[{\"id\":\"a\",\"adapters\":[\"FuzzAdapter\"],\"data\":{" + keys(kLongBytes) + "}}]}");
  write(out, "deep",
        sizes + "{\"ad_networks\":[{\"id\":\"a\",\"adapters\":[\"FuzzAdapter\"],\"ad\":{\"k\":" + nested(250) + "}}]}");
}

void nativeLoader(const fs::path& out) {
  write(out, "many_ads", "\x08{\"ads\":[" + list(100'000, kLongBytes, [](std::size_t i) {
                           return "{\"type\":\"native\",\"template_id\":3,\"custom_template_id\":" + std::to_string(i) +
                                  ",\"custom_assets\":[{\"name\":\"a\",\"type\":\"string\",\"string_value\":\"x\"}]}";
                         }) + "]}");
  write(out, "many_assets",
        "\x01{\"ads\":[{\"type\":\"native\",\"template_id\":3,\"custom_template_id\":7,\"custom_assets\":[" +
            list(100'000, kLongBytes,
                 [](std::size_t i) {
                   const auto n = std::to_string(i);
                   return "{\"name\":\"a" + n +
                          "\",\"type\":\"image\",\"image_value\":{\"url\":\"https://img.example/" + n + ".png\"}}";
                 }) +
            "]}]}");
  write(out, "many_kind_assets",
        "\x01{\"ads\":[{\"type\":\"1\",\"assets\":[" +
            list(200'000, kLongBytes, [](std::size_t i) { return "\"a" + std::to_string(i) + "\""; }) + "]}]}");
  write(out, "many_keys", "\x01{\"ads\":[{\"type\":\"native\"," + keys(kLongBytes) + "}]}");
}

void nativeKinds(const fs::path& out) {
  const std::string appInstall =
      "{\"headline\":\"h\",\"call_to_action\":\"c\",\"app_icon\":{\"url\":\"https://img.example/i.png\"},";
  write(out, "many_keys", "\x01" + appInstall + keys(kLongBytes) + "}");
  write(out, "many_images",
        "\x04{\"headline\":\"h\",\"body\":\"b\",\"images\":[" + list(100'000, kLongBytes, [](std::size_t i) {
          return "{\"url\":\"https://img.example/" + std::to_string(i) + ".png\"}";
        }) + "]}");
}

void tolm(const fs::path& out) {
  write(out / "tolm_chain", "long_frame", "frame\nx=1&y=2&w=3&h=4&" + pairs(kMessageBytes));
  write(out / "tolm_chain", "too_long", "held\n" + pairs(kLongBytes));
  write(out / "tolm_notification", "long", "tolm://x/name?" + pairs(kMessageBytes));
  write(out / "tolm_notification", "too_long", "tolm://x/name?" + pairs(kLongBytes));
}

// Each corpus input of a message target again, its last line followed by many parameters
// (or, where the line carries a JSON object, many keys).
void paddedMessages(const fs::path& corpus, const fs::path& out, const std::string& target) {
  if (!fs::is_directory(corpus / target)) return;
  for (const auto& entry : fs::directory_iterator(corpus / target)) {
    std::ifstream file(entry.path(), std::ios::binary);
    std::string text((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    while (!text.empty() && text.back() == '\n') text.pop_back();
    if (text.size() > 1 && text.back() == '}') {
      text.pop_back();
      text += (text.back() == '{' ? "" : ",") + keys(kMessageBytes) + "}";
    } else {
      text += (text.empty() || text.back() == '\n' ? "" : "&") + pairs(kMessageBytes);
    }
    write(out / target, "padded_" + entry.path().filename().string(), text);
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: %s <corpus folder> <output folder>\n", argv[0]);
    return 2;
  }
  const fs::path corpus = argv[1], out = argv[2];
  mediation(out / "mediation_config");
  nativeLoader(out / "native_ad_loader");
  nativeKinds(out / "native_kinds");
  tolm(out);
  for (const char* target : {"mraid_messages", "opener_messages", "overlay_messages", "sdk_core_messages",
                             "small_messages", "video_messages", "tolm_chain"}) {
    paddedMessages(corpus, out, target);
  }
  return 0;
}
