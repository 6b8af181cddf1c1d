#include "geodesy/datum.h"

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <string>
#include <vector>

#include "support/temp_folder.h"

namespace quiltor::geodesy {
namespace {

TEST(DatumTable, BuiltInShape) {
  const DatumTable table;
  EXPECT_EQ(table.LastDatum(), 122);
  EXPECT_EQ(table.WGS84Datum(), 120);
  EXPECT_EQ(table.Row(105).name, "S42        ");
  EXPECT_EQ(table.Row(90).ellipsoid, 0);
  EXPECT_EQ(table.Row(101).dZ, -1262);
  const std::vector<std::string> offered = table.OfferedNames();
  ASSERT_EQ(offered.size(), 122u);
  EXPECT_EQ(offered.front(), "Adindan");
  EXPECT_EQ(offered.back(), "Zanderij");
}

TEST(DatumTable, FindDatumComparesWholeNamesIgnoringCase) {
  const DatumTable table;
  struct Case {
    const char* name;
    std::int32_t index;
  } cases[] = {
      {"WGS 84", 120},
      {"wgs 84", 120},
      {" WGS 84", 120},  // no row has the leading blank: the WGS 84 fallback
      {"Ord Srvy Grt Britn", 90},
      {"ORD SRVY GRT BRITN", 90},
      {"Ord Srvy", 120},  // no partial match
      {"S42", 120},       // the stored name carries eight trailing blanks
      {"S42        ", 105},
      {"Auto Shift .....", 0},
      {"WGS 72", 119},
      {"", 120},
  };
  for (const Case& c : cases) EXPECT_EQ(table.FindDatum(c.name), c.index) << '"' << c.name << '"';
  EXPECT_TRUE(table.HasDatum("nad83"));
  EXPECT_FALSE(table.HasDatum("NAD 83"));
}

TEST(DatumTable, CloseNamesPutsContainingNamesFirst) {
  const DatumTable table;
  const std::vector<std::string> close = table.CloseNames("nad27 c", 3);
  ASSERT_EQ(close.size(), 3u);
  for (const std::string& name : close) EXPECT_EQ(name.rfind("NAD27 C", 0), 0u) << name;
  EXPECT_EQ(table.CloseNames("S42", 1).front(), "S42        ");
  EXPECT_EQ(table.CloseNames("Ord Srvy Grt Brtn", 1).front(), "Ord Srvy Grt Britn");
}

TEST(DatumTable, EllipsoidOfDatum) {
  const DatumTable table;
  const Ellipsoid airy = table.EllipsoidOfDatum(90);
  EXPECT_DOUBLE_EQ(airy.a, 6377563.396);
  const double f = 1.0 / 299.3249646;
  EXPECT_DOUBLE_EQ(airy.e2, 2 * f - f * f);
  EXPECT_NEAR(airy.b, 6356256.909, 0.001);
  for (std::int32_t notARow : {NoDatum, -1, 123, 132}) {
    const Ellipsoid e = table.EllipsoidOfDatum(notARow);
    EXPECT_DOUBLE_EQ(e.a, 6378137.0) << notARow;
    EXPECT_NEAR(e.b, 6356752.314245, 1e-6) << notARow;
  }
}

TEST(DatumTable, ConvertDatumLeavesExcludedPointsUnchanged) {
  const DatumTable table;
  struct Case {
    std::int32_t from, to;
    double lat, lon;
  } cases[] = {
      {90, 120, 0.0, 0.0},      {32, 71, 0.0, 0.0},    {90, 90, 51.5, -0.1}, {NoDatum, 120, 51.5, -0.1},
      {90, NoDatum, 51.5, -0.1}, {90, 120, 86.0, 10.0}, {90, 120, -85.5, 10.0}, {90, 120, 50.0, 179.5},
      {90, 120, 50.0, -179.2},
  };
  for (const Case& c : cases) {
    double lat = c.lat, lon = c.lon;
    table.ConvertDatum(c.from, c.to, lat, lon);
    EXPECT_EQ(lat, c.lat) << c.from << "->" << c.to << " at " << c.lat << "," << c.lon;
    EXPECT_EQ(lon, c.lon) << c.from << "->" << c.to << " at " << c.lat << "," << c.lon;
  }
  // Only the exact point 0,0 is excluded: a hair beside it is shifted.
  double lat = 0.0, lon = 0.000001;
  table.ConvertDatum(90, 120, lat, lon);
  EXPECT_NE(lat, 0.0);
}

TEST(DatumTable, ConvertDatumBritishExampleAndRoundTrip) {
  const DatumTable table;
  double lat = 51.5, lon = -0.1;
  table.ConvertDatum(90, 120, lat, lon);
  EXPECT_NEAR(lat, 51.500459, 2e-6);
  EXPECT_NEAR(lon, -0.101589, 2e-6);
  table.ConvertDatum(120, 90, lat, lon);
  // One millimetre is about 9e-9 degrees of latitude.
  EXPECT_NEAR(lat, 51.5, 9e-9);
  EXPECT_NEAR(lon, -0.1, 1.5e-8);
}

TEST(DatumTable, AutoShiftRowActsAsWgs84) {
  const DatumTable table;
  double viaAuto[2] = {47.3, 8.5}, viaWgs[2] = {47.3, 8.5};
  table.ConvertDatum(0, 24, viaAuto[0], viaAuto[1]);
  table.ConvertDatum(120, 24, viaWgs[0], viaWgs[1]);
  EXPECT_EQ(viaAuto[0], viaWgs[0]);
  EXPECT_EQ(viaAuto[1], viaWgs[1]);
  // Two zero-shift datums on the WGS 84 ellipsoid: nothing but rounding.
  double lat = -33.9, lon = 18.4;
  table.ConvertDatum(41, 85, lat, lon);
  EXPECT_NEAR(lat, -33.9, 1e-12);
  EXPECT_NEAR(lon, 18.4, 1e-12);
}

TEST(DatumFile, LinesBecomeRows) {
  DatumTable table;
  table.AddDatumLines(
      "My Local Datum, 14, -87, -98, -121\n"
      "\n"
      "   \n"
      " , 14, 1, 2, 3\n"                       // empty name: skipped
      "  Odd Fields  , abc, 1.6, -2.5, x\r\n"  // trimmed name, defaults, halves to even, CRLF
      "Lonely Name\n"                          // no commas at all
      "Far Ellipsoid, 35, 1, 2, 3\n"           // no such ellipsoid: WGS 84
      "Negative Ellipsoid, -1, 1, 2, 3\n"
      "A name that is far longer than forty characters, 3\n"
      "NAD83, 4, 9, 9, 9\n"                    // a second row of a built-in name
      "Short Fields, 3, 12.5 m");
  ASSERT_EQ(table.LastDatum(), 130);
  struct Row {
    std::int32_t index;
    const char* name;
    std::int32_t ellipsoid, dX, dY, dZ;
  } rows[] = {
      {123, "My Local Datum", 14, -87, -98, -121}, {124, "Odd Fields", 20, 2, -2, 0},
      {125, "Lonely Name", 20, 0, 0, 0},           {126, "Far Ellipsoid", 20, 1, 2, 3},
      {127, "Negative Ellipsoid", 20, 1, 2, 3},    {128, "A name that is far longer than forty char", 3, 0, 0, 0},
      {129, "NAD83", 4, 9, 9, 9},                  {130, "Short Fields", 3, 12, 0, 0},
  };
  for (const Row& r : rows) {
    const datum_record& d = table.Row(r.index);
    EXPECT_EQ(d.name, std::string(r.name).substr(0, 40)) << r.index;
    EXPECT_EQ(d.ellipsoid, r.ellipsoid) << r.index;
    EXPECT_EQ(d.dX, r.dX) << r.index;
    EXPECT_EQ(d.dY, r.dY) << r.index;
    EXPECT_EQ(d.dZ, r.dZ) << r.index;
  }
  EXPECT_EQ(table.FindDatum("my local datum"), 123);
  EXPECT_EQ(table.FindDatum("NAD83"), 76);  // the first row of that name wins
  EXPECT_EQ(table.WGS84Datum(), 120);

  // A file datum with European 1950's parameters converts like it.
  double a[2] = {48.0, 2.0}, b[2] = {48.0, 2.0};
  table.ConvertDatum(123, 120, a[0], a[1]);
  table.ConvertDatum(32, 120, b[0], b[1]);
  EXPECT_EQ(a[0], b[0]);
  EXPECT_EQ(a[1], b[1]);
}

TEST(DatumFile, OnlyTenFreeRows) {
  DatumTable table;
  std::string text;
  for (int i = 1; i <= 12; ++i) text += "Extra " + std::to_string(i) + ", 14, 1, 2, 3\n";
  table.AddDatumLines(text);
  EXPECT_EQ(table.LastDatum(), 132);
  EXPECT_EQ(table.Row(132).name, "Extra 10");
  EXPECT_EQ(table.FindDatum("Extra 11"), 120);
}

TEST(DatumFile, LoadingFromDisk) {
  testing::TempFolder folder;
  std::vector<std::string> messages;
  const MessageSink sink = [&](const std::string& m) { messages.push_back(m); };

  DatumTable missing;
  EXPECT_FALSE(missing.LoadDatumFile(folder / "datums.dat", sink));
  EXPECT_TRUE(messages.empty());

  // A folder where the file should be cannot be read: reported, table kept.
  std::filesystem::create_directories(folder / "unreadable" / "datums.dat");
  DatumTable unreadable;
  EXPECT_FALSE(unreadable.LoadDatumFile(folder / "unreadable" / "datums.dat", sink));
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_NE(messages[0].find("datums.dat"), std::string::npos);
  EXPECT_EQ(unreadable.LastDatum(), 122);

  { std::ofstream(folder / "datums.dat") << "Harbour Datum, 5, 10, 20, 30\n"; }
  std::filesystem::create_directories(folder / "second");
  { std::ofstream(folder / "second" / "datums.dat") << "Second Datum, 5, 10, 20, 30\n"; }
  // Beside the program first, then the configuration folder.
  const DatumTable loaded =
      LoadStartupDatums({folder / "nowhere" / "datums.dat", folder / "datums.dat", folder / "second" / "datums.dat"}, sink);
  EXPECT_EQ(loaded.LastDatum(), 123);
  EXPECT_EQ(loaded.FindDatum("Harbour Datum"), 123);
  EXPECT_EQ(loaded.FindDatum("Second Datum"), 120);
  EXPECT_EQ(messages.size(), 1u);
}

}  // namespace
}  // namespace quiltor::geodesy
