// Rewards made from hostile input: the input read as a server's reward dictionary, and
// the same bytes as the query of a page's "reward" grant. Never crashes, and every
// reward that comes out is valid: a dictionary's only when "rb_type" is a string and
// "rb_amount" a number, with that type and exactly that amount; a grant's only with the
// page's "type" and the exact decimal its "amount" spells. A string type with an integer
// amount is never refused.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

#include "ZUMAdReward.h"
#include "fuzz/FuzzEnvironment.h"
#include "sdk/formats/ZUMFormats.h"
#include "sdk/foundation/ZUMValues.h"
#include "sdk/rendering/ZUMAdView.h"
#include "sdk/rendering/ZUMNotification.h"
#include "sdk/rendering/ZUMRewardBasedVideoAdTOLMHandler.h"
#include "sdk/rendering/ZUMRewardBasedVideoAdTOLMHandlerDelegate.h"

namespace {

using Json = nlohmann::ordered_json;

void checkDictionaryReward(const Json& dictionary) {
  const auto reward = ZUMAdReward::createWithRewardDictionary(dictionary);
  const Json* type = dictionary.is_object() && dictionary.contains("rb_type") ? &dictionary["rb_type"] : nullptr;
  const Json* amount = dictionary.is_object() && dictionary.contains("rb_amount") ? &dictionary["rb_amount"] : nullptr;
  const bool typed = type && type->is_string();
  if (typed && amount && (amount->is_number_integer() || amount->is_number_unsigned()))
    fuzzenv::check(reward != nullptr);
  if (!reward) return;
  fuzzenv::check(typed && amount && amount->is_number() && reward->type() == type->get<std::string>());
  if (amount->is_number_unsigned()) {
    fuzzenv::check(reward->amount() == platform::Decimal(amount->get<std::uint64_t>()));
  } else if (amount->is_number_integer()) {
    fuzzenv::check(reward->amount() == platform::Decimal(amount->get<std::int64_t>()));
  } else {
    fuzzenv::check(reward->amount().doubleValue() == amount->get<double>());
  }
}

// Checks each grant the page's message hands on against the message's own parameters.
struct GrantChecker : ZUMRewardBasedVideoAdTOLMHandlerDelegate {
  void rewardBasedVideoAdTOLMHandlerDidReceiveRewardNotificationWithRewardItem(
      const std::shared_ptr<ZUMAdReward>& reward) override {
    ++grants;
    if (!reward) return;
    const auto type = ZUMStringForKey(*parameters, "type");
    const auto amount = ZUMStringForKey(*parameters, "amount");
    fuzzenv::check(type && amount && reward->type() == *type);
    fuzzenv::check(reward->amount() == platform::Decimal::fromString(*amount));
  }
  void rewardBasedVideoAdTOLMHandlerDidReceiveStartVideoNotification() override {}
  const Json* parameters = nullptr;
  int grants = 0;
};

struct Page {
  std::shared_ptr<ZUMAdView> adView = ZUMAdView::create({0, 0, 320, 480});
  std::shared_ptr<GrantChecker> checker = std::make_shared<GrantChecker>();
  std::shared_ptr<ZUMRewardBasedVideoAdTOLMHandler> handler = ZUMRewardBasedVideoAdTOLMHandler::create();
  Page() {
    ZUMRegisterFormats();
    adView->setRewardBasedVideoAdTOLMHandlerDelegate(checker);
  }
};

void checkGrant(Page& page, const std::string& query) {
  auto url = platform::URL::fromString("tolm://page/reward?action=grant&" + query);
  auto notification = url ? ZUMNotification::createWithNotificationURL(*url) : nullptr;
  if (!notification) return;
  page.checker->parameters = &notification->parameters();
  const int before = page.checker->grants;
  page.handler->handleNotification(notification, page.adView);
  fuzzenv::drainMainLoop();
  // A grant is heard once, rewarded or not (a later "action" in the query may replace it).
  fuzzenv::check(page.checker->grants - before <= 1);
  page.checker->parameters = nullptr;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzzenv::setUpOnce("reward_fuzzer");
  static Page* page = new Page();
  const std::string text(reinterpret_cast<const char*>(data), size);
  const Json dictionary = Json::parse(text, nullptr, false);
  if (!dictionary.is_discarded()) checkDictionaryReward(dictionary);
  checkGrant(*page, text);
  fuzzenv::drainMainLoop();
  return 0;
}
