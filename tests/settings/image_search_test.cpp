#include <gtest/gtest.h>

#include <fstream>

#include "settings/host_discovery.h"
#include "settings/image_search.h"
#include "support/temp_folder.h"

namespace quiltor {
namespace {

namespace fs = std::filesystem;

// A folder tree standing in for a Wine prefix with drives C, D and G, two
// mounted CD-ROMs (a hard disk mount between them) and a map folder.
class HostTree {
 public:
  HostTree() {
    fs::create_directories(root() / "prefix/drive_c");
    fs::create_directories(root() / "prefix/dosdevices");
    fs::create_directories(root() / "ddrive");
    fs::create_directories(root() / "gdrive");
    fs::create_directories(root() / "cd one");
    fs::create_directories(root() / "cd2");
    fs::create_directories(root() / "maps");
    fs::create_directory_symlink("../drive_c", root() / "prefix/dosdevices/c:");
    fs::create_directory_symlink(root() / "ddrive", root() / "prefix/dosdevices/d:");
    fs::create_directory_symlink(root() / "gdrive", root() / "prefix/dosdevices/g:");
    std::ofstream(root() / "mounts") << "/dev/sda1 / ext4 rw 0 0\n"
                                     << "/dev/sr0 " << (root() / "cd\\040one").string() << " iso9660 ro 0 0\n"
                                     << "/dev/sdb1 " << (root() / "ddrive").string() << " ext4 rw 0 0\n"
                                     << "/dev/sr1 " << (root() / "cd2").string() << " udf ro 0 0\n";
    context.environment.winePrefix = root() / "prefix";
    context.environment.mountsFile = root() / "mounts";
    context.environment.programFolder = root() / "bin";
  }
  const fs::path& root() const { return tmp.path(); }
  std::string Make(const std::string& relative) const {
    const fs::path p = root() / relative;
    fs::create_directories(p.parent_path());
    std::ofstream(p) << "x";
    return p.string();
  }

  testing::TempFolder tmp;
  ImageSearchContext context;
};

TEST(ImageSearch, CandidatesAreTriedInOrder) {
  HostTree tree;
  tree.context.hostPaths.folders = {"D:\\Host Images", "", tree.root().string() + "/linux images", ""};
  tree.context.hostPaths.checkDrives = "GQ";  // Q is no drive of the prefix: skipped
  const std::string map = (tree.root() / "maps/sheet.map").string();
  // Every place the image may be found for a path written on Windows, in the
  // order they must win; each is created, then removed from the front.
  const std::vector<std::string> places = {
      "ddrive/Topo/Sheet.tif",             // as written
      "maps/Sheet.tif",                    // beside the map
      "cd one/Topo/Sheet.tif",             // first CD-ROM with the written folder
      "cd one/Sheet.tif",                  // first CD-ROM root
      "cd2/Topo/Sheet.tif",                // second CD-ROM
      "cd2/Sheet.tif",
      "ddrive/Host Images/Sheet.tif",      // host image folder 1
      "linux images/Sheet.tif",            // host image folder 3
      "gdrive/Topo/Sheet.tif",             // check drive G with the written folder
      "gdrive/Sheet.tif",                  // check drive G root
  };
  std::vector<std::string> made;
  for (const auto& p : places) made.push_back(tree.Make(p));
  for (std::size_t i = 0; i < made.size(); ++i) {
    EXPECT_EQ(FindMapImage("D:\\Topo\\Sheet.tif", map, tree.context), made[i]) << places[i];
    fs::remove(made[i]);
  }
  EXPECT_EQ(FindMapImage("D:\\Topo\\Sheet.tif", map, tree.context), "");
}

TEST(ImageSearch, SpecialWrittenPaths) {
  HostTree tree;
  const std::string map = (tree.root() / "maps/a.map").string();
  struct Case {
    const char* written;
    std::vector<std::string> files;  // relative to the tree
    const char* expected;            // relative to the tree; "" for not found
  };
  const Case cases[] = {
      // "#CD#" stands for the first mounted CD-ROM
      {"#CD#Maps\\s.tif", {"cd one/Maps/s.tif"}, "cd one/Maps/s.tif"},
      // a map moved with its image finds it beside itself, whatever line 3 says
      {"/old/home/maps/s.png", {"maps/s.png"}, "maps/s.png"},
      {"C:\\Users\\x\\s.png", {"maps/s.png"}, "maps/s.png"},
      {"\\\\server\\share\\s.png", {"maps/s.png"}, "maps/s.png"},
      // a Windows map whose image differs in letter case
      {"E:\\CHARTS\\S.KAP", {"maps/s.kap"}, "maps/s.kap"},
      // a drive letter goes through the prefix
      {"C:\\Maps\\t.bmp", {"prefix/drive_c/Maps/t.bmp"}, "prefix/drive_c/Maps/t.bmp"},
      // national raster products: drive dropped, product folders on c..f
      {"X:\\mapsheets-cd\\q\\m.tif", {"prefix/drive_c/Natmap/mapsheets-cd/q/m.tif"},
       "prefix/drive_c/Natmap/mapsheets-cd/q/m.tif"},
      {"X:\\data\\RastersStandard\\m.ecw", {"ddrive/Program Files/NATMAP/NATMAP RASTER VIEWER/1.5/data/RastersStandard/m.ecw"},
       "ddrive/Program Files/NATMAP/NATMAP RASTER VIEWER/1.5/data/RastersStandard/m.ecw"},
      {"Z:\\nowhere\\n.tif", {}, ""},
      {"   ", {"maps/a.map"}, ""},
  };
  for (const auto& c : cases) {
    std::vector<std::string> made;
    for (const auto& f : c.files) made.push_back(tree.Make(f));
    const std::string expected = *c.expected ? (tree.root() / c.expected).string() : "";
    EXPECT_EQ(FindMapImage(c.written, map, tree.context), expected) << c.written;
    for (const auto& m : made) fs::remove(m);
  }
  EXPECT_EQ(FindMapImage("C:\\Maps\\t.bmp", "", tree.context), "");  // no map path: nothing
}

TEST(ImageSearch, HostFolderTrailingSeparatorGivesSameCandidates) {
  HostTree tree;
  tree.context.hostPaths.folders = {"D:\\Images", "", "", ""};
  const auto a = ImageCandidates("s.tif", "/m/a.map", tree.context);
  tree.context.hostPaths.folders = {"D:\\Images\\", "", "", ""};
  // LoadHostImagePaths strips the separator; the written form must not matter
  const auto written = tree.Make("prefix/x/tervan.ini");
  std::ofstream(written) << "[Map Images]\r\nImage File Path 1=D:\\Images\\\r\nCheck Drives=G\r\n";
  fs::create_directories(tree.root() / "bin");
  fs::copy_file(written, tree.root() / "bin/tervan.ini");
  const HostImagePaths loaded = LoadHostImagePaths(tree.context.environment);
  EXPECT_EQ(loaded.folders[0], "D:\\Images");
  EXPECT_EQ(loaded.checkDrives, "G");
  tree.context.hostPaths = loaded;
  tree.context.hostPaths.checkDrives.clear();
  EXPECT_EQ(ImageCandidates("s.tif", "/m/a.map", tree.context), a);
}

TEST(HostDiscovery, FindsHostInPrefixAndReadsItsIni) {
  HostTree tree;
  EXPECT_EQ(FindHostFolder(tree.context.environment), "");
  EXPECT_EQ(LoadHostImagePaths(tree.context.environment).folders[0], "");  // no host, no ini: nothing
  tree.Make("ddrive/Program Files/Tervane/Tervane.exe");
  EXPECT_EQ(FindHostFolder(tree.context.environment), (tree.root() / "ddrive/Program Files/Tervane").string());
  tree.Make("prefix/drive_c/Program Files (x86)/Tervane/tervan.exe");  // drive C wins over D
  const std::string host = FindHostFolder(tree.context.environment);
  EXPECT_EQ(host, (tree.root() / "prefix/drive_c/Program Files (x86)/Tervane").string());
  std::ofstream(fs::path(host) / "tervan.ini") << "[Map Images]\r\nImage File Path 2= E:\\Charts\\ \r\n";
  EXPECT_EQ(LoadHostImagePaths(tree.context.environment).folders[1], "E:\\Charts");

  EXPECT_EQ(FirstCDROMDrive(tree.context.environment), (tree.root() / "cd one").string() + "/");
  tree.context.environment.mountsFile = tree.root() / "no-mounts";
  EXPECT_EQ(FirstCDROMDrive(tree.context.environment), "");
  tree.context.environment.winePrefix.clear();
  EXPECT_EQ(FindHostFolder(tree.context.environment), "");
}

}  // namespace
}  // namespace quiltor
