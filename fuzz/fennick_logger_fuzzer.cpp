// Event dictionaries of any shape through a Fennick logger: deep nesting, non-finite
// numbers and text that is not UTF-8, built from the input's bytes. Nothing crashes; a
// command is made only of an event that can be written as JSON, and an event that
// cannot is dropped with a log line; the logger's buffer (no script here) never holds
// more than its configured size.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include <nlohmann/json.hpp>

#include "fuzz/FuzzEnvironment.h"
#include "platform/base/SystemLog.h"
#include "platform/base/UserDefaults.h"
#include "sdk/foundation/ZUMJSONAdditions.h"
#include "sdk/telemetry/ZUMBufferedFennickLogger.h"
#include "sdk/telemetry/ZUMFennickCommand.h"
#include "sdk/telemetry/ZUMFennickConfig.h"
#include "sdk/telemetry/ZUMFennickLogger.h"

using json = nlohmann::ordered_json;

namespace {

constexpr std::int64_t kBufferSize = 8;
constexpr int kMaxDepth = 300;

class Reader {
 public:
  Reader(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
  bool empty() const { return at_ >= size_; }
  std::uint8_t byte() { return empty() ? 0 : data_[at_++]; }
  std::string text(std::size_t length) {
    length = std::min(length, size_ - std::min(at_, size_));
    std::string result(reinterpret_cast<const char*>(data_ + at_), length);
    at_ += length;
    return result;
  }
  template <class T>
  T raw() {
    const std::string bytes = text(sizeof(T));
    T value{};
    std::memcpy(&value, bytes.data(), bytes.size());
    return value;
  }

 private:
  const std::uint8_t* data_;
  std::size_t size_;
  std::size_t at_ = 0;
};

json value(Reader& in, int depth) {
  if (in.empty() || depth > kMaxDepth) return json(depth);
  switch (in.byte() % 8) {
    case 0: {
      json object = json::object();
      for (int n = in.byte() % 4; n > 0 && !in.empty(); --n) object[in.text(in.byte() % 8)] = value(in, depth + 1);
      return object;
    }
    case 1: {
      json array = json::array();
      for (int n = in.byte() % 4; n > 0 && !in.empty(); --n) array.push_back(value(in, depth + 1));
      return array;
    }
    case 2:
      return json(in.text(in.byte() % 16));
    case 3:
      return json(in.raw<double>());
    case 4:
      return json(in.raw<std::int64_t>());
    case 5:
      return json(in.byte() % 2 == 1);
    case 6:
      return json();
    default: {
      // A long chain, made without recursion.
      json chain = value(in, depth + 1);
      for (int n = in.byte() * 2; n > 0; --n) chain = json::array({std::move(chain)});
      return chain;
    }
  }
}

std::shared_ptr<ZUMFennickLogger> sharedLogger() {
  static const auto logger = [] {
    (void)platform::UserDefaults::standard().setObject(
        json(json{{"enabled", true}, {"max_buffer_size", kBufferSize}}.dump()), kZUMFennickConfigKey);
    return ZUMFennickLogger::create();
  }();
  return logger;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzzenv::setUpOnce("fennick-logger-fuzzer");
  auto logger = sharedLogger();
  fuzzenv::check(logger != nullptr);
  Reader in(data, size);
  json event = json::object();
  event[in.text(in.byte() % 8)] = value(in, 0);

  platform::SystemLog::Capture capture(true);
  auto command = ZUMFennickCommand("fuzz:1", event);
  fuzzenv::drainMainLoop();
  if (command) {
    fuzzenv::check(zum_isValidJSONObject(*command));
    fuzzenv::check(!command->dump().empty());
  } else {
    fuzzenv::check(capture.contains("cannot be written as JSON"));
  }
  logger->reportEvent(event);
  fuzzenv::drainMainLoop();
  if (auto buffer = logger->bufferedLogger()) {
    fuzzenv::check(buffer->bufferedCommandCount() <= static_cast<std::size_t>(kBufferSize));
  }
  return 0;
}
