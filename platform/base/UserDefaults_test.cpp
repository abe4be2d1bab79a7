#include "platform/base/UserDefaults.h"

#include <cmath>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "testing/TestEnvironment.h"

namespace platform {
namespace {

using Json = nlohmann::ordered_json;

class UserDefaultsTest : public testenv::PlatformTest {
 protected:
  std::filesystem::path file() const { return env.userDefaultsFile(); }
  void writeFile(const std::string& text) const { std::ofstream(file(), std::ios::binary | std::ios::trunc) << text; }
};

TEST_F(UserDefaultsTest, TypedGettersReadAsThePlatformDoes) {
  auto defaults = UserDefaults::create(file());
  EXPECT_TRUE(defaults->setObject("  +12abc", "text"));
  EXPECT_TRUE(defaults->setObject("yes", "yes"));
  EXPECT_TRUE(defaults->setDouble(2.5, "double"));
  defaults->setInteger(3, "integer");
  defaults->setBool(true, "bool");
  EXPECT_TRUE(defaults->setObject(Json::array({1, "a"}), "array"));

  EXPECT_EQ(defaults->integerForKey("text"), 12);
  EXPECT_EQ(defaults->doubleForKey("text"), 12.0);
  EXPECT_TRUE(defaults->boolForKey("yes"));
  EXPECT_EQ(defaults->integerForKey("double"), 2);
  EXPECT_EQ(defaults->floatForKey("double"), 2.5f);
  EXPECT_EQ(defaults->stringForKey("integer"), "3");
  EXPECT_EQ(defaults->stringForKey("bool"), "1");

  // Wrong kinds and absent keys.
  EXPECT_FALSE(defaults->stringForKey("array"));
  EXPECT_FALSE(defaults->boolForKey("array"));
  EXPECT_FALSE(defaults->arrayForKey("text"));
  EXPECT_FALSE(defaults->dictionaryForKey("array"));
  EXPECT_EQ(defaults->integerForKey("missing"), 0);
}

TEST_F(UserDefaultsTest, EverythingSurvivesARestartWithItsKind) {
  const Json dictionary = {{"nested", {{"n", 1}}}, {"$data", "only looks like a tag"}};
  const Json tagLike = {{"$date", 12}};
  {
    auto defaults = UserDefaults::create(file());
    EXPECT_TRUE(defaults->setObject("", "empty string"));
    EXPECT_TRUE(defaults->setObject(dictionary, "dictionary"));
    EXPECT_TRUE(defaults->setObject(tagLike, "tag-like"));
    EXPECT_TRUE(defaults->setObject(Json::array({makeData({1, 2}), makeDate(5), 1.5}), "array"));
    EXPECT_TRUE(defaults->setObject(makeData({0, 255}), "data"));
    EXPECT_TRUE(defaults->setObject(makeDate(1'800'000'000.5), "date"));
    defaults->setInteger(std::numeric_limits<std::int64_t>::min(), "min");
    defaults->setBool(false, "false");
    EXPECT_TRUE(defaults->setObject("to be removed", "gone"));
    defaults->removeObjectForKey("gone");
  }
  auto restarted = UserDefaults::create(file());
  EXPECT_EQ(restarted->dictionaryForKey("dictionary"), dictionary);
  EXPECT_EQ(restarted->dictionaryForKey("tag-like"), tagLike);
  EXPECT_EQ(restarted->arrayForKey("array"), Json::array({makeData({1, 2}), makeDate(5), 1.5}));
  EXPECT_EQ(restarted->dataForKey("data"), (Data{0, 255}));
  EXPECT_EQ(restarted->dateForKey("date"), 1'800'000'000.5);
  EXPECT_EQ(restarted->integerForKey("min"), std::numeric_limits<std::int64_t>::min());
  EXPECT_EQ(restarted->objectForKey("false"), Json(false));
  EXPECT_FALSE(restarted->objectForKey("gone"));

  // Saved atomically: one valid JSON file, no temporary left behind.
  std::vector<std::filesystem::path> files;
  for (const auto& entry : std::filesystem::directory_iterator(file().parent_path())) {
    files.push_back(entry.path());
  }
  EXPECT_EQ(files, std::vector{file()});
}

TEST_F(UserDefaultsTest, StandardDefaultsFollowTheirFile) {
  UserDefaults::setStandardFile(file());
  EXPECT_TRUE(UserDefaults::standard().setObject("1", "/vantor/ads/use_https"));
  UserDefaults::setStandardFile(file());  // a restart
  EXPECT_TRUE(UserDefaults::standard().boolForKey("/vantor/ads/use_https"));

  UserDefaults::setStandardFile(env.root() / "other.json");
  EXPECT_FALSE(UserDefaults::standard().objectForKey("/vantor/ads/use_https"));
}

TEST_F(UserDefaultsTest, ValuesThatAreNotPropertyListsAreRefused) {
  auto defaults = UserDefaults::create(file());
  EXPECT_TRUE(defaults->setDouble(1.0, "n"));
  EXPECT_FALSE(defaults->setDouble(std::nan(""), "n"));
  EXPECT_FALSE(defaults->setObject(Json::array({1, nullptr}), "n"));
  EXPECT_EQ(defaults->objectForKey("n"), Json(1.0));
  EXPECT_TRUE(defaults->setObject(nullptr, "n"));  // null removes
  EXPECT_FALSE(defaults->objectForKey("n"));
}

TEST_F(UserDefaultsTest, DamagedFilesKeepWhatIsReadable) {
  std::string deep;
  for (int i = 0; i < 100000; ++i) deep += "[";
  const struct {
    std::string text;
    Json expected;
  } cases[] = {
      {"", Json::object()},
      {std::string("\x00\xff garbage", 11), Json::object()},
      {"[1, 2]", Json::object()},
      {"\"just a string\"", Json::object()},
      {R"({"a": 1, "b": "two", "c": [1, 2, {"d": )", {{"a", 1}, {"b", "two"}}},
      {R"({"a": 1 "b": 2})", {{"a", 1}}},
      // A key written twice keeps its first place and its last value, as the SDK's JSON does.
      {R"({"a": 1, "d": {"x": 1, "y": 2, "x": [3]}, "a": 2})", {{"a", 2}, {"d", {{"x", {3}}, {"y", 2}}}}},
      {R"({"a": 1} trailing)", {{"a", 1}}},
      {R"({"a": null, "b": {"$data": 7}, "c": {"$date": "x"}, "e": 2, "f": 1e999})", {{"e", 2}}},
      {R"({"bad utf8": ")" + std::string("\xC3\x28") + R"(", "ok": true})", Json::object()},
      {R"({"ok": true, "deep": )" + deep, {{"ok", true}}},
      {R"({"big": 123456789012345678901234567890, "neg": -99999999999999999999})",
       {{"big", 1.2345678901234568e29}, {"neg", -1e20}}},
  };
  for (const auto& c : cases) {
    writeFile(c.text);
    auto defaults = UserDefaults::create(file());
    EXPECT_EQ(defaults->dictionaryRepresentation(), c.expected) << c.text.substr(0, 80);
    // The readable part is written back whole at the next save.
    defaults->setInteger(1, "new");
    auto restarted = UserDefaults::create(file());
    EXPECT_EQ(restarted->dictionaryRepresentation().size(), c.expected.size() + 1);
    EXPECT_EQ(restarted->integerForKey("new"), 1);
  }

  // A folder where the file should be: nothing read, nothing saved, no crash.
  std::filesystem::remove(file());
  std::filesystem::create_directory(file());
  auto defaults = UserDefaults::create(file());
  defaults->setInteger(1, "kept in memory");
  EXPECT_EQ(defaults->integerForKey("kept in memory"), 1);
}

TEST(UserDefaultsThreadedTest, WritesFromManyThreadsAreSeenAtOnceAndAllSaved) {
  testenv::TestEnvironment env({.executor = ExecutorKind::Threaded, .virtualTime = false});
  auto defaults = UserDefaults::create(env.userDefaultsFile());
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&, t] {
      for (int i = 0; i < 25; ++i) {
        const std::string key = std::to_string(t) + "/" + std::to_string(i);
        defaults->setInteger(i, key);
        EXPECT_EQ(defaults->integerForKey(key), i);
        defaults->boolForKey("0/0");
      }
    });
  }
  for (auto& thread : threads) thread.join();
  EXPECT_EQ(UserDefaults::create(env.userDefaultsFile())->dictionaryRepresentation().size(), 100u);
}

}  // namespace
}  // namespace platform
