#include "sdk/rendering/ZUMCSITOLMHandler.h"

#include <nlohmann/json.hpp>

#include "sdk/csi/ZUMCSI.h"
#include "sdk/csi/ZUMCSITimeRecorder.h"
#include "sdk/csi/ZUMCSIVariableTiming.h"
#include "sdk/foundation/ZUMLogger.h"
#include "sdk/foundation/ZUMValues.h"

namespace {

constexpr const char* kWebViewAction = "make_wv";
constexpr const char* kDefaultStartLabel = "native:view_create";

}  // namespace

std::shared_ptr<ZUMCSITOLMHandler> ZUMCSITOLMHandler::create() {
  return std::shared_ptr<ZUMCSITOLMHandler>(new ZUMCSITOLMHandler());
}

const ZUMTOLMHandler::ActionTable* ZUMCSITOLMHandler::actionBlockDictionary() const {
  static const auto* table = new ActionTable{{"instrument", action(&ZUMCSITOLMHandler::instrument)}};
  return table;
}

const ZUMTOLMHandler::ActionTable* ZUMCSITOLMHandler::subActionBlockDictionary() const {
  static const auto* table = new ActionTable{{"tick", action(&ZUMCSITOLMHandler::tick)},
                                             {"experiment", action(&ZUMCSITOLMHandler::experiment)},
                                             {"extra", action(&ZUMCSITOLMHandler::extra)}};
  return table;
}

std::shared_ptr<ZUMCSI> ZUMCSITOLMHandler::CSI() {
  auto delegate = CSIDelegate_.lock();
  return delegate ? delegate->CSIForTOLMHandler(*this) : nullptr;
}

std::shared_ptr<ZUMCSITimeRecorder> ZUMCSITOLMHandler::webViewRecorder() {
  auto csi = CSI();
  return csi ? csi->timeRecorderForAction(kWebViewAction) : nullptr;
}

void ZUMCSITOLMHandler::instrument(ZUMAdView& adView, const nlohmann::ordered_json& parameters) {
  runSubAction("action", adView, parameters);
}

void ZUMCSITOLMHandler::tick(ZUMAdView&, const nlohmann::ordered_json& parameters) {
  const auto label = ZUMStringForKey(parameters, "label");
  const std::int64_t time = integerParameter(parameters, "timestamp");
  if (!label || time == 0) return;
  if (time < 0) {
    ZUMLog(1, "CSI tick with a timestamp before 1970 dropped.");
    return;
  }
  auto csi = CSI();
  if (!csi) return;
  csi->setTimestamp(time, *label);
  const std::int64_t start =
      csi->timestampForLabel(ZUMStringForKey(parameters, "start_label").value_or(kDefaultStartLabel));
  if (start <= 0 || time < start) return;
  auto recorder = csi->timeRecorderForAction(kWebViewAction);
  if (!recorder) return;
  auto timing = ZUMCSIVariableTiming::create(*label, static_cast<double>(start) / 1000.0);
  timing->setLength(static_cast<double>(time - start) / 1000.0);
  recorder->addCompletedVariable(timing);
}

void ZUMCSITOLMHandler::experiment(ZUMAdView&, const nlohmann::ordered_json& parameters) {
  const auto value = ZUMStringForKey(parameters, "value");
  if (!value) return;
  if (auto recorder = webViewRecorder()) recorder->addExperimentID(*value);
}

void ZUMCSITOLMHandler::extra(ZUMAdView&, const nlohmann::ordered_json& parameters) {
  const auto name = ZUMStringForKey(parameters, "name");
  const auto value = ZUMStringForKey(parameters, "value");
  if (!name || !value) return;
  if (auto recorder = webViewRecorder()) recorder->setCustomizedParameterValue(*value, *name);
}
