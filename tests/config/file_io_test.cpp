#include "config/file_io.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "config_fixture.h"

namespace glim::config {
namespace {

namespace fs = std::filesystem;
using testing::readFile;
using testing::TempDir;
using testing::writeFile;

TEST(FileIo, ReplacingKeepsTheOldFilesPermissionsAndLinks) {
  TempDir dir;
  const std::string path = dir.file("setup.txt");
  writeFile(path, "old");
  fs::permissions(path, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  EXPECT_EQ(replaceFile(path, "new\r\n"), std::nullopt);
  EXPECT_EQ(readFile(path), "new\r\n");
  EXPECT_EQ(fs::status(path).permissions(), fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);

  // Saving through a link writes the file it points at; the link stays.
  const std::string link = dir.file("link.txt");
  fs::create_symlink(path, link);
  EXPECT_EQ(replaceFile(link, "via link"), std::nullopt);
  EXPECT_TRUE(fs::is_symlink(link));
  EXPECT_EQ(readFile(path), "via link");
  EXPECT_EQ(dir.entries(), (std::vector<std::string>{"link.txt", "setup.txt"}));
}

}  // namespace
}  // namespace glim::config
