#include "platform/base/FileManager.h"

#include <cerrno>
#include <sys/stat.h>

#include "testing/TestEnvironment.h"

namespace platform {
namespace {

class FileManagerTest : public testenv::PlatformTest {
 protected:
  void SetUp() override { FileManager::setApplicationHome(env.root()); }
  void TearDown() override { FileManager::setApplicationHome({}); }
};

TEST_F(FileManagerTest, ApplicationFoldersLiveUnderTheHome) {
  EXPECT_EQ(FileManager::cachesDirectory(), env.root() / "Library" / "Caches");
  EXPECT_EQ(FileManager::temporaryDirectory(), env.root() / "tmp");
  // Made on demand when a test removed them.
  std::filesystem::remove_all(env.root() / "Library");
  EXPECT_TRUE(FileManager::isDirectory(FileManager::cachesDirectory()));

  FileManager::setApplicationHome({});
  EXPECT_NE(FileManager::applicationHome(), env.root());
}

TEST_F(FileManagerTest, AtomicWriteReplacesWholeFileAndLeavesNoTemporary) {
  auto dir = FileManager::cachesDirectory() / "Morvane";
  ASSERT_TRUE(FileManager::createDirectory(dir / "a" / "b"));

  auto file = dir / "flag";
  ASSERT_TRUE(FileManager::writeAtomically(file, "first version"));
  ASSERT_TRUE(FileManager::writeAtomically(file, std::string("\0two", 4)));
  EXPECT_EQ(FileManager::readFile(file), std::string("\0two", 4));
  EXPECT_EQ(FileManager::contentsOfDirectory(dir), (std::vector<std::string>{"a", "flag"}));

  // A write that cannot complete leaves the old file whole and no temporary behind:
  // the rename over a folder fails after the data was written.
  ErrorPtr error;
  EXPECT_FALSE(FileManager::writeAtomically(dir / "a", "over a folder", &error));
  EXPECT_TRUE(error);
  EXPECT_TRUE(FileManager::isDirectory(dir / "a" / "b"));
  EXPECT_EQ(FileManager::contentsOfDirectory(dir), (std::vector<std::string>{"a", "flag"}));

  // Nor can a folder that may not be written (unless running as root).
  ASSERT_EQ(::chmod(dir.c_str(), 0555), 0);
  bool wrote = FileManager::writeAtomically(file, "third", &error);
  ::chmod(dir.c_str(), 0755);
  if (::geteuid() != 0) {  // root ignores the mode
    EXPECT_FALSE(wrote);
    EXPECT_EQ(FileManager::readFile(file), std::string("\0two", 4));
  }
  EXPECT_EQ(FileManager::contentsOfDirectory(dir), (std::vector<std::string>{"a", "flag"}));

  // Writing into a missing folder fails cleanly.
  EXPECT_FALSE(FileManager::writeAtomically(dir / "missing" / "f", "x", &error));
  EXPECT_EQ(error->code(), ENOENT);
}

TEST_F(FileManagerTest, FailuresAreErrorsNotExceptions) {
  auto missing = env.root() / "missing";
  ErrorPtr error;
  EXPECT_EQ(FileManager::readFile(missing, &error), std::nullopt);
  ASSERT_TRUE(error);
  EXPECT_EQ(error->code(), ENOENT);
  EXPECT_EQ(FileManager::contentsOfDirectory(missing), std::nullopt);
  EXPECT_FALSE(FileManager::removeItem(missing, &error));
  EXPECT_EQ(FileManager::readFile(env.root(), &error), std::nullopt);  // a folder
  EXPECT_EQ(error->code(), EISDIR);

  // A file in the way of a folder.
  ASSERT_TRUE(FileManager::writeAtomically(env.root() / "file", "x"));
  EXPECT_FALSE(FileManager::createDirectory(env.root() / "file", &error));
}

TEST_F(FileManagerTest, RemovesTreesAndReportsDatesAndSpace) {
  auto tree = FileManager::temporaryDirectory() / "tree";
  ASSERT_TRUE(FileManager::createDirectory(tree / "x" / "y"));
  ASSERT_TRUE(FileManager::writeAtomically(tree / "x" / "y" / "f", "data"));
  EXPECT_FALSE(FileManager::isDirectory(tree / "x" / "y" / "f"));
  ASSERT_TRUE(FileManager::removeItem(tree));
  EXPECT_FALSE(FileManager::exists(tree));

  ASSERT_TRUE(FileManager::writeAtomically(FileManager::documentsDirectory() / "d", ""));
  auto created = FileManager::creationDate(FileManager::documentsDirectory() / "d");
  ASSERT_TRUE(created.has_value());
  EXPECT_GT(*created, 1'500'000'000.0);  // a real date, not the virtual clock's

  auto space = FileManager::diskSpace(FileManager::documentsDirectory());
  ASSERT_TRUE(space.has_value());
  EXPECT_LE(space->freeBytes, space->totalBytes);
  EXPECT_EQ(FileManager::diskSpace(env.root() / "missing"), std::nullopt);
}

}  // namespace
}  // namespace platform
