#include "sdk/rendering/ZUMDelayPageLoadTOLMHandler.h"

#include <nlohmann/json.hpp>

#include "platform/base/DispatchQueue.h"

std::shared_ptr<ZUMDelayPageLoadTOLMHandler> ZUMDelayPageLoadTOLMHandler::create(
    const std::shared_ptr<ZUMDelayLoadDelegate>& delegate) {
  return std::shared_ptr<ZUMDelayPageLoadTOLMHandler>(new ZUMDelayPageLoadTOLMHandler(delegate));
}

const ZUMTOLMHandler::ActionTable* ZUMDelayPageLoadTOLMHandler::actionBlockDictionary() const {
  static const auto* table =
      new ActionTable{{"delayPageLoaded", action(&ZUMDelayPageLoadTOLMHandler::delayPageLoaded)}};
  return table;
}

void ZUMDelayPageLoadTOLMHandler::delayPageLoaded(ZUMAdView&, const nlohmann::ordered_json& parameters) {
  platform::DispatchQueue::main()->async([self = shared_from_this(), parameters] { self->apply(parameters); });
}

void ZUMDelayPageLoadTOLMHandler::apply(const nlohmann::ordered_json& parameters) {
  if (hasParameter(parameters, "start")) return changeCount(delayCount_ + 1);
  if (hasParameter(parameters, "stop")) {
    if (delayCount_ >= 1) changeCount(delayCount_ - 1);
    return;
  }
  if (!hasParameter(parameters, "cancel")) return;
  auto delegate = std::exchange(delegate_, {}).lock();
  delayCount_ = 0;
  if (delegate) delegate->loadHandlerDidCancel(*this);
}

void ZUMDelayPageLoadTOLMHandler::changeCount(std::int64_t to) {
  const std::int64_t from = std::exchange(delayCount_, to);
  if (auto delegate = delegate_.lock()) delegate->loadHandlerDidChangeDelay(*this, from, to);
}
