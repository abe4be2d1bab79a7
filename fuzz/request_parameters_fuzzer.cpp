// Ad requests rebuilt from parameter dictionaries of any shape: the input, read as JSON
// (or, when it is not, a dictionary made from its text), becomes the parameters a
// request is rebuilt from. Nothing crashes, and a request rebuilt from the parameters of
// a rebuilt request gives the same parameters again.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

#include "PXRRequest.h"
#include "ZUMRequest.h"
#include "ZUMSearchRequest.h"
#include "fuzz/FuzzEnvironment.h"
#include "platform/base/Clock.h"
#include "platform/base/Executor.h"
#include "platform/base/FileManager.h"
#include "platform/base/RunLoop.h"
#include "platform/base/UserDefaults.h"

using json = nlohmann::ordered_json;

namespace {}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzzenv::setUpOnce("request-fuzzer");
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  json input = json::parse(text, nullptr, false);
  if (input.is_discarded()) input = json{{"cust_age", std::string(text)}, {"ppid", std::string(text)}};

  // Through both entry points, so the class named in the input and the receiver differ.
  for (int entry = 0; entry < 3; ++entry) {
    auto request = entry == 0   ? ZUMRequest::createWithParameters(input)
                   : entry == 1 ? PXRRequest::createWithParameters(input)
                                : ZUMSearchRequest::createWithParameters(input);
    fuzzenv::check(request != nullptr);
    const json first = request->threadSafeParameters();
    auto rebuilt = ZUMRequest::createWithParameters(first);
    fuzzenv::check(rebuilt->className() == request->className());
    const json second = rebuilt->threadSafeParameters();
    fuzzenv::check(second == ZUMRequest::createWithParameters(second)->threadSafeParameters());
    fuzzenv::check(first == second);
    // Copies give the same parameters, and every other entry point takes any input.
    fuzzenv::check(request->copy()->threadSafeParameters() == first);
    (void)request->description();
    (void)request->cacheable();
    (void)request->networkExtrasAdditionalParameters();
  }
  fuzzenv::drainMainLoop();
  return 0;
}
