// Keeps the results of one ad loader load in the order of the response: results arrive
// in any order under their index and are handed to the loader strictly by index, each on
// its own turn of the main queue. Only the last index is final, unless fewer ads came
// back than were asked for: then a no-fill error (code 1) follows as the final result.
//
// Holds the loader weakly (a loader gone drops what is left). Thread-safe.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>

#include "platform/base/Error.h"
#include "sdk/request/ZUMAdLoaderConfiguration.h"

class ZUMAdLoader;
class ZUMLoadable;

// One result: an error, or an ad with its class.
struct ZUMAdLoadResult {
  platform::ErrorPtr error = nullptr;
  std::shared_ptr<ZUMLoadable> ad = nullptr;
  std::optional<ZUMAdClass> adClass = std::nullopt;
};

class ZUMAdLoadResults final : public std::enable_shared_from_this<ZUMAdLoadResults> {
 public:
  // nullptr for a requested count below 1.
  static std::shared_ptr<ZUMAdLoadResults> create(const std::shared_ptr<ZUMAdLoader>& loader,
                                                  std::int64_t requestedAdCount);

  std::int64_t requestedAdCount() const { return requestedAdCount_; }
  // The number of entries the response holds; below 1, the no-fill error is final at once.
  void setReturnedAdCount(std::int64_t count);
  // Stores the result of `index` (a result with neither error nor ad, an index outside
  // the returned count, or one already answered, is dropped) and hands over what is due.
  void insertAdLoadResult(ZUMAdLoadResult result, std::int64_t index);

 private:
  ZUMAdLoadResults(const std::shared_ptr<ZUMAdLoader>& loader, std::int64_t requestedAdCount);
  void handleLoadResult(ZUMAdLoadResult result, bool isFinalResult);

  const std::int64_t requestedAdCount_;
  const std::weak_ptr<ZUMAdLoader> adLoader_;
  std::mutex mutex_;
  std::int64_t returnedAdCount_ = 0;  // guarded by mutex_, as the two below
  std::int64_t nextIndex_ = 0;
  std::map<std::int64_t, ZUMAdLoadResult> adLoadResults_;
};
