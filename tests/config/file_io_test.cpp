#include "config/file_io.h"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
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
  EXPECT_EQ(replaceFile(path, "new\r\n"), text::Outcome());
  EXPECT_EQ(readFile(path), "new\r\n");
  EXPECT_EQ(fs::status(path).permissions(), fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);

  // Saving through a link writes the file it points at; the link stays.
  const std::string link = dir.file("link.txt");
  fs::create_symlink(path, link);
  EXPECT_EQ(replaceFile(link, "via link"), text::Outcome());
  EXPECT_TRUE(fs::is_symlink(link));
  EXPECT_EQ(readFile(path), "via link");
  EXPECT_EQ(dir.entries(), (std::vector<std::string>{"link.txt", "setup.txt"}));

  // A link to a link, relative, ending at nothing yet: the last name is created.
  fs::create_symlink("dangling.txt", dir.file("chain.txt"));
  fs::create_symlink("sub/made.txt", dir.file("dangling.txt"));
  fs::create_directory(dir.file("sub"));
  EXPECT_EQ(replaceFile(dir.file("chain.txt"), "made"), text::Outcome());
  EXPECT_TRUE(fs::is_symlink(dir.file("chain.txt")) && fs::is_symlink(dir.file("dangling.txt")));
  EXPECT_EQ(readFile(dir.file("sub/made.txt")), "made");
}

// What the script tests cannot reach: a device, whose name without a dot gets
// the dialog's default extension, is neither read nor replaced. The device is
// a node of the null device made in the test's own folder, so that a broken
// refusal replaces nothing of the system's (the suite runs as root).
TEST(FileIo, ADeviceIsRefusedAtOnce) {
  TempDir dir;
  const std::string path = dir.file("null");
  if (mknod(path.c_str(), S_IFCHR | 0666, makedev(1, 3)) != 0) {
    GTEST_SKIP() << "cannot make a device node in " << dir.path() << " (" << std::strerror(errno)
                 << "); making one needs root";
  }
  FileSource source;
  EXPECT_EQ(source.open(path), text::Outcome(text::Failure("Is a device")));
  EXPECT_EQ(replaceFile(path, "x"), text::Outcome(text::Failure("Is a device")));
  EXPECT_TRUE(fs::is_character_file(path));
  EXPECT_EQ(dir.entries(), (std::vector<std::string>{"null"}));
}

// Nor can they make a socket: it is neither read nor replaced.
TEST(FileIo, ASocketIsRefusedAtOnce) {
  TempDir dir;
  const std::string path = dir.file("socket");
  const int fd = socket(AF_UNIX, SOCK_STREAM, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  ASSERT_LT(path.size(), sizeof address.sun_path);
  path.copy(address.sun_path, path.size());
  ASSERT_EQ(bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);

  FileSource source;
  EXPECT_EQ(source.open(path), text::Outcome(text::Failure("Is a socket")));
  EXPECT_EQ(replaceFile(path, "x"), text::Outcome(text::Failure("Is a socket")));
  EXPECT_TRUE(fs::is_socket(path));
  close(fd);
}

// A shared folder that takes no new file, holding a file the user may write:
// the save writes that file in place, cutting it to the new length.
TEST(FileIo, AFolderThatTakesNoNewFileGetsTheFileWrittenInPlace) {
  TempDir dir;
  const std::string path = dir.file("shared.txt");
  writeFile(path, "the old contents, longer than the new");
  const auto mode = fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read | fs::perms::group_write |
                    fs::perms::others_read | fs::perms::others_write;
  fs::permissions(path, mode);
  fs::permissions(dir.path(), fs::perms::owner_read | fs::perms::owner_exec | fs::perms::group_read |
                                  fs::perms::group_exec | fs::perms::others_read | fs::perms::others_exec);
  // Root may write into any folder: the save runs as an ordinary user then.
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0)) _exit(3);
    _exit(replaceFile(path, "new").ok() ? 0 : 1);
  }
  int status = 0;
  waitpid(child, &status, 0);
  fs::permissions(dir.path(), fs::perms::owner_all, fs::perm_options::add);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "status " << status;
  EXPECT_EQ(readFile(path), "new");
  EXPECT_EQ(fs::status(path).permissions(), mode);
  EXPECT_EQ(dir.entries(), (std::vector<std::string>{"shared.txt"}));
}

}  // namespace
}  // namespace glim::config
