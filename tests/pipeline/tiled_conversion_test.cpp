#include "pipeline/tiled_conversion.h"

#include <gtest/gtest.h>

#include <fstream>
#include <set>
#include <vector>

#include "common/error.h"
#include "raster/formats/format_readers.h"
#include "pipeline/level_pass.h"
#include "raster/scratch/temp_image.h"
#include "pipeline/thumbnail.h"
#include "raster/tiled/tiled_reader.h"
#include "pipeline/zoom_plan.h"
#include "support/recording_host.h"
#include "support/temp_folder.h"

namespace quiltor {
namespace {

using testing::RecordingHost;
using testing::TempFolder;

struct Bgr {
  std::uint8_t b, g, r;
  bool operator<(const Bgr& o) const { return std::tie(b, g, r) < std::tie(o.b, o.g, o.r); }
  bool operator==(const Bgr& o) const = default;
};

// Six flat colours in blocks: few enough for the palette to hold each exactly.
Bgr BlockColour(int x, int y) {
  static const Bgr colours[] = {{250, 250, 250}, {10, 120, 40}, {200, 30, 30}, {40, 40, 200}, {90, 200, 200}, {0, 0, 0}};
  return colours[(x / 37 + (y / 29) * 3) % 6];
}

// The block picture as a source file of the kind its extension names: the
// merged map a create writes (".qtxx0"), a palette image (".qtx0", six
// entries) or a true-colour PNG.
void WriteBlockSource(const std::filesystem::path& path, int w, int h) {
  const std::string kind = path.extension().string();
  if (kind == ".qtxx0") {
    TrueColourTempWriter writer(path, w, h);
    std::vector<std::uint8_t> row(std::size_t(w) * 3);
    for (int y = 0; y < h; ++y) {
      for (int x = 0; x < w; ++x) {
        const Bgr c = BlockColour(x, y);
        row[x * 3] = c.b, row[x * 3 + 1] = c.g, row[x * 3 + 2] = c.r;
      }
      writer.WriteRow(row.data());
    }
    writer.Finish();
  } else if (kind == ".qtx0") {
    Palette palette{};
    for (int i = 0; i < 6; ++i) {
      const Bgr c = BlockColour(i * 37 % 111, i / 3 * 29);
      palette[i] = Rgbquad{c.b, c.g, c.r, 0};
    }
    PaletteTempWriter writer(path, w, h, palette);
    std::vector<std::uint8_t> row(static_cast<std::size_t>(w));
    for (int y = 0; y < h; ++y) {
      for (int x = 0; x < w; ++x) row[x] = std::uint8_t((x / 37 + (y / 29) * 3) % 6);
      writer.WriteRow(row.data());
    }
    writer.Finish();
  } else {
    Bitmap bitmap(w, h, 24);
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) {
        const Bgr c = BlockColour(x, y);
        bitmap.row(y)[x * 3] = c.b, bitmap.row(y)[x * 3 + 1] = c.g, bitmap.row(y)[x * 3 + 2] = c.r;
      }
    ASSERT_TRUE(WritePngImage(path, bitmap));
  }
}

std::set<std::string> Listing(const std::filesystem::path& folder) {
  std::set<std::string> names;
  for (const auto& e : std::filesystem::recursive_directory_iterator(folder)) names.insert(e.path().string());
  return names;
}

// Sets the abort flag once a status text starts with `trigger`.
class AbortingHost : public RecordingHost {
 public:
  AbortingHost(std::atomic<bool>& flag, std::string trigger) : flag_(flag), trigger_(std::move(trigger)) {}
  void SetStatusText(const std::string& text) override {
    RecordingHost::SetStatusText(text);
    if (text.rfind(trigger_, 0) == 0) flag_ = true;
  }

 private:
  std::atomic<bool>& flag_;
  std::string trigger_;
};

// Fails the conversion from inside a pass: throws once a status text starts
// with `trigger`.
class FailingHost : public RecordingHost {
 public:
  explicit FailingHost(std::string trigger) : trigger_(std::move(trigger)) {}
  void SetStatusText(const std::string& text) override {
    RecordingHost::SetStatusText(text);
    if (text.rfind(trigger_, 0) == 0) throw QuiltorError("failed at " + trigger_);
  }

 private:
  std::string trigger_;
};

class ConversionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::filesystem::create_directories(temp / "work");
    std::ofstream(temp / "work" / "other.qtx0") << "not ours";
    WriteBlockSource(temp / "source.qtxx0", 400, 300);
  }
  TiledConversionRequest Request(const std::string& dest = "out.qtx2", const std::string& source = "source.qtxx0") {
    TiledConversionRequest r;
    r.sourcePath = (temp / source).string();
    r.destinationPath = (temp / dest).string();
    r.tempFolder = (temp / "work").string() + "/";
    return r;
  }
  TempFolder temp;
};

TEST_F(ConversionTest, EveryKindOfSourceConvertsAndLevelZeroIsTheMappedSource) {
  for (const char* kind : {".png", ".qtx0"}) {
    SCOPED_TRACE(kind);
    const std::string name = std::string("blocks") + kind;
    WriteBlockSource(temp / name, 400, 300);
    RecordingHost host;
    std::atomic<bool> abort{false};
    const TiledConversionResult result = ConvertToTiledImage(Request("blocks.qtx2", name), host, abort);
    ASSERT_TRUE(result.ok) << result.error;
    auto opening = TiledReader::Open(temp / "blocks.qtx2", true);
    ASSERT_TRUE(opening.reader);
    EXPECT_EQ(opening.reader->LevelCount(), 4);
    std::vector<std::uint8_t> row(400);
    for (int y = 0; y < 300; ++y) {
      opening.reader->ReadRow(y, row.data());
      for (int x = 0; x < 400; ++x) {
        const Rgbquad& e = opening.reader->palette()[row[x]];
        ASSERT_EQ((Bgr{e.blue, e.green, e.red}), BlockColour(x, y)) << x << "," << y;
      }
    }
  }
}

TEST_F(ConversionTest, WritesEveryLevelAndLevelZeroIsTheMappedSource) {
  RecordingHost host;
  std::atomic<bool> abort{false};
  const auto before = Listing(temp / "work");
  const TiledConversionResult result = ConvertToTiledImage(Request(), host, abort);
  ASSERT_TRUE(result.ok) << result.error;
  EXPECT_EQ(result.writtenPath, (temp / "out.qtx2").string());
  EXPECT_EQ(Listing(temp / "work"), before);  // the work folder is gone, the stranger stays

  auto opening = TiledReader::Open(temp / "out.qtx2", true);
  ASSERT_TRUE(opening.reader);
  TiledReader& reader = *opening.reader;
  EXPECT_FALSE(reader.scrambled());
  EXPECT_EQ(reader.zoomCount(), 2);  // 100, 25, thumbnail, overview
  ASSERT_EQ(reader.LevelCount(), 4);
  std::vector<std::uint8_t> row(400);
  for (int y = 0; y < 300; ++y) {
    reader.ReadRow(y, row.data());
    for (int x = 0; x < 400; ++x) {
      const Rgbquad& e = reader.palette()[row[x]];
      ASSERT_EQ((Bgr{e.blue, e.green, e.red}), BlockColour(x, y)) << x << "," << y;
    }
  }
  const LevelSize thumb = FixedLevelSize(400, 300, kThumbnailSide);
  const LevelSize overview = FixedLevelSize(400, 300, kOverviewSide);
  const std::vector<LevelSize> sizes = {{400, 300}, {100, 75}, thumb, overview};
  for (int n = 0; n < 4; ++n) {
    reader.LoadZoomLevel(n);
    EXPECT_EQ((LevelSize{reader.levelWidth(), reader.levelHeight()}), sizes[n]) << n;
    if (n > 0) {
      // 62 quantised colours, the 20 top colours, black and white.
      EXPECT_EQ(reader.levelPalette()[82], (Rgbquad{0, 0, 0, 0})) << n;
      EXPECT_EQ(reader.levelPalette()[83], (Rgbquad{255, 255, 255, 0})) << n;
    }
  }
  bool sawSharpening = false, sawWriting = false;
  for (const auto& e : host.events) {
    sawSharpening |= e == "status: Sharpening";
    sawWriting |= e == "status: Writing 100% Zoom";
  }
  EXPECT_TRUE(sawSharpening);
  EXPECT_TRUE(sawWriting);
  EXPECT_TRUE(host.messages.empty());

  // The thumbnail of the new file stretches its overview level.
  const auto thumbnail = MakeThumbnail((temp / "out.qtx2").string(), 130, 98);
  ASSERT_TRUE(thumbnail);
  EXPECT_EQ(thumbnail->bitmap.width(), 130);
  EXPECT_EQ(thumbnail->bitmap.height(), 98);
  EXPECT_EQ(thumbnail->pixelMode, 3);
  EXPECT_DOUBLE_EQ(thumbnail->scale, 3);  // 400 div 130

}

TEST_F(ConversionTest, AbortOrFailureLeavesNoFileAndNoWorkFolder) {
  { std::ofstream(temp / "old.qtx2") << "previous map"; }
  for (const char* trigger : {"Mapping Colors - Pass 2", "Resizing - Pass 1", "Sharpening", "Writing 10"}) {
    SCOPED_TRACE(trigger);
    std::atomic<bool> abort{false};
    AbortingHost host(abort, trigger);
    const auto before = Listing(temp.path());
    EXPECT_FALSE(ConvertToTiledImage(Request("old.qtx2"), host, abort).ok);
    EXPECT_TRUE(abort);
    EXPECT_EQ(Listing(temp.path()), before);
    std::ifstream in(temp / "old.qtx2");
    std::string text;
    std::getline(in, text);
    EXPECT_EQ(text, "previous map");
    EXPECT_FALSE(std::filesystem::exists(temp / "out.qtx2"));
  }
  // An error in the making of a smaller level (which runs while level 0's
  // tiles are written), in the overview made last, and in the writing of
  // the tiles while the levels are made: each fails the whole conversion.
  for (const char* trigger : {"Resizing - Pass 2", "Creating 75.0% Zoom", "Writing 10"}) {
    SCOPED_TRACE(trigger);
    FailingHost host(trigger);
    std::atomic<bool> abort{false};
    const auto before = Listing(temp.path());
    const TiledConversionResult result = ConvertToTiledImage(Request("old.qtx2"), host, abort);
    EXPECT_FALSE(result.ok);
    EXPECT_EQ(result.error, std::string("failed at ") + trigger);
    EXPECT_EQ(Listing(temp.path()), before);
    EXPECT_FALSE(std::filesystem::exists(temp / "out.qtx2"));
  }
  // An error part way (a destination folder that does not exist).
  RecordingHost host;
  std::atomic<bool> abort{false};
  const auto before = Listing(temp.path());
  EXPECT_FALSE(ConvertToTiledImage(Request("missing/out.qtx2"), host, abort).ok);
  EXPECT_EQ(Listing(temp.path()), before);
}

TEST_F(ConversionTest, Refusals) {
  struct Case {
    const char* name;
    int w, h;
    double scale;
    const char* message;  // "" when refused silently
  };
  const Case cases[] = {
      {"small", 299, 250, 100, "Image is too small to process - have you specified a suitable Pixel Scale on the Destination Map tab"},
      {"scaled small", 400, 300, 50, "Image is too small to process - have you specified a suitable Pixel Scale on the Destination Map tab"},
      {"thin", 400, 11, 100, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    WriteBlockSource(temp / "s.qtxx0", c.w, c.h);
    RecordingHost host;
    std::atomic<bool> abort{false};
    auto r = Request();
    r.sourcePath = (temp / "s.qtxx0").string();
    r.scalePercent = c.scale;
    const TiledConversionResult result = ConvertToTiledImage(r, host, abort);
    EXPECT_FALSE(result.ok);
    EXPECT_EQ(host.messages, std::string(c.message).empty() ? std::vector<std::string>{}
                                                            : std::vector<std::string>{c.message});
    // The failure carries its reason: the words shown, or the cause when
    // nothing was shown.
    EXPECT_EQ(result.shown, !std::string(c.message).empty());
    if (result.shown) {
      EXPECT_EQ(result.error, c.message);
    } else {
      EXPECT_NE(result.error.find("30 times"), std::string::npos) << result.error;
    }
    EXPECT_FALSE(std::filesystem::exists(temp / "out.qtx2"));
  }
  RecordingHost host;
  std::atomic<bool> abort{false};
  auto r = Request();
  r.tempFolder = (temp / "nowhere").string();
  const TiledConversionResult badTemp = ConvertToTiledImage(r, host, abort);
  EXPECT_FALSE(badTemp.ok);
  EXPECT_EQ(host.messages, std::vector<std::string>{"Temp File Folder is not valid"});
  EXPECT_EQ(badTemp.error, "Temp File Folder is not valid");
  EXPECT_TRUE(badTemp.shown);
  r = Request();
  r.sourcePath = (temp / "absent.qtxx0").string();
  const TiledConversionResult absent = ConvertToTiledImage(r, host, abort);
  EXPECT_FALSE(absent.ok);
  EXPECT_FALSE(absent.shown);
  EXPECT_EQ(absent.error, "cannot open " + r.sourcePath + ": no such file");
}

TEST_F(ConversionTest, ReducedScaleAndScrambledVariant) {
  RecordingHost host;
  std::atomic<bool> abort{false};
  auto r = Request("small.qtxx3");
  r.scalePercent = 80;
  r.scrambled = true;
  r.colourCount = 300;  // used as 254
  ASSERT_TRUE(ConvertToTiledImage(r, host, abort).ok);
  auto opening = TiledReader::Open(temp / "small.qtxx3", true);
  ASSERT_TRUE(opening.reader);
  EXPECT_TRUE(opening.reader->scrambled());
  EXPECT_EQ(opening.reader->width(), 320);
  EXPECT_EQ(opening.reader->height(), 240);
  EXPECT_EQ(opening.reader->LevelCount(), 4);
}

TEST(DestinationNameTest, CapAndSamePathRules) {
  TempFolder temp;
  const std::string src = (temp / "chart.qtx2").string();
  { std::ofstream(src) << "x"; }
  { std::ofstream(temp / "chart_1.qtx2") << "x"; }
  EXPECT_EQ(ChooseDestinationName(src, src), (temp / "chart_2.qtx2").string());
  EXPECT_EQ(ChooseDestinationName("/maps/a.cap.tif", "/out/b.qtx2"), "/out/b.qtxt2");
  EXPECT_EQ(ChooseDestinationName("/maps/a.tif", "/out/b.qtx2"), "/out/b.qtx2");
}

TEST(ThumbnailTest, ResampledFromOtherKindsAndNoneForPluginKinds) {
  TempFolder temp;
  Bitmap flat(260, 130, 24);
  for (int y = 0; y < 130; ++y)
    for (int x = 0; x < 260; ++x) flat.row(y)[x * 3] = 40, flat.row(y)[x * 3 + 1] = 140, flat.row(y)[x * 3 + 2] = 240;
  ASSERT_TRUE(WritePngImage(temp / "flat.png", flat));
  const auto thumb = MakeThumbnail((temp / "flat.png").string(), 130, 65);
  ASSERT_TRUE(thumb);
  EXPECT_DOUBLE_EQ(thumb->scale, 2.0);
  EXPECT_EQ(thumb->bitmap.width(), 130);
  EXPECT_EQ(thumb->bitmap.height(), 65);
  EXPECT_NEAR(thumb->bitmap.row(30)[60 * 3 + 2], 240, 1);
  for (const char* name : {"a.ecw", "a.sid", "missing.png"}) {
    if (std::string(name) != "missing.png") std::ofstream(temp / name) << "x";
    EXPECT_FALSE(MakeThumbnail((temp / name).string(), 130, 100)) << name;
  }
}

}  // namespace
}  // namespace quiltor
