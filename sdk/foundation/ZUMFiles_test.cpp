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
  ASSERT_TRUE(ZUMCacheDirectoryURL("Precache", &error));
  EXPECT_TRUE(std::filesystem::is_directory(sdkFolder() / "Precache"));
  EXPECT_EQ(ZUMCacheDirectoryURL("", nullptr)->path(), sdkFolder().string());
}

TEST_F(ZUMFilesTest, NamesLeadingOutOfTheFolderAreRefused) {
  for (std::string_view name :
       {std::string_view(".."), std::string_view("../Documents"), std::string_view("a\0b", 3)}) {
    platform::ErrorPtr error;
    EXPECT_FALSE(ZUMCacheDirectoryURL(name, &error)) << name;
    ASSERT_TRUE(error);
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
  EXPECT_FALSE(ZUMBoolCacheValueForKey("other"));
  ZUMBoolCacheSetValueForKey("init_delay", false);
  EXPECT_FALSE(std::filesystem::exists(file));
}

TEST_F(ZUMFilesTest, DiskSpaceOfTheDocumentsFileSystem) {
  platform::ErrorPtr error;
  auto parameters = ZUMDiskSpaceParameters(&error);
  ASSERT_TRUE(parameters);
  EXPECT_TRUE((*parameters)["disk_free_bytes"].is_number_unsigned());
}

}  // namespace
