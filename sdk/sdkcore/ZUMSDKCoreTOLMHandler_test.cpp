#include "sdk/sdkcore/ZUMSDKCoreTOLMHandler.h"

#include <ctime>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sys/stat.h>

#include <gtest/gtest.h>

#include "platform/base/SystemLog.h"
#include "platform/base/URL.h"
#include "platform/base/UserDefaults.h"
#include "platform/net/URLRequest.h"
#include "sdk/foundation/ZUMApplication.h"
#include "sdk/foundation/ZUMConfiguration.h"
#include "sdk/foundation/ZUMFiles.h"
#include "sdk/foundation/ZUMURLUtilities.h"
#include "sdk/network/ZUMResourceCache.h"
#include "sdk/request/ZUMAdFetcher.h"
#include "sdk/sdkcore/ZUMSDKCoreTOLMHandlerDelegate.h"
#include "sdk/sdkcore/ZUMSDKCoreTestSupport.h"
#include "testing/TestEnvironment.h"

namespace {

using Json = nlohmann::ordered_json;

struct Recorder : ZUMSDKCoreTOLMHandlerDelegate {
  void SDKCoreTOLMHandlerLoadAdURLWithRequestID(ZUMSDKCoreTOLMHandler&, const std::string& id, const Json&) override {
    log.push_back("loadAdURL " + id);
  }
  void SDKCoreTOLMHandlerLoadAdWithRequestID(ZUMSDKCoreTOLMHandler&, const std::string& id, const Json& ad) override {
    log.push_back("loadAd " + id + " " + ad.dump());
  }
  void SDKCoreTOLMHandlerDidReceiveInvalidAdWithRequestID(ZUMSDKCoreTOLMHandler&, const std::optional<std::string>& id,
                                                          const Json&) override {
    log.push_back("invalid " + id.value_or("-"));
  }
  void SDKCoreTOLMHandlerDidLoadSDKConstants(ZUMSDKCoreTOLMHandler&, const Json& constants) override {
    log.push_back("constants " + constants.dump());
  }
  void SDKCoreTOLMHandlerDidReceiveSDKCoreUpdateNotification(ZUMSDKCoreTOLMHandler&) override {
    log.push_back("reload");
  }
  void SDKCoreTOLMHandlerDidReceiveResultActionWithRequestID(ZUMSDKCoreTOLMHandler&, const std::string& id,
                                                             const Json&) override {
    log.push_back("result " + id);
  }
  void SDKCoreTOLMHandlerDidReceivePauseSDKCoreRefreshAction(ZUMSDKCoreTOLMHandler&) override {
    log.push_back("pause");
  }
  void SDKCoreTOLMHandlerDidReceiveResumeSDKCoreRefreshAction(ZUMSDKCoreTOLMHandler&) override {
    log.push_back("resume");
  }
  std::vector<std::string> log;
};

class ZUMSDKCoreTOLMHandlerTest : public testenv::PlatformTest {
 protected:
  void SetUp() override {
    ZUMRegisterAdFetcher();
    handler->setDelegate(recorder);
  }
  void TearDown() override { ZUMAdFetcher::setFactory(nullptr); }
  // Sends one message; returns the replies queued for the page (it never loads here).
  std::vector<std::string> send(const std::string& url) {
    const bool claimed =
        handler->handleRequest(platform::URLRequest(*platform::URL::fromString(url)), webView->adView());
    EXPECT_TRUE(claimed) << url;
    env.runUntilIdle();
    return webView->pendingJavaScriptCommands();
  }
  static std::string encode(const std::string& text) { return ZUMPercentEncodedString(text); }
  std::filesystem::path cacheFolder() { return *ZUMCacheDirectoryURL(std::nullopt, nullptr)->path(); }

  std::shared_ptr<ZUMSDKCoreWebView> webView = ZUMSDKCoreWebView::create();
  std::shared_ptr<ZUMSDKCoreTOLMHandler> handler = webView->SDKCoreTOLMHandler();
  std::shared_ptr<Recorder> recorder = std::make_shared<Recorder>();
};

TEST_F(ZUMSDKCoreTOLMHandlerTest, EachMessageGivesItsDelegateCallOrReply) {
  const auto folder = cacheFolder();
  const std::string missing = platform::URL::fileURL(folder / "missing.tcache").absoluteString();
  std::ofstream(folder / "planted") << "x";
  std::ofstream(folder / "present.tcache") << "abc";
  const std::string present = platform::URL::fileURL(folder / "present.tcache").absoluteString();
  struct Row {
    std::string message;
    std::vector<std::string> log;
    std::string reply;  // a piece of the one reply, "" for none
    std::function<bool()> check = {};
  };
  const std::vector<Row> rows = {
      {"loadAdURL?request_id=7&url=x", {"loadAdURL 7"}, ""},
      {"loadAdURL?url=x", {}, ""},
      {"loadAd?request_id=7&fetched_ad=" + encode("{\"a\":1}"), {"loadAd 7 {\"a\":1}"}, ""},
      {"loadAd?request_id=7&fetched_ad=" + encode("[1]"), {}, ""},
      {"loadAd?request_id=7&fetched_ad=%7Bnot", {}, ""},
      {"invalidRequest?request_id=7&errors=e", {"invalid 7"}, ""},
      {"invalidRequest", {"invalid -"}, ""},
      {"loadSdkConstants?k=v", {"constants {\"k\":\"v\"}"}, ""},
      {"fetchHttpRequest?http_request=nope",
       {},
       "QYRA_ReceiveMessage('fetchHttpRequestCompleted', {\"success\":\"false\""},
      {"fetchHttpRequest?http_request=" + encode(R"({"http_request_id":"h","url":"file:///etc/passwd"})"),
       {},
       "Invalid URL (file:///etc/passwd) requested for fetching"},
      {"requestReload", {"reload"}, ""},
      {"saveState?key=k&state=v",
       {},
       "",
       [] {
         return platform::UserDefaults::standard().objectForKey(kZUMSDKCoreStateKey) ==
                Json{{"version", 1}, {"k", "v"}};
       }},
      {"result?request_id=3&result=1", {"result 3"}, ""},
      {"result?result=1", {}, ""},
      {"cacheResource?request_id=r&url=" + encode("file:///etc/hosts") + "&cache_id=c",
       {},
       "",
       [this] { return handler->resourceCacheCount() == 0; }},
      {"cacheResource?request_id=r&url=" + encode("http://127.0.0.1:9/v"),
       {},
       "",
       [this] { return handler->resourceCacheCount() == 0; }},
      {"resourceStatusCheck?request_id=r&cache_id=c&fileurl=" + encode(missing),
       {},
       "QYRA_resourceCache({\"cache\":{\"cache_id\":\"c\",\"status\":\"failed\"},\"file\":{}"},
      {"resourceStatusCheck?request_id=r&cache_id=c&fileurl=" + encode(present),
       {},
       "{\"cache\":{\"cache_id\":\"c\",\"status\":\"not_running\"},\"file\":{\"fileurl\":\"" + present +
           "\",\"size\":3"},
      {"resourceStatusCheck?request_id=r&cache_id=c&fileurl=" + encode("file:///etc/hosts"), {}, ""},
      {"removeResource?fileurl=" + encode(missing), {}, ""},
      {"cleanupCacheDirectory", {}, "", [&] { return !std::filesystem::exists(folder / "planted"); }},
      {"sdkCoreRefresh?refresh=pause&request_id=1", {"pause"}, ""},
      {"sdkCoreRefresh?refresh=pause", {}, ""},
      {"sdkCoreRefresh?refresh=cancel", {"resume"}, ""},
  };
  for (const auto& row : rows) {
    recorder->log.clear();
    const auto before = webView->pendingJavaScriptCommandCount();
    const auto replies = send("tolm://sdkcore/" + row.message);
    EXPECT_EQ(recorder->log, row.log) << row.message;
    if (row.reply.empty()) {
      EXPECT_EQ(replies.size(), before) << row.message;
    } else {
      ASSERT_EQ(replies.size(), before + 1) << row.message;
      EXPECT_NE(replies.back().find(row.reply), std::string::npos) << row.message << "\n" << replies.back();
    }
    if (row.check) {
      EXPECT_TRUE(row.check()) << row.message;
    }
  }
}

TEST_F(ZUMSDKCoreTOLMHandlerTest, FetchedSettingsMergeOnlyWithoutAnErrorWhichIsLoggedAsItStandsEvenOnFailure) {
  const struct {
    std::string key;  // the one setting the answer carries
    std::string parameters;
    bool merged;
    std::vector<std::string> logged;
  } rows[] = {
      {"a", "isSuccessful=true&appSettingsJson=" + encode(R"({"status":1,"a":"v"})"), true, {}},
      {"b",
       "isSuccessful=true&errorMessage=Quota%20spent&appSettingsJson=" + encode(R"({"status":1,"b":"v"})"),
       false,
       {"<Vantor> Quota spent"}},
      {"c",
       "isSuccessful=false&errorMessage=down&appSettingsJson=" + encode(R"({"status":1,"c":"v"})"),
       false,
       {"<Vantor> down"}},
      {"d", "appSettingsJson=" + encode(R"({"status":1,"d":"v"})"), false, {}},
      {"e", "isSuccessful=true&appSettingsJson=" + encode(R"({"status":2,"e":"v"})"), false, {}},
      {"f", "isSuccessful=true&appSettingsJson=" + encode(R"({"status":"1","f":"v"})"), false, {}},
      {"g", "isSuccessful=true&appSettingsJson=" + encode("[1]"), false, {}},
  };
  for (const auto& row : rows) {
    platform::SystemLog::Capture capture(true);
    send("tolm://sdkcore/appSettingsFetched?" + row.parameters);
    env.runUntilIdle();
    auto configuration = ZUMApplication::sharedInstance()->configuration();
    EXPECT_EQ(configuration->objectForKey(row.key) == Json("v"), row.merged) << row.parameters;
    EXPECT_EQ(capture.messages(), row.logged) << row.parameters;
  }
  auto configuration = ZUMApplication::sharedInstance()->configuration();
  EXPECT_FALSE(configuration->objectForKey("status"));
  EXPECT_EQ(configuration->objectForKey("app_config_refreshed_since_app_start"), Json(true));
  EXPECT_EQ(configuration->priorityForKey("a"), 500);
}

TEST_F(ZUMSDKCoreTOLMHandlerTest, AFilesCreationTimeIsItsBirthNotItsLastWrite) {
  const auto path = cacheFolder() / "old.tcache";
  const std::int64_t before = std::time(nullptr);
  std::ofstream(path) << "abc";
  const std::int64_t after = std::time(nullptr);
  constexpr std::int64_t kWritten = 1000000000;
  const struct timespec times[2] = {{kWritten, 0}, {kWritten, 0}};
  ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
  const auto replies = send("tolm://sdkcore/resourceStatusCheck?request_id=r&cache_id=c&fileurl=" +
                            encode(platform::URL::fileURL(path).absoluteString()));
  ASSERT_EQ(replies.size(), 1u);
  const auto& reply = replies.back();
  const auto open = reply.find('{');
  const auto created =
      Json::parse(reply.substr(open, reply.rfind(')') - open))["file"]["creation_timestamp_in_seconds"];
  struct statx status {};
  ASSERT_EQ(::statx(AT_FDCWD, path.c_str(), 0, STATX_BTIME, &status), 0);
  if (status.stx_mask & STATX_BTIME) {
    EXPECT_GE(created.get<std::int64_t>(), before);
    EXPECT_LE(created.get<std::int64_t>(), after);
  } else {
    EXPECT_EQ(created, kWritten) << "without birth times the modification time stands in";
  }
}

TEST_F(ZUMSDKCoreTOLMHandlerTest, RefreshPausesCountEveryPausingRequest) {
  for (const auto& message : {"refresh=pause&request_id=1", "refresh=pause&request_id=2", "refresh=resume&request_id=1",
                              "refresh=other&request_id=9", "refresh=resume&request_id=2"}) {
    send(std::string("tolm://sdkcore/sdkCoreRefresh?") + message);
  }
  EXPECT_EQ(recorder->log, (std::vector<std::string>{"pause", "pause", "pause", "pause", "resume"}));
}

TEST_F(ZUMSDKCoreTOLMHandlerTest, SavedStateIsBoundedAndFilesOutsideTheCacheFolderAreLeftAlone) {
  send("tolm://sdkcore/saveState?key=a&state=" + std::string(kZUMSDKCoreMaxSavedStateBytes / 2, 'x'));
  send("tolm://sdkcore/saveState?key=b&state=" + std::string(kZUMSDKCoreMaxSavedStateBytes / 2, 'y'));
  const auto saved = platform::UserDefaults::standard().objectForKey(kZUMSDKCoreStateKey).value_or(Json());
  EXPECT_TRUE(saved.contains("a"));
  EXPECT_FALSE(saved.contains("b"));

  const auto outside = env.temporaryDirectory() / "keep.txt";
  std::ofstream(outside) << "keep";
  const auto escape = platform::URL::fileURL(cacheFolder() / ".." / ".." / ".." / "tmp" / "keep.txt");
  for (const auto& url : {platform::URL::fileURL(outside), escape}) {
    send("tolm://sdkcore/removeResource?fileurl=" + encode(url.absoluteString()));
  }
  EXPECT_TRUE(std::filesystem::exists(outside));
  const auto inside = cacheFolder() / "gone.tcache";
  std::ofstream(inside) << "x";
  send("tolm://sdkcore/removeResource?fileurl=" + encode(platform::URL::fileURL(inside).absoluteString()));
  EXPECT_FALSE(std::filesystem::exists(inside));
}

TEST_F(ZUMSDKCoreTOLMHandlerTest, FetchesReportTheRealStatusAndBodyOncePerIdentifier) {
  sdkcoretest::NetworkHosts hosts;
  hosts.server.route("/created",
                     testenv::ScriptedResponse{.status = 201, .headers = {{"X-Kind", "k"}}, .body = "made"});
  hosts.server.route("/empty", testenv::ScriptedResponse{.status = 200, .body = ""});
  hosts.server.route("/missing", testenv::ScriptedResponse{.status = 404, .body = "no"});
  hosts.server.route("/slow", testenv::ScriptedResponse{.status = 200, .body = "late", .held = true});
  auto fetch = [&](const std::string& id, const std::string& path) {
    const Json request{{"http_request_id", id},
                       {"url", "https://ads.adnetwork.example" + path},
                       {"headers", Json::array({Json{{"key", "X-A"}, {"value", "1"}}, Json{{"key", "X-B"}}, 5})}};
    send("tolm://sdkcore/fetchHttpRequest?http_request=" + encode(request.dump()));
  };
  auto reply = [&](std::size_t count) {
    EXPECT_TRUE(env.runUntil([&] { return webView->pendingJavaScriptCommandCount() >= count; }));
    const auto command = webView->pendingJavaScriptCommands().at(count - 1);
    const auto open = command.find('{');
    return Json::parse(command.substr(open, command.rfind(')') - open));
  };
  fetch("a", "/created");
  auto answer = reply(1);
  EXPECT_EQ(answer["success"], "true");
  EXPECT_EQ(answer["response"]["response_code"], 201);
  EXPECT_EQ(answer["response"]["body"], "made");
  EXPECT_EQ(answer["response"]["http_request_id"], "a");
  EXPECT_NE(answer["response"]["headers"].dump().find(R"({"key":"x-kind","value":"k"})"), std::string::npos);
  EXPECT_EQ(hosts.server.requests("/created").at(0).header("X-A"), "1");

  fetch("b", "/empty");
  answer = reply(2);
  EXPECT_EQ(answer["success"], "true");
  EXPECT_EQ(answer["response"]["response_code"], 200);
  EXPECT_EQ(answer["response"]["body"], "");

  fetch("c", "/missing");
  answer = reply(3);
  EXPECT_EQ(answer["success"], "false");
  EXPECT_EQ(answer["response"]["response_code"], 404);
  EXPECT_FALSE(handler->isFetchInProgressForFetchRequestID("c"));

  fetch("d", "/slow");
  fetch("d", "/slow");  // already running: ignored
  ASSERT_TRUE(env.runUntil([&] { return hosts.server.heldCount("/slow") == 1; }));
  hosts.server.release("/slow");
  EXPECT_EQ(reply(4)["response"]["body"], "late");
  fetch("d", "/created");  // the identifier is free again
  EXPECT_EQ(reply(5)["response"]["http_request_id"], "d");
  env.runUntilIdle();
  EXPECT_EQ(webView->pendingJavaScriptCommandCount(), 5u);
}

// Ended downloads stay known by their file until the file is written again, removed or
// cleaned up, the latest sixteen of them.
TEST_F(ZUMSDKCoreTOLMHandlerTest, EndedDownloadsStayKnownByTheirFileUntilItChanges) {
  sdkcoretest::NetworkHosts hosts;
  hosts.server.route("/a", testenv::ScriptedResponse{.status = 200, .body = "abc"});
  hosts.server.route("/slow", testenv::ScriptedResponse{.status = 200, .body = "later", .held = true});
  auto file = [](const std::string& cacheID) { return *ZUMResourceCache::fileURLForCacheID(cacheID, nullptr); };
  auto cache = [&](const std::string& requestID, const std::string& path, const std::string& cacheID) {
    send("tolm://sdkcore/cacheResource?request_id=" + requestID + "&cache_id=" + cacheID +
         "&url=" + encode("https://ads.adnetwork.example" + path));
  };
  auto ended = [&](const std::string& cacheID) { return handler->endedResourceCacheForFileURL(file(cacheID)); };
  auto settle = [&] { ASSERT_TRUE(env.runUntil([&] { return handler->resourceCacheCount() == 0; })); };

  cache("r1", "/a", "a");
  settle();
  cache("r2", "/missing", "m");
  settle();
  ASSERT_TRUE(ended("a") && ended("m"));
  EXPECT_TRUE(ended("a")->isCompleted() && ended("a")->isValid());
  EXPECT_EQ(ended("a")->cachedContentSize(), 3);
  EXPECT_FALSE(ended("m")->isValid());
  EXPECT_NE(webView->pendingJavaScriptCommands().back().find("\"error\":"), std::string::npos) << "a failure says why";
  EXPECT_FALSE(handler->endedResourceCacheForFileURL(file("never")));

  send("tolm://sdkcore/removeResource?fileurl=" + encode(file("a").absoluteString()));
  EXPECT_FALSE(ended("a"));
  EXPECT_TRUE(ended("m"));
  cache("r3", "/slow", "m");  // a new download of the file: the old one's end no longer holds
  EXPECT_FALSE(ended("m"));
  hosts.server.release("/slow");
  settle();
  EXPECT_TRUE(ended("m") && ended("m")->isValid());
  send("tolm://sdkcore/cleanupCacheDirectory");
  EXPECT_FALSE(ended("m"));

  for (std::size_t i = 0; i <= kZUMSDKCoreMaxEndedResourceCaches; ++i) {
    cache("n" + std::to_string(i), "/a", "n" + std::to_string(i));
    settle();
  }
  EXPECT_FALSE(ended("n0"));
  EXPECT_TRUE(ended("n1") && ended("n" + std::to_string(kZUMSDKCoreMaxEndedResourceCaches)));
}

}  // namespace
