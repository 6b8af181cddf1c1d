// Bad input on the command line: every case is refused with its exit code
// and a message naming the option or file, and no file outside the work
// folder changes.
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <csignal>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "cli/cli_run.h"
#include "support/file_bytes.h"
#include "support/temp_folder.h"

namespace quiltor::cli {
namespace {

namespace fs = std::filesystem;
using quiltor::testing::ReadFileBytes;
using quiltor::testing::TempFolder;

const fs::path kFixtures = fs::path(QUILTOR_SOURCE_DIR) / "tests/fixtures/creation";

// Every file below `folder` with its bytes (links read through).
std::map<std::string, std::vector<std::uint8_t>> Snapshot(const fs::path& folder) {
  std::map<std::string, std::vector<std::uint8_t>> files;
  for (const auto& entry : fs::recursive_directory_iterator(folder))
    if (entry.is_regular_file()) files[entry.path().string()] = ReadFileBytes(entry.path());
  return files;
}

// The three fixture maps (two PNG, one GIF) in `folder`.
void CopyFixtureMaps(const fs::path& folder) {
  fs::create_directories(folder);
  for (const auto& entry : fs::directory_iterator(kFixtures)) {
    const std::string ext = entry.path().extension().string();
    if (ext == ".map" || ext == ".png" || ext == ".gif") fs::copy_file(entry.path(), folder / entry.path().filename());
  }
}

bool Has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

std::vector<std::string> CreateArgs(const fs::path& folder, const fs::path& output, const fs::path& work,
                                    const std::string& mpp = "100") {
  return {"create", "--folder", folder.string(), "-o", output.string(), "--projection", "utm", "--zone", "32",
          "--mpp", mpp, "--temp", work.string()};
}

TEST(BadInput, CreateNeverWritesOverAFileOfAScannedMap) {
  TempFolder temp;
  const fs::path maps = temp / "maps";
  const fs::path work = temp / "work";
  CopyFixtureMaps(maps);
  fs::create_directories(work);
  fs::create_symlink(maps / "fx-middle-tm-ed50.map", temp / "alias.map");
  fs::create_symlink(maps / "fx-detail-utm32.png", temp / "image-link.qtx2");
  fs::create_hard_link(maps / "fx-overview-latlon.map", temp / "hard.map");
  // A map file the scan cannot read is still a sheet's calibration.
  std::ofstream(maps / "broken.map") << "Tervane Map Data File Version 2.2\nbroken\n";
  const struct {
    const char* why;
    fs::path output;
  } cases[] = {
      {"the .map twin is a sheet's map file", maps / "fx-detail-utm32.qtx2"},
      {"another spelling of it", maps / ".." / "maps" / "." / "fx-middle-tm-ed50.qtx2"},
      {"the twin is a link to a map file", temp / "alias.qtx2"},
      {"the twin is a hard link to a map file", temp / "hard.qtx2"},
      {"the output is a link to a sheet's image", temp / "image-link.qtx2"},
      {"the twin is a map file the scan refused", maps / "broken.qtx2"},
  };
  const auto before = Snapshot(temp.path());
  for (const auto& c : cases) {
    const CliRun r = Cli(CreateArgs(maps, c.output, work));
    EXPECT_EQ(r.code, kExitBadArguments) << c.why << "\n" << r.out << r.err;
    EXPECT_TRUE(Has(r.err, "a file of the scanned map")) << c.why << "\n" << r.err;
    EXPECT_EQ(Snapshot(temp.path()), before) << c.why;
  }
}

// An earlier result of the same create sits in the scanned folder: it is
// replaced, not merged into its own replacement.
TEST(BadInput, CreateLeavesItsEarlierResultOutOfTheSources) {
  TempFolder temp;
  CopyFixtureMaps(temp / "maps");
  const fs::path output = temp / "maps" / "merged.qtx2";
  for (int run = 0; run < 2; ++run) {
    std::vector<std::string> argv = CreateArgs(temp / "maps", output, temp.path());
    argv.push_back("--json");
    const CliRun r = Cli(argv);
    ASSERT_EQ(r.code, kExitSuccess) << r.out << r.err;
    EXPECT_TRUE(Has(r.out, "\"maps\": 3,")) << "run " << run << ": " << r.out;
  }
}

// Sources whose images cannot be read are named with the reason; when none
// could be read the create fails and writes nothing.
TEST(BadInput, CreateNamesTheImagesItCouldNotRead) {
  const struct {
    const char* name;
    bool othersReadable;
    const char* mpp;
    int code;
  } cases[] = {
      {"the only source is damaged", false, "20", kExitFailed},
      {"one of three sources is damaged", true, "100", kExitSuccess},
  };
  for (const auto& c : cases) {
    TempFolder temp;
    const fs::path maps = temp / "maps";
    CopyFixtureMaps(maps);
    if (!c.othersReadable) {
      for (const char* other : {"fx-middle-tm-ed50", "fx-overview-latlon"}) fs::remove(maps / (std::string(other) + ".map"));
    }
    const fs::path damaged = maps / "fx-detail-utm32.png";
    fs::resize_file(damaged, fs::file_size(damaged) / 2);
    const auto before = Snapshot(maps);
    const fs::path output = temp / "merged.qtx2";
    const std::string reason = "Error Reading File! (libpng";

    const CliRun text = Cli(CreateArgs(maps, output, temp.path(), c.mpp));
    EXPECT_EQ(text.code, c.code) << c.name << "\n" << text.out << text.err;
    EXPECT_TRUE(Has(text.out, "could not open " + damaged.string() + ": " + reason)) << c.name << "\n" << text.out;

    std::vector<std::string> argv = CreateArgs(maps, temp / "again.qtx2", temp.path(), c.mpp);
    argv.push_back("--json");
    const CliRun json = Cli(argv);
    EXPECT_EQ(json.code, c.code) << c.name << "\n" << json.err;
    EXPECT_TRUE(Has(json.out, "\"openFailures\": [{\"image\": \"" + damaged.string() + "\", \"cause\": \"" + reason))
        << c.name << "\n" << json.out;
    EXPECT_EQ(Has(json.out, "\"written\": true"), c.code == kExitSuccess) << c.name;

    EXPECT_EQ(fs::exists(output), c.code == kExitSuccess) << c.name;
    EXPECT_EQ(fs::exists(temp / "merged.map"), c.code == kExitSuccess) << c.name;
    EXPECT_EQ(Snapshot(maps), before) << c.name;
  }
}

TEST(BadInput, PreviewTileAndOverviewWriteOnlyTheirOwnKindAndNeverTheirInput) {
  TempFolder temp;
  const auto at = [&](const char* name) { return (temp / name).string(); };
  fs::copy_file(kFixtures / "fx-overview-latlon.gif", temp / "sheet.gif");
  fs::copy_file(kFixtures / "fx-detail-utm32.png", temp / "sheet.png");
  fs::create_symlink(temp / "sheet.png", temp / "sheet-link.png");
  fs::create_symlink(temp / "sheet.png", temp / "alias.qtx2");
  const fs::path maps = temp / "maps";
  CopyFixtureMaps(maps);
  fs::create_symlink(maps / "fx-middle-tm-ed50.png", temp / "alias.png");
  const std::vector<std::string> cases[] = {
      {"preview", at("sheet.gif"), "-o", at("sheet.gif")},
      {"preview", at("sheet.gif"), "-o", at("out.gif")},
      {"preview", at("sheet.png"), "-o", at("sheet-link.png")},
      {"preview", at("sheet-link.png"), "-o", (temp / "." / "sheet.png").string()},
      {"tile", at("sheet.png"), "-o", at("out.png")},
      {"tile", at("sheet.png"), "-o", at("out.qtxx3")},
      {"tile", at("sheet.png"), "--scrambled", "-o", at("out.qtx2")},
      {"tile", at("sheet.png"), "-o", at("alias.qtx2")},
      {"overview", "--folder", maps.string(), "-o", (maps / "fx-detail-utm32.png").string()},
      {"overview", "--folder", maps.string(), "-o", at("alias.png")},
      {"overview", "--folder", maps.string(), "-o", at("overview.gif")},
  };
  const auto before = Snapshot(temp.path());
  for (const auto& argv : cases) {
    const CliRun r = Cli(argv);
    EXPECT_EQ(r.code, kExitBadArguments) << argv[0] << " -o " << argv.back() << "\n" << r.err;
    EXPECT_TRUE(Has(r.err, "-o ")) << r.err;
    EXPECT_EQ(Snapshot(temp.path()), before) << argv[0] << " -o " << argv.back();
  }
}

// Files may grow to at most `bytes` while it lives; a write past that fails
// as on a full disk (the signal the kernel would send is ignored).
class FileSizeLimit {
 public:
  explicit FileSizeLimit(rlim_t bytes) : oldHandler_(std::signal(SIGXFSZ, SIG_IGN)) {
    ::getrlimit(RLIMIT_FSIZE, &old_);
    rlimit limit = old_;
    limit.rlim_cur = bytes;
    ::setrlimit(RLIMIT_FSIZE, &limit);
  }
  ~FileSizeLimit() {
    ::setrlimit(RLIMIT_FSIZE, &old_);
    std::signal(SIGXFSZ, oldHandler_);
  }
  FileSizeLimit(const FileSizeLimit&) = delete;
  FileSizeLimit& operator=(const FileSizeLimit&) = delete;

 private:
  rlimit old_{};
  void (*oldHandler_)(int);
};

// A PNG that cannot be written in full fails the command and leaves the
// earlier file of that name whole, with no partial file beside it.
TEST(BadInput, FailedPngWriteKeepsTheEarlierFile) {
  TempFolder temp;
  const fs::path maps = temp / "maps";
  CopyFixtureMaps(maps);
  const fs::path out = temp / "out";
  fs::create_directory(out);
  const fs::path output = out / "picture.png";
  const std::vector<std::string> cases[] = {
      {"preview", (kFixtures / "fx-detail-utm32.png").string(), "-o", output.string()},
      {"overview", "--folder", maps.string(), "-o", output.string()},
  };
  for (const auto& argv : cases) {
    { std::ofstream(output) << "earlier"; }
    CliRun r;
    {
      const FileSizeLimit limit(64);
      r = Cli(argv);
    }
    EXPECT_EQ(r.code, kExitFailed) << argv[0] << "\n" << r.err;
    EXPECT_TRUE(Has(r.err, "cannot write " + output.string())) << r.err;
    EXPECT_EQ(ReadFileBytes(output), std::vector<std::uint8_t>({'e', 'a', 'r', 'l', 'i', 'e', 'r'})) << argv[0];
    EXPECT_EQ(std::distance(fs::directory_iterator(out), fs::directory_iterator()), 1) << argv[0];
  }
}

TEST(BadInput, ValuesOutOfRangeAreRefusedWithTheRange) {
  TempFolder temp;
  const std::string map = (kFixtures / "fx-detail-utm32.map").string();
  const std::string image = (kFixtures / "fx-detail-utm32.png").string();
  const std::string folder = kFixtures.string();
  const std::string output = (temp / "x.qtx2").string();
  const std::string folderOutput = (temp / "folder.qtx2").string();
  fs::create_directories(folderOutput);
  const struct {
    std::vector<std::string> argv;
    int code;
    std::string said;
  } cases[] = {
      {{"grid", "bng", "ZZ", "1", "1"}, kExitBadArguments, "\"ZZ\" lies outside the grid"},
      {{"grid", "bng", "AA", "0", "0"}, kExitBadArguments, "from SV (south-west) to JM (north-east)"},
      {{"grid", "bng", "JM", "0", "0"}, kExitSuccess, ""},
      {{"grid", "bng", "SV", "100000", "100000"}, kExitSuccess, ""},
      {{"grid", "utm", "56H", "-1e9", "-1e9"}, kExitBadArguments, "EASTING of a UTM zone lies within 0 to 1000000"},
      {{"grid", "utm", "56H", "500000", "1e12"}, kExitBadArguments, "NORTHING of a UTM zone lies within 0 to 10000000"},
      {{"grid", "utm", "Z", "2000000", "5000000"}, kExitBadArguments, "NORTHING of a polar zone lies within 0 to 4000000"},
      {{"project", "--projection", "Mercator", "91", "0"}, kExitBadArguments, "LATITUDE must lie within -90 to 90"},
      {{"project", "--projection", "Mercator", "1e308", "0"}, kExitBadArguments, "LATITUDE must lie within -90 to 90"},
      {{"project", "--projection", "Mercator", "0", "181"}, kExitBadArguments, "LONGITUDE must lie within -180 to 180"},
      {{"project", "--projection", "Mercator", "--", "0", "-540"}, kExitBadArguments, "LONGITUDE must lie within"},
      {{"project", "--projection", "Mercator", "--", "-90", "-180"}, kExitSuccess, ""},
      {{"info", map, "--pixel", "1,2,3"}, kExitBadArguments, "--pixel takes two numbers as A,B, not \"1,2,3\""},
      {{"info", map, "--latlon", "91,0"}, kExitBadArguments, "--latlon latitude must lie within -90 to 90"},
      {{"info", map, "--latlon", "0,-181"}, kExitBadArguments, "--latlon longitude must lie within -180 to 180"},
      {{"create", "--folder", folder, "-o", output, "--colors", "0"}, kExitBadArguments, "--colors takes 8 to 256, not 0"},
      {{"create", "--folder", folder, "-o", output, "--colors", "1"}, kExitBadArguments, "--colors takes 8 to 256"},
      {{"create", "--folder", folder, "-o", output, "--colors", "300"}, kExitBadArguments, "--colors takes 8 to 256"},
      {{"create", "--folder", folder, "-o", output, "--resize", "0"}, kExitBadArguments, "--resize takes 1 to 100, not 0"},
      {{"create", "--folder", folder, "-o", output, "--resize", "101"}, kExitBadArguments, "--resize takes 1 to 100"},
      {{"tile", image, "-o", output, "--colors", "255"}, kExitBadArguments, "--colors takes 1 to 254, not 255"},
      {{"tile", image, "-o", output, "--colors", "0"}, kExitBadArguments, "--colors takes 1 to 254"},
      {{"scan", "--folder", folder, "--thumbnail-size", "20"}, kExitBadArguments, "--thumbnail-size takes 50 to 500, not 20"},
      {{"overview", "--folder", folder, "-o", (temp / "o.png").string(), "--thumbnail-size", "501"}, kExitBadArguments, "--thumbnail-size takes 50 to 500"},
      {{"tile", image, "-o", output, "--resize", "101"}, kExitBadArguments, "--resize takes a percentage above 0 and at most 100"},
      {{"create", "--folder", folder, "-o", output, "--threads", "100000"}, kExitBadArguments, "--threads takes 1 to 1024, not 100000"},
      {{"create", "--folder", folder, "-o", folderOutput}, kExitBadArguments, "-o names the folder"},
      {{"tile", image, "-o", folderOutput}, kExitBadArguments, "-o names the folder"},
  };
  for (const auto& c : cases) {
    const CliRun r = Cli(c.argv);
    std::string line;
    for (const std::string& a : c.argv) line += a + " ";
    EXPECT_EQ(r.code, c.code) << line << "\n" << r.out << r.err;
    EXPECT_TRUE(Has(r.err, c.said)) << line << "\n" << r.err;
  }
  EXPECT_FALSE(fs::exists(output));
}

// Messages that point at a window's field name the option on the command line.
TEST(BadInput, ImageTooSmallNamesTheOptions) {
  TempFolder temp;
  const struct {
    std::vector<std::string> argv;
    std::string said;
  } cases[] = {
      {{"create", "--folder", kFixtures.string(), "-o", (temp / "x.qtx2").string(), "--mpp", "100000", "--temp",
        temp.path().string()},
       "Image is too small to process at --mpp 100000 and --resize 100"},
      {{"tile", (kFixtures / "fx-detail-utm32.png").string(), "-o", (temp / "y.qtx2").string(), "--resize", "1",
        "--temp", temp.path().string()},
       "Image is too small to process at --resize 1"},
  };
  for (const auto& c : cases) {
    ::testing::internal::CaptureStderr();
    const CliRun r = Cli(c.argv);
    const std::string shown = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(r.code, kExitFailed) << c.argv[0] << "\n" << r.err;
    EXPECT_TRUE(Has(shown, c.said)) << shown;
    EXPECT_FALSE(Has(shown, "Destination Map tab")) << shown;
  }
}

// Values of the window's settings file that a create replaces are told,
// naming the key and the value; an option given instead silences its key.
TEST(BadInput, SettingsValuesReplacedByDefaultsAreTold) {
  TempFolder temp;
  fs::create_directories(temp / "empty");
  const fs::path ini = temp / "quiltor.ini";
  std::ofstream(ini) << "[Destination Image]\nMap Projection=99\nMap Datum=Nowhere 1900\nMeters per Pixel=100\n"
                        "[System]\nNumber of Colors=300\nReSize=0\n";
  const std::vector<std::string> base = {"create", "--folder", (temp / "empty").string(), "-o",
                                         (temp / "x.qtx2").string(), "--settings", ini.string()};
  const CliRun r = Cli(base);
  const std::string prefix = "quiltor-cli create: --settings " + ini.string() + ": ";
  for (const std::string& note :
       {std::string("\"Map Projection\" = \"99\" is not an index of the projection list (0 to 27); \"Mercator\" is used"),
        std::string("\"Map Datum\" = \"Nowhere 1900\" is not a known datum; \"WGS 84\" is used"),
        std::string("\"Number of Colors\" = \"300\" is outside 8 to 256; 256 is used"),
        std::string("\"ReSize\" = \"0\" is outside 1 to 100; 1 is used")})
    EXPECT_TRUE(Has(r.err, prefix + note)) << note << "\n" << r.err;

  std::vector<std::string> overridden = base;
  for (const char* a : {"--projection", "utm", "--zone", "32", "--datum", "WGS 84", "--colors", "64", "--resize", "50"})
    overridden.push_back(a);
  const CliRun quiet = Cli(overridden);
  EXPECT_FALSE(Has(quiet.err, "--settings")) << quiet.err;
}

// A map file written with a path longer than any the system opens still
// finds its image beside it by file name.
TEST(BadInput, OverlongImagePathIsFoundBesideTheMap) {
  TempFolder temp;
  std::ifstream in(kFixtures / "fx-detail-utm32.map", std::ios::binary);
  std::string text((std::istreambuf_iterator<char>(in)), {});
  std::string longPath = "C:";
  while (longPath.size() < 6000) longPath += "\\a-folder-of-some-length";
  const std::string written = "C:\\Maps\\Quiltor Samples\\fx-detail-utm32.png";
  text.replace(text.find(written), written.size(), longPath + "\\fx-detail-utm32.png");
  std::ofstream(temp / "long.map", std::ios::binary) << text;
  fs::copy_file(kFixtures / "fx-detail-utm32.png", temp / "fx-detail-utm32.png");
  const CliRun r = Cli({"info", (temp / "long.map").string()});
  ASSERT_EQ(r.code, kExitSuccess) << r.err;
  EXPECT_TRUE(Has(r.out, "image file:       " + (temp / "fx-detail-utm32.png").string() + "\n")) << r.out;
  EXPECT_TRUE(Has(r.out, "status ok")) << r.out;
}

}  // namespace
}  // namespace quiltor::cli
