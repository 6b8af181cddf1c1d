#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>

#include "catalogue/calibration.h"
#include "catalogue/map_file_reader.h"
#include "catalogue/map_file_writer.h"
#include "common/error.h"
#include "catalogue/map_file_support.h"  // tests/catalogue
#include "geodesy/datum.h"
#include "geodesy/destination_setup.h"
#include "catalogue/row_spans.h"
#include "support/memory_probe.h"
#include "support/recording_host.h"
#include "support/temp_folder.h"

namespace quiltor {
namespace {

namespace fs = std::filesystem;

class MapFileTest : public ::testing::Test {
 protected:
  MapFileTest() {
    image = (tmp / "sheet.bmp").string();
    testing::WriteTinyBmp(image, 100, 80);
  }
  int Read(const std::string& text, Map_record& record, const std::string& name = "m.map") {
    const auto path = tmp / name;
    testing::WriteText(path, text);
    return ReadMapFile(path.string(), record, 1, 1, context);
  }
  static std::string Replace(std::string text, const std::string& from, const std::string& to) {
    const auto at = text.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    if (at != std::string::npos) text.replace(at, from.size(), to);
    return text;
  }

  testing::TempFolder tmp;
  std::string image;
  testing::RecordingHost host;
  ImageSearchContext search;
  MapReadContext context{geodesy::BuiltInProjectionCatalogue(), search, testing::BmpImageQueries(), host, {}};
};

TEST_F(MapFileTest, ReadsACalibratedMap) {
  Map_record r;
  ASSERT_EQ(Read(testing::LatLonMapText(image), r), kMapLoaded);
  EXPECT_EQ(r.status, kMapUsable);
  EXPECT_EQ(r.title, "Test sheet");
  EXPECT_EQ(r.imageFile, image);
  EXPECT_EQ(r.shortProjection, "Latit");
  EXPECT_EQ(r.method, kMethodFirstOrder);
  EXPECT_EQ(r.width, 100);
  EXPECT_EQ(r.height, 80);
  EXPECT_EQ(r.border.size(), 4u);
  EXPECT_NE(r.metresPerPixel, 1000.0);  // "MM1B" never survives a successful read
  EXPECT_NEAR(r.metresPerPixel, 1000.0 * 0.01 * 60 * 1.852 * std::cos(49.6 * M_PI / 180), 3.0);
  const auto ll = PixelToLatLon(r, {50, 40});
  EXPECT_NEAR(ll.longitude, 10.5, 1e-9);
  EXPECT_NEAR(ll.latitude, 49.6, 1e-9);
  EXPECT_TRUE(host.mapErrors.empty());
}

// Damaged and unusual files: each ends in its result, reported or not, and
// never in a crash.
TEST_F(MapFileTest, DamagedFilesEndInTheirResult) {
  const std::string good = testing::LatLonMapText(image);
  std::string manyBorderLines;
  for (int i = 0; i < 1000000; ++i) manyBorderLines += "MMPXY,5,1,1\n";
  std::string junk;
  for (int i = 0; i < 5000; ++i) junk += static_cast<char>((i * 7919) % 256);
  struct Case {
    const char* what;
    std::string text;
    int result;
    const char* reason;  // the map errors line after the path; none when not reported
  };
  const Case cases[] = {
      {"other version, host name anywhere", Replace(good, "Tervane Map Data File Version 2.0", "xyz Tervane"), 1, nullptr},
      {"empty first line", Replace(good, "Tervane Map Data File Version 2.0", ""), -1, nullptr},
      {"empty file", "", -1, nullptr},
      {"binary junk", junk, -1, nullptr},
      {"host line then binary junk", "Tervane\r\n" + junk, -1, "the border has fewer than three points"},
      {"only the first line", "Tervane Map Data File", -1, "the border has fewer than three points"},
      {"point number not a number", good + "PointAB,xy,1,1,in, deg,1,1,N,1,1,E\r\n", -1,
       "calibration point line without a number: PointAB"},
      {"bare Point keyword", good + "Point,xy,1,1\r\n", -1, "calibration point line without a number: Point"},
      {"points beyond 30 ignored", good + "Point31,xy,5,5,in, deg,1,1,N,1,1,E\r\nPoint99,xy,5,5\r\n", 1, nullptr},
      {"point 0 ignored", good + "Point00,xy,5,5,in, deg,1,1,N,1,1,E\r\n", 1, nullptr},
      {"border latitude beyond 90", Replace(good, "MMPLL,1,10,50", "MMPLL,1,10,95"), -1,
       "border point 1 is off the globe (95, 10)"},
      {"border longitude beyond 180", Replace(good, "MMPLL,2,11,50", "MMPLL,2,-181,50"), -1,
       "border point 2 is off the globe (50, -181)"},
      {"border index 0 and 101 ignored", good + "MMPXY,0,7,7\r\nMMPLL,101,500,500\r\nMMPXY,-3,1,1\r\n", 1, nullptr},
      {"border count 1000 ignored", good + "MMPNUM,1000\r\n", 1, nullptr},
      {"a million border lines", good + manyBorderLines, 1, nullptr},
      {"a line of 20 MB", good + std::string(20 * 1024 * 1024, '7') + "\r\nMM1B,5\r\n", 1, nullptr},
      {"garbage numbers take defaults", good + "Projection Setup,1.2.3,4 5,abc,,,,,,x,y\r\nMMPNUM,xyz\r\n", 1, nullptr},
      {"two points on one row", Replace(Replace(good, "Point03,xy,100,80,in", "Point03,xy,100,80,ex"),
                                        "Point04,xy,0,80,in", "Point04,xy,0,80,ex"),
       -1, "the calibration failed: the two points share a pixel row or column"},
      {"MSF of zero", Replace(good, "Reserved 1", "Reserved 1 MSF,0"), -1, "map scale factor MSF is zero"},
      {"UTM map with no border and no zone",
       "Tervane\r\nt\r\n" + image + "\r\n\r\nWGS 84\r\n\r\nMap Projection,(UTM) Universal Transverse Mercator\r\n", -1,
       "the border has fewer than three points"},
  };
  for (const auto& c : cases) {
    host.mapErrors.clear();
    host.mapErrorCauses.clear();
    Map_record r;
    const auto path = (tmp / "case.map").string();
    EXPECT_EQ(Read(c.text, r, "case.map"), c.result) << c.what;
    const auto reported = [&](const std::string& text) {
      return c.reason ? std::vector<std::string>{text} : std::vector<std::string>{};
    };
    EXPECT_EQ(host.mapErrors, reported(path)) << c.what;
    EXPECT_EQ(host.mapErrorCauses, reported(c.reason ? c.reason : "")) << c.what;
    if (c.result == kMapNotLoaded) EXPECT_TRUE(r.mapFile.empty()) << c.what;  // nothing of it stays in the slot
  }
}

// Maps that would be listed as usable while they place nothing where it
// belongs: each goes to the map errors list with the reason, nothing of it
// stays in the slot.
TEST_F(MapFileTest, MapsThatCannotBeUsedAreMapErrors) {
  const std::string good = testing::LatLonMapText(image);
  const auto exclude = [&](std::string text, std::initializer_list<const char*> points) {
    for (const char* p : points) text = Replace(text, std::string(p) + "in", std::string(p) + "ex");
    return text;
  };
  struct Case {
    const char* what;
    std::string text;
    const char* reason;
  };
  const Case cases[] = {
      {"border longitude nan", Replace(good, "MMPLL,1,10,50", "MMPLL,1, nan, nan"), "border longitude \"nan\" is not a number"},
      {"border latitude text", Replace(good, "MMPLL,3,11,49.2", "MMPLL,3,11,north"), "border latitude \"north\" is not a number"},
      {"border longitude inf", Replace(good, "MMPLL,2,11,50", "MMPLL,2,inf,50"), "border longitude \"inf\" is not a number"},
      {"border latitude absent", Replace(good, "MMPLL,4,10,49.2", "MMPLL,4,10"), "border latitude \"\" is not a number"},
      {"border longitude two decimal points", Replace(good, "MMPLL,4,10,49.2", "MMPLL,4,10..0,49.2"),
       "border longitude \"10..0\" is not a number"},
      {"border point without position", Replace(good, "MMPLL,4,10,49.2\r\n", ""),
       "border point 4 has no latitude and longitude (an MMPLL line is missing)"},
      {"border of two points", Replace(good, "MMPNUM,4", "MMPNUM,2"), "the border has fewer than three points"},
      {"one calibration point", exclude(good, {"Point02,xy,100,0,", "Point03,xy,100,80,", "Point04,xy,0,80,"}),
       "fewer than two usable calibration points"},
      {"calibration point at latitude 95", Replace(good, "Point01,xy,0,0,in, deg,50,0,N", "Point01,xy,0,0,in, deg,95,0,N"),
       "the calibration failed: a point at 95 degrees 0 minutes is off the globe"},
      {"calibration point with 912 minutes",
       Replace(good, "Point01,xy,0,0,in, deg,50,0,N", "Point01,xy,0,0,in, deg,50,912,N"),
       "the calibration failed: a point at 50 degrees 912 minutes is off the globe"},
      {"calibration longitude 181", Replace(good, "N,10,0,E", "N,181,0,E"),
       "the calibration failed: a point at 181 degrees 0 minutes is off the globe"},
  };
  for (const auto& c : cases) {
    host.mapErrors.clear();
    host.mapErrorCauses.clear();
    Map_record r;
    const auto path = (tmp / "case.map").string();
    EXPECT_EQ(Read(c.text, r, "case.map"), kMapNotLoaded) << c.what;
    EXPECT_EQ(host.mapErrors, std::vector<std::string>{path}) << c.what;
    EXPECT_EQ(host.mapErrorCauses, std::vector<std::string>{c.reason}) << c.what;
    EXPECT_TRUE(r.mapFile.empty()) << c.what;
  }
}

// A map file cut short at any line is either still a whole map or a map
// error; never a map whose missing border points sit at 0 degrees.
TEST_F(MapFileTest, AFileCutAtEveryLineIsWholeOrAnError) {
  const std::string good = testing::LatLonMapText(image);
  Map_record whole;
  ASSERT_EQ(Read(good, whole), kMapLoaded);
  std::size_t at = 0;
  int cuts = 0;
  while ((at = good.find("\r\n", at)) != std::string::npos) {
    at += 2;
    ++cuts;
    host.mapErrors.clear();
    Map_record r;
    const std::string cut = good.substr(0, at);
    const int result = Read(cut, r, "cut.map");
    if (result == kMapLoaded) {
      EXPECT_EQ(r.border.size(), whole.border.size()) << cut;
      for (std::size_t k = 0; k < whole.border.size(); ++k) {
        EXPECT_EQ(r.border[k].latitude, whole.border[k].latitude) << cut;
        EXPECT_EQ(r.border[k].longitude, whole.border[k].longitude) << cut;
      }
      EXPECT_TRUE(host.mapErrors.empty()) << cut;
    } else {
      EXPECT_EQ(host.mapErrors.size(), 1u) << cut;
    }
  }
  EXPECT_GT(cuts, 10);
}

// What is named ".map" but is no regular file is never opened: a FIFO or a
// device would block the read for ever.
TEST_F(MapFileTest, OnlyRegularFilesAreRead) {
  const auto fifo = tmp / "pipe.map";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  const auto device = tmp / "device.map";
  fs::create_symlink("/dev/zero", device);
  fs::create_directory(tmp / "folder.map");
  for (const auto& path : {fifo, device, tmp / "folder.map"}) {
    host.mapErrors.clear();
    host.mapErrorCauses.clear();
    Map_record r;
    EXPECT_EQ(ReadMapFile(path.string(), r, 1, 1, context), kMapNotLoaded) << path;
    EXPECT_EQ(host.mapErrors, std::vector<std::string>{path.string()});
    EXPECT_EQ(host.mapErrorCauses, std::vector<std::string>{"not a regular file"});
  }
  // The image line naming a FIFO: the map is kept, its image is not found.
  const auto imageFifo = tmp / "pipe.bmp";
  ASSERT_EQ(mkfifo(imageFifo.c_str(), 0600), 0);
  Map_record r;
  ASSERT_EQ(Read(Replace(testing::LatLonMapText(image), image, imageFifo.string()), r), kMapLoaded);
  EXPECT_EQ(r.status, kMapImageNotFound);
}

// An image header may claim any height: the map costs its border, not a
// span list per claimed row.
TEST_F(MapFileTest, ClaimedImageHeightCostsNothing) {
  const auto claims = tmp / "claims.bmp";
  testing::WriteTinyBmp(claims, 2, 2);
  {
    std::fstream header(claims, std::ios::in | std::ios::out | std::ios::binary);
    const std::uint32_t width = 440, height = 40000000;
    header.seekp(18);
    for (int i = 0; i < 4; ++i) header.put(static_cast<char>(width >> (8 * i)));
    for (int i = 0; i < 4; ++i) header.put(static_cast<char>(height >> (8 * i)));
  }
  const std::string text = Replace(testing::LatLonMapText(image), image, claims.string());
  const auto child = [&]() {
        Map_record r;
        bool read = false;
        const bool small = testing::PeakWithin(32u << 20, [&] { read = Read(text, r) == kMapLoaded; });
        const bool rows = RowSpans(r, 40).X == std::vector<std::int32_t>{0, 100} && RowSpans(r, 39999999).X.empty();
        std::exit(small && read && r.height == 40000000 && rows ? 0 : 1);
      };
  EXPECT_EXIT(child(), ::testing::ExitedWithCode(0), "");
}

// A title written on Windows in its code page reads as UTF-8; UTF-8 stays.
TEST_F(MapFileTest, TitlesAreUtf8) {
  Map_record r;
  ASSERT_EQ(Read(testing::LatLonMapText(image, 10, 50, "Gr\xFCnwald \x96 K\xF6ln \x80"), r), kMapLoaded);
  EXPECT_EQ(r.title, "Gr\u00FCnwald \u2013 K\u00F6ln \u20AC");
  ASSERT_EQ(Read(testing::LatLonMapText(image, 10, 50, "Gr\u00FCnwald"), r), kMapLoaded);
  EXPECT_EQ(r.title, "Gr\u00FCnwald");
}

TEST_F(MapFileTest, ImageProblemsKeepTheMap) {
  Map_record r;
  const std::string good = testing::LatLonMapText(image);
  ASSERT_EQ(Read(Replace(good, image, (tmp / "gone.bmp").string()), r), kMapLoaded);
  EXPECT_EQ(r.status, kMapImageNotFound);
  EXPECT_EQ(r.width, 0);
  testing::WriteText(tmp / "sheet.xyz", "x");
  ASSERT_EQ(Read(Replace(good, image, (tmp / "sheet.xyz").string()), r), kMapLoaded);
  EXPECT_EQ(r.status, kMapFormatUnsupported);
  ASSERT_EQ(Read(Replace(good, image, "/elsewhere/missing.xyz"), r), kMapLoaded);
  EXPECT_EQ(r.status, kMapFormatUnsupported);  // missing and unsupported: unsupported wins
  // moved with its image: found beside the map whatever line 3 says
  ASSERT_EQ(Read(Replace(good, image, "D:\\Old Maps\\SHEET.bmp"), r), kMapLoaded);
  EXPECT_EQ(r.status, kMapUsable);
  EXPECT_EQ(r.imageFile, image);
}

TEST_F(MapFileTest, BorderKeywordsAndScaleFactor) {
  const std::string good = testing::LatLonMapText(image);
  Map_record r;
  // MMPXY without MMPNUM gives four points; a later MMPNUM sets the count.
  std::string noCount = Replace(good, "MMPNUM,4\r\n", "");
  ASSERT_EQ(Read(noCount, r), kMapLoaded);
  EXPECT_EQ(r.border.size(), 4u);
  ASSERT_EQ(Read(noCount + "MMPXY,5,0,40\r\nMMPXY,6,50,0\r\nMMPLL,5,10,49.6\r\nMMPLL,6,10.5,50\r\nMMPNUM,6\r\n", r),
            kMapLoaded);
  ASSERT_EQ(r.border.size(), 6u);
  EXPECT_EQ(r.border[5].x, 50);  // given before the count took it in
  EXPECT_EQ(r.border[5].latitude, 50);
  // MSF 2: 101 and 51 become 50 and 26 (ties to even).
  ASSERT_EQ(Read(Replace(good, "Reserved 1", "Reserved 1 MSF,2") + "MMPXY,2,101,51\r\n", r), kMapLoaded);
  EXPECT_EQ(r.border[1].x, 50);
  EXPECT_EQ(r.border[1].y, 26);
  // MM1C sets four corners in its own order (corner 3 from fields 8, 9).
  ASSERT_EQ(Read(good + "MM1C,1,2,3,4,5,6,7,8\r\n", r), kMapLoaded);
  EXPECT_EQ(r.border[2].longitude, 7);
  EXPECT_EQ(r.border[2].latitude, 8);
  EXPECT_EQ(r.border[3].longitude, 5);
}

TEST_F(MapFileTest, UtmCentralMeridianAndClearedSlot) {
  // A UTM map calibrated by grid references of zone 33.
  auto utmMap = [&](int p1x, int p1y, double borderLon) {
    std::string t = "Tervane\r\nutm\r\n" + image + "\r\n1 ,Map Code,\r\nWGS 84\r\nReserved 1\r\n";
    t += "Map Projection,(UTM) Universal Transverse Mercator,PolyCal,No\r\n";
    t += "Projection Setup,10,20,1,500,600,,,,,\r\n";
    t += "Point01,xy," + std::to_string(p1x) + "," + std::to_string(p1y) + ",in, deg,,,N,,,E, grid,33,500000,5500000,N\r\n";
    t += "Point02,xy,100,80,in, deg,,,N,,,E, grid,33,510000,5492000,N\r\n";
    for (int k = 1; k <= 4; ++k) {
      t += "MMPLL," + std::to_string(k) + "," + FormatShortest(borderLon + (k == 2 || k == 3 ? 0.1 : -0.1)) + ",49.6\r\n";
    }
    return t;
  };
  struct Case { int x, y; double borderLon; double meridian; };
  const Case cases[] = {{0, 0, 13.2, 15}, {0, 1, 13.2, 15}, {0, 1, -0.5, -3}, {0, 0, -0.5, 15}};
  for (const auto& c : cases) {
    Map_record r;
    ASSERT_EQ(Read(utmMap(c.x, c.y, c.borderLon), r), kMapLoaded) << c.x << "," << c.y;
    EXPECT_EQ(r.setup.lon0, c.meridian) << c.borderLon;
    EXPECT_EQ(r.setup.utmlon0, c.meridian);
    EXPECT_EQ(r.setup.k0, 0.9996);
    EXPECT_EQ(r.setup.x0, 0);
    EXPECT_EQ(r.setup.lat1, 777);
    // the slot is read again with a file without "Projection Setup": nothing survives
    ASSERT_EQ(Read(testing::LatLonMapText(image), r), kMapLoaded);
    EXPECT_EQ(r.setup.lat0, 777);
    EXPECT_EQ(r.setup.x0, 777);
  }
  Map_record r;
  ASSERT_EQ(Read(testing::LatLonMapText(image) + "Projection Setup,,,,,,,,,\r\n", r), kMapLoaded);
  for (double v : {r.setup.lat0, r.setup.lon0, r.setup.k0, r.setup.x0, r.setup.y0, r.setup.lat1, r.setup.lat2,
                   r.setup.height, r.setup.spareA, r.setup.spareB}) {
    EXPECT_EQ(v, 777);
  }
}

TEST_F(MapFileTest, MalformedNumbersTakeTheFieldsDefault) {
  Map_record r;
  const std::string text = Replace(testing::LatLonMapText(image), "Reserved 1", "Reserved 1 MSF,1.2.3") +
                           "Projection Setup,1.2.3,4 5,abc,7,-1e3,  ,,,x,y\r\n";
  ASSERT_EQ(Read(text, r), kMapLoaded);
  EXPECT_EQ(r.setup.lat0, 777);   // two decimal points
  EXPECT_EQ(r.setup.lon0, 777);   // two numbers
  EXPECT_EQ(r.setup.k0, 0);       // no digits at all
  EXPECT_EQ(r.setup.x0, 7);
  EXPECT_EQ(r.setup.y0, -1000);
  EXPECT_EQ(r.setup.lat1, 0);     // only spaces
  EXPECT_EQ(r.setup.lat2, 777);   // empty
  EXPECT_EQ(r.setup.spareA, 777);
  EXPECT_EQ(r.border[1].x, 100);  // the MSF fell back to 1: pixels unscaled
}

TEST(MapFileWriter, MinutesNeverReadSixty) {
  struct Case { double in, out; };
  const Case cases[] = {{50.9999999, 51}, {-0.9999999, -1}, {50.5, 50.5}, {-12.999990, -12.999990}, {0, 0}};
  for (const auto& c : cases) EXPECT_EQ(RoundAwayFullMinute(c.in), c.out) << c.in;
}

class MapFileRoundTrip : public MapFileTest {};

TEST_F(MapFileRoundTrip, WrittenFileReadsBackWithItsProjectionDatumAndCorners) {
  struct Case {
    const char* projection;
    const char* datum;
    double west, east, north, south;
  };
  const Case cases[] = {
      {"Latitude/Longitude", "WGS 84", 10.0, 11.0, 50.9999999, 50.2},
      {"Transverse Mercator", "European 1950", 400000, 500000, 5600000, 5500000},
      // Zone 32 (central meridian 9; eastings inside the program are measured
      // from it): around Hamburg inside the zone's band, and around Berlin,
      // east of 12 degrees, where the mean border longitude names zone 33.
      {"(UTM) Universal Transverse Mercator", "WGS 84", 40000, 80000, 5950000, 5920000},
      {"(UTM) Universal Transverse Mercator", "European 1950", 270000, 310000, 5850000, 5820000},
  };
  const auto& catalogue = geodesy::BuiltInProjectionCatalogue();
  for (const auto& c : cases) {
    geodesy::DestinationSettings settings;
    settings.mapProjection = c.projection;
    settings.zone = "32";
    settings.centralMeridian = "9";
    settings.scaleFactor = "0.9996";
    settings.falseEasting = "500000";
    const geodesy::Projection dest = geodesy::ReadDestinationProjection(settings, catalogue);
    MapFileDestination d;
    d.projection = dest;
    d.datum = geodesy::FindDatum(c.datum);
    d.metersPerPixelText = "25";
    const std::string base = (tmp / "merged.qtx2").string();
    testing::WriteTinyBmp(tmp / "merged.bmp", 200, 100);
    ASSERT_TRUE(WriteMapFile(base, 400, 200, c.west, c.east, c.north, c.south, 50, d));
    std::ifstream in(tmp / "merged.map", std::ios::binary);
    const std::string text((std::istreambuf_iterator<char>(in)), {});
    EXPECT_EQ(text.find("60.0000"), std::string::npos) << c.projection;
    EXPECT_NE(text.find("\r\nmerged.qtx2\r\n" + base + "\r\n"), std::string::npos);
    EXPECT_NE(text.find("\r\nIWH,Map Image Width/Height,200,100\r\n"), std::string::npos);
    EXPECT_NE(text.find("\r\nMM1B,25.000000\r\n"), std::string::npos);

    // Read back against the stand-in image of the same size.
    Map_record r;
    const std::string withImage = Replace(text, base, (tmp / "merged.bmp").string());
    ASSERT_EQ(Read(withImage, r, "merged.map"), kMapLoaded) << c.projection;
    EXPECT_EQ(r.projectionName, dest.DisplayName());
    EXPECT_EQ(r.datum, d.datum);
    EXPECT_EQ(r.method, kMethodFirstOrder);
    EXPECT_EQ(r.setup.lon0, dest.Setup().lon0) << c.projection;
    // The image was resized from the 400 x 200 grid whose edges are given:
    // its first pixels lie on the grid's first, and its last pixels on the
    // grid's last (399, 199), not on the grid's edge.
    const double lastX = c.west + (c.east - c.west) * 399.0 / 400.0;
    const double lastY = c.north + (c.south - c.north) * 199.0 / 200.0;
    const std::pair<double, double> pixels[] = {{0, 0}, {199, 0}, {199, 99}, {0, 99}};
    const std::pair<double, double> xy[] = {{c.west, c.north}, {lastX, c.north}, {lastX, lastY}, {c.west, lastY}};
    for (int k = 0; k < 4; ++k) {
      const auto ll = PixelToLatLon(r, {pixels[k].first, pixels[k].second});
      const geodesy::LatLon g = dest.Inverse({xy[k].first, xy[k].second}).value();
      const double lat = g.latitude, lon = g.longitude;
      EXPECT_NEAR(ll.latitude, RoundAwayFullMinute(lat), 2e-5) << c.projection << " corner " << k;
      EXPECT_NEAR(ll.longitude, RoundAwayFullMinute(lon), 2e-5) << c.projection << " corner " << k;
    }
  }
}

TEST_F(MapFileRoundTrip, ACornerWithoutLatitudeLongitudeWritesNoFile) {
  // North of what the sinusoidal projection reaches: a file with that corner
  // at latitude 0, longitude 0 would put the map on the wrong side of the world.
  geodesy::DestinationSettings settings;
  settings.mapProjection = "Sinusoidal";
  MapFileDestination d;
  d.projection = geodesy::ReadDestinationProjection(settings, geodesy::BuiltInProjectionCatalogue());
  d.datum = geodesy::WGS84Datum();
  const std::string base = (tmp / "beyond.qtx2").string();
  EXPECT_THROW(WriteMapFile(base, 400, 200, 0, 1000, 1.0e9, 0, 100, d), QuiltorError);
  EXPECT_FALSE(std::filesystem::exists(tmp / "beyond.map"));
}

}  // namespace
}  // namespace quiltor
