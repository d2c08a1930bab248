#include "forms/ui_host.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

namespace glim::forms {
namespace {

TEST(FileDialog, DefaultExtensionGoesOnlyOnANameWithoutOne) {
  const std::string dir = ::testing::TempDir();  // an existing directory, ends with '/'
  struct Case {
    std::string typed;
    std::string defaultExt;
    std::string returned;
  };
  const Case cases[] = {
      {"setup", "txt", "setup.txt"},
      {"setup", " .txt ", "setup.txt"},
      {"my settings", "txt", "my settings.txt"},
      {"setup", "", "setup"},
      {"setup", " . ", "setup"},
      {"setup.cfg", "txt", "setup.cfg"},
      {"setup.", "txt", "setup."},
      {".setup", "txt", ".setup"},
      // Only the last part of the path counts.
      {"a.b/setup", "txt", "a.b/setup.txt"},
      {"a/b.c", "txt", "a/b.c"},
      // No file named: a directory, a path ending in a separator, nothing.
      {dir, "txt", dir},
      {dir.substr(0, dir.size() - 1), "txt", dir.substr(0, dir.size() - 1)},
      {"nowhere/", "txt", "nowhere/"},
      {"", "txt", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE("\"" + c.typed + "\" with \"" + c.defaultExt + "\"");
    EXPECT_EQ(withDefaultExtension(c.typed, c.defaultExt), c.returned);
  }
}

// Cancel is told apart by itself, not by an empty name: a dialog may hand
// back "" (a name typed as nothing), which is still no Cancel.
TEST(FileDialog, CancelIsNoChoiceOfAnyName) {
  const FileChoice cancelled = FileChoice::cancelled();
  EXPECT_TRUE(cancelled.isCancelled());
  EXPECT_FALSE(FileChoice::chosen("").isCancelled());
  EXPECT_NE(FileChoice::chosen(""), cancelled);
  EXPECT_EQ(FileChoice::chosen("a.txt").path(), "a.txt");
}

}  // namespace
}  // namespace glim::forms
