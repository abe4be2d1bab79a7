#include "platform/ui/Bundle.h"

#include <filesystem>
#include <fstream>

#include <gtest/gtest.h>

#include "testing/TestEnvironment.h"

namespace platform {
namespace {

TEST(BundleTest, LooksResourcesUpByNameAndTypeInsideItsFolderOnly) {
  testenv::TestEnvironment env;
  const auto folder = env.root() / "Resources";
  std::filesystem::create_directories(folder / "sub");
  std::ofstream(folder / "embedded.mobileprovision") << "profile";
  std::ofstream(folder / "README") << "plain";
  std::ofstream(folder / "sub" / "inner.txt") << "inner";
  std::ofstream(env.root() / "x") << "outside";
  Bundle::main().setResourcePath(folder.string());
  EXPECT_EQ(Bundle::main().resourcePath(), folder.string());

  const struct {
    const char* name;
    const char* type;
    bool found;
  } rows[] = {
      {"embedded", "mobileprovision", true},
      {"README", "", true},
      {"embedded", "txt", false},
      {"missing", "mobileprovision", false},
      {"", "mobileprovision", false},
      {"../x", "", false},
      {"..", "", false},
      {"sub/inner", "txt", false},
      {"sub", "", false},  // a folder, not a file
      {"inner", "../x", false},
      {"embedded", "mobile/provision", false},
  };
  for (const auto& row : rows) {
    const auto path = Bundle::main().pathForResource(row.name, row.type);
    EXPECT_EQ(path.has_value(), row.found) << row.name << "." << row.type;
    if (path) {
      EXPECT_EQ(std::filesystem::path(*path).parent_path(), folder) << row.name;
    }
  }
  EXPECT_EQ(Bundle::main().pathForResource("embedded", "mobileprovision"),
            (folder / "embedded.mobileprovision").string());
}

TEST(BundleTest, TheResourceFolderIsTheExecutablesUntilSet) {
  const auto executable = std::filesystem::read_symlink("/proc/self/exe");
  EXPECT_EQ(Bundle::main().resourcePath(), executable.parent_path().string());
  EXPECT_TRUE(Bundle::main().pathForResource(executable.filename().string(), "").has_value());
}

}  // namespace
}  // namespace platform
