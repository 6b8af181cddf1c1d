#include "common/mounts.h"

#include <gtest/gtest.h>

#include <fstream>

#include "support/temp_folder.h"

namespace quiltor {
namespace {

using testing::TempFolder;

// A mount table with a disc whose mount point has a blank ("\040"), a hard
// disk mounted inside a disc, and a disc inside a hard disk.
struct MountTree {
  TempFolder temp;
  std::filesystem::path root = std::filesystem::canonical(temp.path());
  std::filesystem::path table = root / "mounts";

  MountTree() {
    for (const char* folder : {"cd one/inner", "disk/cd", "plain"}) std::filesystem::create_directories(root / folder);
    std::ofstream(table) << "/dev/sda1 / ext4 rw 0 0\n"
                         << "/dev/sr0 " << (root / "cd\\040one").string() << " iso9660 ro 0 0\n"
                         << "/dev/sdb1 " << (root / "cd\\040one/inner").string() << " ext4 rw 0 0\n"
                         << "short line\n"
                         << "/dev/sdc1 " << (root / "disk").string() << " xfs rw 0 0\n"
                         << "/dev/sr1 " << (root / "disk/cd").string() << " udf ro 0 0\n";
  }
};

TEST(Mounts, TheDeepestMountPointDecidesAndEscapesAreDecoded) {
  const MountTree tree;
  struct Case {
    const char* path;
    bool optical;
  } const cases[] = {
      {"cd one", true},
      {"cd one/file.tif", true},     // below the mount point, existing or not
      {"cd one/inner", false},       // a hard disk mounted inside the disc
      {"cd one/../plain", false},    // resolved before it is compared
      {"disk", false},
      {"disk/cd/", true},
      {"disk/cdrom", false},         // a longer name is not inside "cd"
      {"plain", false},
  };
  for (const auto& c : cases) EXPECT_EQ(IsOnOpticalDisc(tree.root / c.path, tree.table), c.optical) << c.path;

  EXPECT_EQ(OpticalDiscMounts(tree.table),
            (std::vector<std::filesystem::path>{tree.root / "cd one", tree.root / "disk/cd"}));
  EXPECT_EQ(ReadMountTable(tree.table).size(), 5u);  // the short line is skipped
  EXPECT_TRUE(ReadMountTable(tree.root / "no such table").empty());
  EXPECT_FALSE(IsOnOpticalDisc(tree.root / "cd one", tree.root / "no such table"));
}

TEST(Mounts, FolderSettingsAndTheirMessages) {
  const TempFolder temp;
  std::ofstream(temp / "file") << "x";
  struct Case {
    std::string folder;
    FolderProblem problem;
  } const cases[] = {
      {temp.path().string(), FolderProblem::None},
      {"  " + temp.path().string() + "/  ", FolderProblem::None},  // as typed: blanks and a separator
      {(temp / "file").string(), FolderProblem::NotAFolder},
      {(temp / "none").string(), FolderProblem::NotAFolder},
      {"   ", FolderProblem::NotAFolder},
  };
  for (const auto& c : cases) EXPECT_EQ(CheckFolderSetting(c.folder), c.problem) << "'" << c.folder << "'";

  EXPECT_EQ(FolderProblemMessage("Destination", FolderProblem::NotAFolder), "The Destination Folder is not valid");
  EXPECT_EQ(FolderProblemMessage("Temp File", FolderProblem::OnOpticalDisc), "The Temp File Folder is on a CDROM");
  EXPECT_EQ(FolderProblemMessage("Temp File", FolderProblem::OnOpticalDisc), kTempFolderOnCdrom);
  EXPECT_EQ(FolderProblemMessage("Destination", FolderProblem::None), "");
}

}  // namespace
}  // namespace quiltor
