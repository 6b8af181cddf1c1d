#include <gtest/gtest.h>

#include <cmath>
#include <map>

#include "catalogue/calibration.h"
#include "catalogue/map_file_reader.h"
#include "catalogue/map_file_writer.h"
#include "catalogue/map_file_support.h"  // tests/catalogue
#include "geodesy/datum.h"
#include "geodesy/destination_setup.h"
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
  EXPECT_EQ(r.rowSpans.size(), 80u);
  EXPECT_NE(r.metresPerPixel, 1000.0);  // "MM1B" never survives a successful read
  EXPECT_NEAR(r.metresPerPixel, 1000.0 * 0.01 * 60 * 1.852 * std::cos(49.6 * M_PI / 180), 3.0);
  const auto ll = PixelToLatLon(r, 50, 40);
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
    bool reported;
  };
  const Case cases[] = {
      {"other version, host name anywhere", Replace(good, "Tervane Map Data File Version 2.0", "xyz Tervane"), 1, false},
      {"empty first line", Replace(good, "Tervane Map Data File Version 2.0", ""), -1, false},
      {"empty file", "", -1, false},
      {"binary junk", junk, -1, false},
      {"host line then binary junk", "Tervane\r\n" + junk, 1, false},
      {"only the first line", "Tervane Map Data File", 1, false},
      {"point number not a number", good + "PointAB,xy,1,1,in, deg,1,1,N,1,1,E\r\n", -1, true},
      {"bare Point keyword", good + "Point,xy,1,1\r\n", -1, true},
      {"points beyond 30 ignored", good + "Point31,xy,5,5,in, deg,1,1,N,1,1,E\r\nPoint99,xy,5,5\r\n", 1, false},
      {"point 0 ignored", good + "Point00,xy,5,5,in, deg,1,1,N,1,1,E\r\n", 1, false},
      {"border latitude beyond 90", Replace(good, "MMPLL,1,10,50", "MMPLL,1,10,95"), -1, true},
      {"border longitude beyond 180", Replace(good, "MMPLL,2,11,50", "MMPLL,2,-181,50"), -1, true},
      {"border index 0 and 101 ignored", good + "MMPXY,0,7,7\r\nMMPLL,101,500,500\r\nMMPXY,-3,1,1\r\n", 1, false},
      {"border count 1000 ignored", good + "MMPNUM,1000\r\n", 1, false},
      {"a million border lines", good + manyBorderLines, 1, false},
      {"a line of 20 MB", good + std::string(20 * 1024 * 1024, '7') + "\r\nMM1B,5\r\n", 1, false},
      {"garbage numbers take defaults", good + "Projection Setup,1.2.3,4 5,abc,,,,,,x,y\r\nMMPNUM,xyz\r\n", 1, false},
      {"two points on one row", Replace(Replace(good, "Point03,xy,100,80,in", "Point03,xy,100,80,ex"),
                                        "Point04,xy,0,80,in", "Point04,xy,0,80,ex"),
       -1, true},
      {"MSF of zero", Replace(good, "Reserved 1", "Reserved 1 MSF,0"), -1, true},
      {"UTM map with no border and no zone",
       "Tervane\r\nt\r\n" + image + "\r\n\r\nWGS 84\r\n\r\nMap Projection,(UTM) Universal Transverse Mercator\r\n", -1,
       true},
  };
  // Why a reported map failed travels beside its line, in the words of the
  // step that refused it.
  const std::map<std::string, std::string> causes = {
      {"border latitude beyond 90", "a border point lies off the globe"},
      {"two points on one row", "the calibration failed: the two points share a pixel row or column"},
      {"MSF of zero", "map scale factor MSF is zero"},
      {"UTM map with no border and no zone", "UTM map without border points has no central meridian"},
  };
  for (const auto& c : cases) {
    host.mapErrors.clear();
    host.mapErrorCauses.clear();
    Map_record r;
    const auto path = (tmp / "case.map").string();
    EXPECT_EQ(Read(c.text, r, "case.map"), c.result) << c.what;
    EXPECT_EQ(host.mapErrors, c.reported ? std::vector<std::string>{path} : std::vector<std::string>{}) << c.what;
    if (c.result == kMapNotLoaded) EXPECT_TRUE(r.mapFile.empty()) << c.what;  // nothing of it stays in the slot
    if (!c.reported) continue;
    ASSERT_EQ(host.mapErrorCauses.size(), 1u) << c.what;
    EXPECT_FALSE(host.mapErrorCauses[0].empty()) << c.what;
    if (const auto cause = causes.find(c.what); cause != causes.end())
      EXPECT_EQ(host.mapErrorCauses[0], cause->second) << c.what;
  }
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
                           "Projection Setup,1.2.3,4 5,abc,7,-1e3,  ,,,x,y\r\nMMPLL,4,10..0,49.2\r\n";
  ASSERT_EQ(Read(text, r), kMapLoaded);
  EXPECT_EQ(r.setup.lat0, 777);   // two decimal points
  EXPECT_EQ(r.setup.lon0, 777);   // two numbers
  EXPECT_EQ(r.setup.k0, 0);       // no digits at all
  EXPECT_EQ(r.setup.x0, 7);
  EXPECT_EQ(r.setup.y0, -1000);
  EXPECT_EQ(r.setup.lat1, 0);     // only spaces
  EXPECT_EQ(r.setup.lat2, 777);   // empty
  EXPECT_EQ(r.setup.spareA, 777);
  EXPECT_EQ(r.border[3].longitude, 0);   // border longitude default
  EXPECT_NEAR(r.border[3].latitude, 49.2, 1e-9);
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
    const auto dest = geodesy::ReadDestinationSetup(settings, catalogue);
    MapFileDestination d;
    d.projectionName = dest.displayName;
    d.shortName = dest.shortName;
    d.datum = geodesy::FindDatum(c.datum);
    d.setup = dest.setup;
    d.handle = &dest.handle;
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
    EXPECT_EQ(r.projectionName, dest.displayName);
    EXPECT_EQ(r.datum, d.datum);
    EXPECT_EQ(r.method, kMethodFirstOrder);
    EXPECT_EQ(r.setup.lon0, dest.setup.lon0) << c.projection;
    // Each corner pixel maps to the inverse-projected destination corner.
    const std::pair<double, double> pixels[] = {{0, 0}, {200, 0}, {200, 100}, {0, 100}};
    const std::pair<double, double> xy[] = {{c.west, c.north}, {c.east, c.north}, {c.east, c.south}, {c.west, c.south}};
    for (int k = 0; k < 4; ++k) {
      const auto ll = PixelToLatLon(r, pixels[k].first, pixels[k].second);
      double lat = xy[k].second, lon = xy[k].first;
      if (dest.shortName != "Latit") {
        const auto g = geodesy::ProjectInverse(dest.handle, dest.shortName, xy[k].first, xy[k].second, dest.setup,
                                               geodesy::WGS84Datum());
        lat = g.latitude;
        lon = g.longitude;
      }
      EXPECT_NEAR(ll.latitude, RoundAwayFullMinute(lat), 2e-5) << c.projection << " corner " << k;
      EXPECT_NEAR(ll.longitude, RoundAwayFullMinute(lon), 2e-5) << c.projection << " corner " << k;
    }
  }
}

}  // namespace
}  // namespace quiltor
