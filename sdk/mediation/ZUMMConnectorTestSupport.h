// Scripted banner, interstitial and native adapters (and one that takes sizes and
// presents) for the connector and waterfall tests, with a scripted waterfall (the
// connectors' delegate) over a real slot. Each adapter writes
// the calls it gets into the board's log ("ConnA banner 320x50", "ConnA stop") and
// reports whatever the test tells it to; the waterfall and the slot's owner write what
// they hear into the same log, "!" marking a call off the main thread.
#pragma once

#include <any>
#include <memory>
#include <string>
#include <vector>

#include "ZUMAdSize.h"
#include "ZUMMAdNetworkAdapter.h"
#include "ZUMMAdNetworkConnector.h"
#include "ZUMMAdapterClass.h"
#include "ZUMSlotAdEventDelegate.h"
#include "ZUMSlotDelegate.h"
#include "platform/base/RunLoop.h"
#include "sdk/mediation/ZUMMAdNetworkConnectorImpl.h"
#include "sdk/mediation/ZUMMConnectorDelegate.h"
#include "sdk/request/ZUMSlot.h"

namespace connectortest {

struct Board {
  std::vector<std::string> log;
  void note(const std::string& what) { log.push_back(platform::isMainThread() ? what : what + "!"); }
};

struct Adapter : ZUMMAdNetworkAdapter {
  Adapter(std::string name, const std::shared_ptr<ZUMMAdNetworkConnector>& connector, std::shared_ptr<Board> board,
          bool native)
      : name(std::move(name)), connector(connector), board(std::move(board)), native(native) {}
  void getBannerWithSize(const ZUMAdSize& size) override { note("banner " + ZUMAdSizeDescription(size)); }
  void getInterstitial() override { note("interstitial"); }
  void stopBeingDelegate() override { note("stop"); }
  bool isBannerAnimationOK(std::int64_t) override { return true; }
  void presentInterstitialFromRootViewController(const std::shared_ptr<platform::ViewController>&) override {}
  bool getNativeAdWithAdTypes(const std::vector<std::string>& adTypes, const std::vector<std::any>& options) override {
    if (!native) return false;
    std::string types;
    for (const auto& type : adTypes) types += " " + type;
    note("native" + types + " options " + std::to_string(options.size()));
    return true;
  }
  std::optional<bool> handlesUserClicks() override { return native ? std::optional<bool>(true) : std::nullopt; }
  // The adapter reporting to its connector (as long as it has one).
  template <class Report>
  void report(Report call) {
    if (auto target = connector.lock()) call(*target, *this);
  }
  void note(const std::string& what) { board->note(name + " " + what); }

  std::string name;
  std::weak_ptr<ZUMMAdNetworkConnector> connector;
  std::shared_ptr<Board> board;
  bool native;
};

struct AdapterClass : ZUMMAdapterClass {
  std::optional<std::string> adapterVersion() const override { return "4.5"; }
  std::optional<std::string> networkExtrasClass() const override { return "ZUMExtras"; }
  std::shared_ptr<ZUMMAdNetworkAdapter> initWithZUMMAdNetworkConnector(
      const std::shared_ptr<ZUMMAdNetworkConnector>& connector) const override {
    auto adapter = std::make_shared<Adapter>(name, connector, board, native);
    adapters->push_back(adapter);
    return adapter;
  }
  std::string name;
  std::shared_ptr<Board> board;
  bool native = false;
  std::shared_ptr<std::vector<std::shared_ptr<Adapter>>> adapters =
      std::make_shared<std::vector<std::shared_ptr<Adapter>>>();
};

// Registers the scripted class `name`; `extras`: it names its network extras class.
inline std::shared_ptr<AdapterClass> registerAdapter(const std::string& name, const std::shared_ptr<Board>& board,
                                                     bool extras = true, bool native = false) {
  auto classObject = std::make_shared<AdapterClass>();
  classObject->name = name;
  classObject->board = board;
  classObject->native = native;
  platform::ClassDescriptor descriptor{.protocols = {kZUMMAdNetworkAdapterProtocol},
                                       .operations = {kZUMMGetBannerWithSizeOperation, kZUMMGetInterstitialOperation},
                                       .classOperations = {kZUMMAdapterVersionOperation},
                                       .initialisers = {kZUMMInitWithAdNetworkConnector}};
  if (extras) descriptor.classOperations.push_back(kZUMMNetworkExtrasClassOperation);
  ZUMMRegisterAdapterClass(name, classObject, std::move(descriptor));
  return classObject;
}

// An adapter that takes new banner sizes and presents its interstitial (both logged).
struct SizingAdapter : Adapter {
  using Adapter::Adapter;
  bool changeAdSizeTo(const ZUMAdSize& size) override {
    note("size " + ZUMAdSizeDescription(size));
    return true;
  }
  void presentInterstitialFromRootViewController(const std::shared_ptr<platform::ViewController>&) override {
    note("present");
  }
};
struct SizingClass : AdapterClass {
  std::shared_ptr<ZUMMAdNetworkAdapter> initWithZUMMAdNetworkConnector(
      const std::shared_ptr<ZUMMAdNetworkConnector>& connector) const override {
    auto adapter = std::make_shared<SizingAdapter>(name, connector, board, false);
    adapters->push_back(adapter);
    return adapter;
  }
};

// Registers the scripted sizing class `name`.
inline std::shared_ptr<AdapterClass> registerSizingAdapter(const std::string& name,
                                                           const std::shared_ptr<Board>& board) {
  auto classObject = std::make_shared<SizingClass>();
  classObject->name = name;
  classObject->board = board;
  ZUMMRegisterAdapterClass(name, classObject,
                           {.protocols = {kZUMMAdNetworkAdapterProtocol},
                            .operations = {kZUMMGetBannerWithSizeOperation, kZUMMGetInterstitialOperation},
                            .initialisers = {kZUMMInitWithAdNetworkConnector}});
  return classObject;
}

// The waterfall as the connectors see it, over the test's slot.
struct Waterfall : ZUMMConnectorDelegate {
  void adRequestReturnsFromConnectorWithView(Connector& c, const std::shared_ptr<platform::View>&) override {
    board->note(std::string("view") + (c.didNetworkRefresh() ? " refresh" : ""));
  }
  void adRequestReturnsFromConnectorWithInterstitial(Connector&, const std::shared_ptr<void>&) override {
    board->note("interstitial");
  }
  void adRequestReturnsFromConnectorWithMediatedAd(Connector&, const std::shared_ptr<ZUMMediatedAd>& ad) override {
    mediatedAds.push_back(ad);
    board->note("mediated ad");
  }
  void adRequestFailedFromConnectorWithError(Connector& c, const platform::ErrorPtr& error) override {
    errors.push_back(error);
    board->note("failed " + std::to_string(error->code()) + " " + error->localizedDescription() +
                (c.didNetworkRefresh() ? " refresh" : ""));
  }
  bool connectorShouldReturnMediatedAd(Connector&) override { return returnsMediatedAds; }
  std::shared_ptr<ZUMSlot> slot() const override { return theSlot; }

  std::shared_ptr<Board> board;
  std::shared_ptr<ZUMSlot> theSlot;
  bool returnsMediatedAds = false;
  std::vector<std::shared_ptr<ZUMMediatedAd>> mediatedAds;
  std::vector<platform::ErrorPtr> errors;
};

// The slot's owner: it keeps the request the slot loads (and ends the load there) and
// writes the slot's screen events into the board.
struct Owner : ZUMSlotDelegate, ZUMSlotAdEventDelegate {
  ZUMImplemented slotWillLoadAdWithRequest(ZUMSlot& slot, const std::shared_ptr<ZUMRequest>&) override {
    slot.cancelLoad();
    return kZUMImplemented;
  }
  ZUMImplemented slotDidReceiveAppEvent(ZUMSlot&, const std::string& name,
                                        const std::optional<std::string>& info) override {
    if (!takesAppEvents) return std::nullopt;
    board->note("app event " + name + " " + info.value_or("-"));
    return kZUMImplemented;
  }
  ZUMImplemented slotWillPresentScreen(ZUMSlot&) override { return note("will present"); }
  ZUMImplemented slotWillDismissScreen(ZUMSlot&) override { return note("will dismiss"); }
  ZUMImplemented slotDidDismissScreen(ZUMSlot&) override { return note("did dismiss"); }
  ZUMImplemented slotWillLeaveApplication(ZUMSlot&) override { return note("will leave"); }
  ZUMImplemented note(const std::string& what) {
    board->note("slot " + what);
    return kZUMImplemented;
  }
  std::shared_ptr<Board> board;
  bool takesAppEvents = false;
};

}  // namespace connectortest
