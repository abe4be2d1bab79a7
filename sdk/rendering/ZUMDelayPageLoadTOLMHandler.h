// The page's "delayPageLoaded" message, which holds the ad's load back while the page
// finishes: "start" counts one more hold, "stop" one fewer (never below 0), "cancel"
// gives up: the delegate hears of the cancel, is let go for good and the count returns
// to 0. The presence of the key counts, not its value; "start" wins over the others,
// then "stop". Every change of the count reaches the delegate (old, new), so each hold
// the page ends is seen to end. Runs on a later turn of the main queue.
//
// The delegate is held weakly. Main thread only.
#pragma once

#include <cstdint>
#include <memory>

#include "sdk/rendering/ZUMDelayLoadDelegate.h"
#include "sdk/rendering/ZUMTOLMHandler.h"

class ZUMDelayPageLoadTOLMHandler final : public ZUMTOLMHandler,
                                          public std::enable_shared_from_this<ZUMDelayPageLoadTOLMHandler> {
 public:
  static std::shared_ptr<ZUMDelayPageLoadTOLMHandler> create(
      const std::shared_ptr<ZUMDelayLoadDelegate>& delegate = nullptr);
  std::shared_ptr<ZUMDelayLoadDelegate> delegate() const { return delegate_.lock(); }
  std::int64_t delayCount() const { return delayCount_; }
  const ActionTable* actionBlockDictionary() const override;

 private:
  explicit ZUMDelayPageLoadTOLMHandler(const std::shared_ptr<ZUMDelayLoadDelegate>& delegate) : delegate_(delegate) {}
  void delayPageLoaded(ZUMAdView& adView, const nlohmann::ordered_json& parameters);
  void apply(const nlohmann::ordered_json& parameters);
  void changeCount(std::int64_t to);

  std::weak_ptr<ZUMDelayLoadDelegate> delegate_;
  std::int64_t delayCount_ = 0;
};
