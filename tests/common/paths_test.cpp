#include <gtest/gtest.h>

#include "common/paths.h"

namespace quiltor {
namespace {

TEST(Paths, SplitOnBothSeparators) {
  struct Case { const char* path; const char* name; const char* folder; const char* ext; };
  const Case cases[] = {
      {"C:\\Maps\\Sheet 1.map", "Sheet 1.map", "C:\\Maps", ".map"},
      {"/home/u/maps/a.b.png", "a.b.png", "/home/u/maps", ".png"},
      {"mixed/dir\\file", "file", "mixed/dir", ""},
      {"plain.kap", "plain.kap", "", ".kap"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(FileNamePart(c.path), c.name);
    EXPECT_EQ(FolderPart(c.path), c.folder);
    EXPECT_EQ(ExtensionPart(c.path), c.ext);
  }
  EXPECT_EQ(ChangeExtension("/a/b.qtx2", ".map"), "/a/b.map");
  EXPECT_EQ(ChangeExtension("/a.d/b", ".map"), "/a.d/b.map");
}

TEST(Paths, TrailingSeparators) {
  EXPECT_EQ(AddTrailingSeparator(" /tmp/x "), "/tmp/x/");
  EXPECT_EQ(AddTrailingSeparator("/tmp/x//"), "/tmp/x/");
  EXPECT_EQ(AddTrailingSeparator(""), "");
  EXPECT_EQ(StripTrailingSeparator("/tmp/x/ "), "/tmp/x");
  EXPECT_EQ(StripTrailingSeparator("/"), "/");
  EXPECT_TRUE(EqualsIgnoreCase("/Maps/A", "/maps/a"));
}

}  // namespace
}  // namespace quiltor
