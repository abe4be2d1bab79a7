// Scripted rewarded adapters for the tests of the rewarded connector and the rewarded
// waterfall: each registered class answers set-up and load as its script says (at once,
// after a delay on the main queue, with a failure, or never) and writes every call it
// gets into the script's log, "<class> setUp", "<class> request", ...
#pragma once

#include <memory>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "ZUMMAdapterClass.h"
#include "ZUMMRewardBasedVideoAdNetworkAdapter.h"
#include "ZUMMRewardBasedVideoAdNetworkConnector.h"
#include "platform/base/DispatchQueue.h"
#include "platform/base/MainThreadChecker.h"
#include "sdk/errors/ZUMErrors.h"
#include "sdk/network/ZUMClickTrackerCollection.h"

namespace rewardedtest {

// kLater and kFailLater answer `delay` seconds after the call.
enum class Answer { kNow, kLater, kFail, kFailLater, kNever };

struct Script {
  Answer setUp = Answer::kNow;
  Answer load = Answer::kNow;
  double delay = 2;                              // seconds, for kLater
  std::int64_t loadErrorCode = kZUMErrorNoFill;  // for a load that fails
};

struct Adapter;

// What the tests share with the adapters they script.
struct Board {
  std::vector<std::string> log;
  std::vector<std::shared_ptr<Adapter>> adapters;  // every adapter made, in order
};

struct Adapter : ZUMMRewardBasedVideoAdNetworkAdapter, std::enable_shared_from_this<Adapter> {
  Adapter(std::string name, const std::shared_ptr<ZUMMRewardBasedVideoAdNetworkConnector>& connector,
          std::shared_ptr<Script> script, const std::shared_ptr<Board>& board)
      : name(std::move(name)), connector(connector), script(std::move(script)), board(board) {}

  void setUp() override {
    note("setUp");
    answer(
        script->setUp,
        [](ZUMMRewardBasedVideoAdNetworkConnector& c, Adapter& a) { c.adapterDidSetUpRewardBasedVideoAd(a); },
        [](ZUMMRewardBasedVideoAdNetworkConnector& c, Adapter& a) {
          c.adapterDidFailToSetUpRewardBasedVideoAdWithError(a, ZUMMakeErrorWithCode(kZUMErrorInternalError));
        });
  }
  bool setUpWithUserID(const std::string& user) override {
    note("setUpWithUserID '" + user + "'");
    return true;
  }
  void requestRewardBasedVideoAd() override {
    note("request");
    answer(
        script->load,
        [](ZUMMRewardBasedVideoAdNetworkConnector& c, Adapter& a) { c.adapterDidReceiveRewardBasedVideoAd(a); },
        [](ZUMMRewardBasedVideoAdNetworkConnector& c, Adapter& a) {
          c.adapterDidFailToLoadRewardBasedVideoAdwithError(a, ZUMMakeErrorWithCode(a.script->loadErrorCode));
        });
  }
  void presentRewardBasedVideoAdWithRootViewController(const std::shared_ptr<platform::ViewController>&) override {
    // Pings handed to the tracker before this call are still running now.
    note(ZUMClickTrackerCollection::sharedInstance()->activeTrackerCount() > 0 ? "present after pings" : "present");
  }
  void stopBeingDelegate() override {
    note("stop");
    connector.reset();
  }

  using Call = void (*)(ZUMMRewardBasedVideoAdNetworkConnector&, Adapter&);
  void answer(Answer how, Call success, Call failure) {
    if (how == Answer::kNever) return;
    const bool fails = how == Answer::kFail || how == Answer::kFailLater;
    auto call = [weak = weak_from_this(), fails, success, failure] {
      auto self = weak.lock();
      auto target = self ? self->connector.lock() : nullptr;
      if (target) (fails ? failure : success)(*target, *self);
    };
    if (how == Answer::kLater || how == Answer::kFailLater) {
      platform::DispatchQueue::main()->after(script->delay, call);
    } else {
      call();
    }
  }
  // The adapter reporting `call` to its connector, when it still has one.
  void report(Call call) {
    if (auto target = connector.lock()) call(*target, *this);
  }
  void note(const std::string& what) {
    if (auto shared = board.lock()) shared->log.push_back(name + " " + what);
  }

  std::string name;
  std::weak_ptr<ZUMMRewardBasedVideoAdNetworkConnector> connector;
  std::shared_ptr<Script> script;
  std::weak_ptr<Board> board;  // the board keeps the adapters
  nlohmann::ordered_json credentialsList;
};

struct AdapterClass : ZUMMAdapterClass {
  std::optional<std::string> networkExtrasClass() const override { return "ZUMExtras"; }
  std::shared_ptr<ZUMMRewardBasedVideoAdNetworkAdapter> initWithRewardBasedVideoAdNetworkConnector(
      const std::shared_ptr<ZUMMRewardBasedVideoAdNetworkConnector>& connector) const override {
    return keep(std::make_shared<Adapter>(name, connector, script, board.lock()));
  }
  std::shared_ptr<ZUMMRewardBasedVideoAdNetworkAdapter> initWithRewardBasedVideoAdNetworkConnector(
      const std::shared_ptr<ZUMMRewardBasedVideoAdNetworkConnector>& connector,
      const nlohmann::ordered_json& credentials) const override {
    auto adapter = std::make_shared<Adapter>(name, connector, script, board.lock());
    adapter->credentialsList = credentials;
    return keep(adapter);
  }
  std::shared_ptr<Adapter> keep(std::shared_ptr<Adapter> adapter) const {
    if (auto shared = board.lock()) shared->adapters.push_back(adapter);
    return adapter;
  }
  std::string name;
  std::shared_ptr<Script> script;
  std::weak_ptr<Board> board;
};

// A rewarded adapter class `name` scripted by the returned script. The default
// descriptor is a current rewarded adapter with both rewarded initialisers.
inline std::shared_ptr<Script> registerAdapter(
    const std::string& name, const std::shared_ptr<Board>& board,
    platform::ClassDescriptor descriptor = {
        .protocols = {kZUMMRewardBasedVideoAdNetworkAdapterProtocol},
        .classOperations = {kZUMMAdapterVersionOperation, kZUMMNetworkExtrasClassOperation},
        .initialisers = {kZUMMInitWithRewardBasedVideoAdNetworkConnector,
                         kZUMMInitWithRewardBasedVideoAdNetworkConnectorCredentials}}) {
  auto classObject = std::make_shared<AdapterClass>();
  classObject->name = name;
  classObject->script = std::make_shared<Script>();
  classObject->board = board;
  ZUMMRegisterAdapterClass(name, classObject, std::move(descriptor));
  return classObject->script;
}

}  // namespace rewardedtest
