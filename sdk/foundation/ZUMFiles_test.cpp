#include "sdk/foundation/ZUMFiles.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "platform/base/FileManager.h"
#include "testing/TestEnvironment.h"

namespace {

class ZUMFilesTest : public testenv::PlatformTest {
 protected:
  std::filesystem::path sdkFolder() const { return env.cachesDirectory() / "Morvane"; }
};

TEST_F(ZUMFilesTest, CacheDirectoryIsCreatedWithItsSubfolder) {
  platform::ErrorPtr error;
  auto folder = ZUMCacheDirectoryURL(std::nullopt, &error);
  ASSERT_TRUE(folder);
  EXPECT_FALSE(error);
  EXPECT_TRUE(folder->isFileURL());
  EXPECT_EQ(folder->path(), sdkFolder().string());
  EXPECT_TRUE(std::filesystem::is_directory(sdkFolder()));

  auto precache = ZUMCacheDirectoryURL("Precache", &error);
  ASSERT_TRUE(precache);
  EXPECT_EQ(precache->path(), (sdkFolder() / "Precache").string());
  EXPECT_TRUE(std::filesystem::is_directory(sdkFolder() / "Precache"));
  EXPECT_EQ(ZUMCacheDirectoryURL("", nullptr)->path(), sdkFolder().string());
}

TEST_F(ZUMFilesTest, NamesLeadingOutOfTheFolderAreRefused) {
  for (std::string_view name : {std::string_view(".."), std::string_view("."), std::string_view("../Documents"),
                                std::string_view("a/b"), std::string_view("a\0b", 3)}) {
    platform::ErrorPtr error;
    EXPECT_FALSE(ZUMCacheDirectoryURL(name, &error)) << name;
    ASSERT_TRUE(error);
    EXPECT_EQ(error->domain(), "com.vantor.ads");
    EXPECT_EQ(error->code(), 11);
    EXPECT_EQ(error->localizedDescription(), "Failed to get cache directory path.");
  }
}

TEST_F(ZUMFilesTest, AFolderThatCannotBeCreatedGivesTheFileSystemError) {
  std::filesystem::create_directories(env.cachesDirectory());
  ASSERT_TRUE(platform::FileManager::writeAtomically(sdkFolder(), "a file in the way"));
  platform::ErrorPtr error;
  EXPECT_FALSE(ZUMCacheDirectoryURL("VideoAsset", &error));
  ASSERT_TRUE(error);
  EXPECT_EQ(error->domain(), platform::kPOSIXErrorDomain);
  // No folder: flags stay off and setting them does nothing.
  ZUMBoolCacheSetValueForKey("init_delay", true);
  EXPECT_FALSE(ZUMBoolCacheValueForKey("init_delay"));
}

TEST_F(ZUMFilesTest, BoolCacheFlagsAreEmptyFilesNamedByMD5) {
  const auto file = sdkFolder() / "ZUMBoolCache_a2563c50c81b159a8f63a91d2be8abb6";
  EXPECT_FALSE(ZUMBoolCacheValueForKey("init_delay"));
  ZUMBoolCacheSetValueForKey("init_delay", true);
  EXPECT_TRUE(std::filesystem::exists(file));
  EXPECT_EQ(std::filesystem::file_size(file), 0u);
  EXPECT_TRUE(ZUMBoolCacheValueForKey("init_delay"));
  ZUMBoolCacheSetValueForKey("init_delay", true);
  EXPECT_TRUE(ZUMBoolCacheValueForKey("init_delay"));
  EXPECT_FALSE(ZUMBoolCacheValueForKey("other"));

  ZUMBoolCacheSetValueForKey("init_delay", false);
  EXPECT_FALSE(std::filesystem::exists(file));
  EXPECT_FALSE(ZUMBoolCacheValueForKey("init_delay"));
  ZUMBoolCacheSetValueForKey("init_delay", false);

  ZUMBoolCacheSetValueForKey(std::nullopt, true);
  EXPECT_FALSE(ZUMBoolCacheValueForKey(std::nullopt));
}

TEST_F(ZUMFilesTest, DiskSpaceOfTheDocumentsFileSystem) {
  platform::ErrorPtr error;
  auto parameters = ZUMDiskSpaceParameters(&error);
  ASSERT_TRUE(parameters);
  EXPECT_FALSE(error);
  ASSERT_TRUE((*parameters)["disk_free_bytes"].is_number_unsigned());
  ASSERT_TRUE((*parameters)["disk_total_bytes"].is_number_unsigned());
  EXPECT_LE((*parameters)["disk_free_bytes"].get<std::uint64_t>(),
            (*parameters)["disk_total_bytes"].get<std::uint64_t>());
  EXPECT_GT((*parameters)["disk_total_bytes"].get<std::uint64_t>(), 0u);
}

}  // namespace
