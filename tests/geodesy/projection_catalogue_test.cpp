#include "geodesy/projection_catalogue.h"

#include <gtest/gtest.h>

#include <fstream>

#include "support/temp_folder.h"

namespace quiltor::geodesy {
namespace {

TEST(BuiltInProjectionList, HasTheThirtyRowsInOrder) {
  const ProjectionCatalogue& c = BuiltInProjectionCatalogue();
  ASSERT_EQ(c.Count(), 30);
  EXPECT_EQ(c.Row(0).ProjCode, "Latitude/Longitude");
  EXPECT_EQ(c.Row(0).pstr, "+proj=latlong");
  EXPECT_EQ(c.Row(3).ProjCode, "(UTM) Universal Transverse Mercator");
  EXPECT_EQ(c.Row(3).gp, 3);
  EXPECT_EQ(c.Row(3).GridCode, "utm");
  EXPECT_EQ(c.Row(3).Name, "");
  EXPECT_EQ(c.Row(3).ppars, "utmlon0 utmlat0 utmk0");
  EXPECT_EQ(c.Row(4).GridCode, "bng");
  EXPECT_EQ(c.Row(5).GridCode, "ig");
  EXPECT_EQ(c.Row(29).ProjCode, "(VG94) VICGRID94 Victoria Australia");
  EXPECT_EQ(c.Row(29).gp, 99);
  // The datum shift after "+towgs84=-168" is cut at its first comma.
  EXPECT_EQ(c.Row(11).pstr,
            "+proj=lcc +lat_1=46.8 +lat_0=46.8 +lon_0=2.33722917 +k_0=0.99987742 +x_0=600000 +y_0=2200000 "
            "+a=6378249.2 +b=6356515 +towgs84=-168");
  EXPECT_EQ(c.Row(11).ppars, "ntfd");
}

TEST(BuiltInProjectionList, EveryDestinationProjectionIsACatalogueRow) {
  const ProjectionCatalogue& c = BuiltInProjectionCatalogue();
  for (const auto& d : DestinationProjections()) {
    const int row = c.FindProjection(d.displayName);
    EXPECT_EQ(c.Row(row).ProjCode, d.displayName);
  }
  EXPECT_EQ(DestinationProjections()[3].displayName, std::string("(UTM) Universal Transverse Mercator"));
  EXPECT_EQ(DestinationProjections()[27].displayName, std::string("(VICGRID) Victoria Australia"));
}

TEST(FindProjection, MatchesWholeNamesExactly) {
  const ProjectionCatalogue& c = BuiltInProjectionCatalogue();
  const struct {
    const char* name;
    int row;
  } cases[] = {
      {"(UTM) Universal Transverse Mercator", 3},
      {"Latitude/Longitude", 0},
      {"Bonne", 23},
      {"latitude/longitude", 0},   // case matters
      {"Bonne ", 0},               // no trimming
      {"(UTM)", 0},                // no partial match
      {"", 0},
  };
  for (const auto& t : cases) EXPECT_EQ(c.FindProjection(t.name), t.row) << '"' << t.name << '"';
}

TEST(ShortProjectionName, IsTheFirstFiveCharactersTrimmed) {
  const struct {
    const char* name;
    const char* shortName;
  } cases[] = {
      {"(IG) Irish Grid", "(IG)"},
      {"(I) France Zone I", "(I) F"},
      {"Transverse Mercator", "Trans"},
      {"(SUI) Swiss Grid", "(SUI)"},
      {"(A)Lambert Azimuthual Equal Area", "(A)La"},
      {"Bonne", "Bonne"},
      {"  ab", "ab"},
      {"", ""},
  };
  for (const auto& t : cases) EXPECT_EQ(ShortProjectionName(t.name), t.shortName) << t.name;
}

TEST(ProjectionListParser, ReadsRowsByTheListRules) {
  const struct {
    const char* what;
    const char* text;
    std::vector<Tmapprojection_record> rows;
  } cases[] = {
      {"comments, blanks and other groups are skipped",
       ";comment\r\n   \r\n\r\npg2, 1, utm, a, Other, , +proj=merc\r\n"
       "pg1, 7, pj, tmerc, Mine, lon0 k0, +proj=tmerc +k=1\r\n",
       {{7, "pj", "tmerc", "Mine", "lon0 k0", "+proj=tmerc +k=1"}}},
      {"fields are trimmed of spaces; LF endings work too",
       "  pg1  ,  3 ,  utm ,  , (UTM) X  , utmlon0 ,  +proj=tmerc  \n",
       {{3, "utm", "", "(UTM) X", "utmlon0", "+proj=tmerc"}}},
      {"a missing or non-integer group is 99",
       "pg1, x, pj, , A, , +proj=merc\npg1\n",
       {{99, "pj", "", "A", "", "+proj=merc"}, {99, "", "", "", "", ""}}},
      {"a comma ends the definition",
       "pg1, 1, pj, , B, , +proj=lcc +towgs84=1,2,3 +pm=paris\n",
       {{1, "pj", "", "B", "", "+proj=lcc +towgs84=1"}}},
      {"the first field must be pg1 exactly",
       "PG1, 1, pj, , C, , +proj=merc\npg11, 1, pj, , D, , +proj=merc\n",
       {}},
      {"a leading UTF-8 mark does not hide the first row",
       "\xEF\xBB\xBFpg1, 1, pj, , E, , +proj=merc\n",
       {{1, "pj", "", "E", "", "+proj=merc"}}},
      {"a last line without an ending is read", "pg1, 1, pj, , F, , +proj=merc", {{1, "pj", "", "F", "", "+proj=merc"}}},
  };
  for (const auto& t : cases) {
    const ProjectionCatalogue c = ProjectionCatalogue::Parse(t.text);
    ASSERT_EQ(c.Count(), static_cast<int>(t.rows.size())) << t.what;
    for (std::size_t i = 0; i < t.rows.size(); ++i) {
      const auto& got = c.Rows()[i];
      const auto& want = t.rows[i];
      EXPECT_EQ(got.gp, want.gp) << t.what;
      EXPECT_EQ(got.GridCode, want.GridCode) << t.what;
      EXPECT_EQ(got.Name, want.Name) << t.what;
      EXPECT_EQ(got.ProjCode, want.ProjCode) << t.what;
      EXPECT_EQ(got.ppars, want.ppars) << t.what;
      EXPECT_EQ(got.pstr, want.pstr) << t.what;
    }
  }
}

class ReplacementList : public ::testing::Test {
 protected:
  std::filesystem::path Write(const std::string& text) {
    const auto path = folder.path() / kReplacementListName;
    std::ofstream(path, std::ios::binary) << text;
    return path;
  }
  std::vector<std::string> messages;
  MessageSink sink = [this](const std::string& m) { messages.push_back(m); };
  testing::TempFolder folder;
};

TEST_F(ReplacementList, ReplacesTheBuiltInListEntirely) {
  const auto path = Write("pg1, 99, pj, , (XX) Only Grid, , +proj=tmerc +lon_0=3\r\n");
  const ProjectionCatalogue c = LoadProjectionCatalogue(path, sink);
  ASSERT_EQ(c.Count(), 1);
  EXPECT_EQ(c.Row(0).ProjCode, "(XX) Only Grid");
  EXPECT_EQ(c.FindProjection("Latitude/Longitude"), 0);  // every unknown name is that one row
  EXPECT_TRUE(messages.empty());
}

TEST_F(ReplacementList, WithoutAnyRowFallsBackToTheBuiltInListAndSaysSo) {
  const auto path = Write(";only a comment\r\n\r\npg2, 1, utm, , X, , +proj=merc\r\n");
  const ProjectionCatalogue c = LoadProjectionCatalogue(path, sink);
  EXPECT_EQ(c.Count(), 30);
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_NE(messages[0].find("no \"pg1\" row"), std::string::npos) << messages[0];
}

TEST_F(ReplacementList, AbsentFileMeansTheBuiltInListSilently) {
  const ProjectionCatalogue c = LoadProjectionCatalogue(folder.path() / kReplacementListName, sink);
  EXPECT_EQ(c.Count(), 30);
  EXPECT_TRUE(messages.empty());
}

TEST_F(ReplacementList, AFolderInItsPlaceIsReportedAndIgnored) {
  const auto path = folder.path() / kReplacementListName;
  std::filesystem::create_directory(path);
  const ProjectionCatalogue c = LoadProjectionCatalogue(path, sink);
  EXPECT_EQ(c.Count(), 30);
  EXPECT_EQ(messages.size(), 1u);
}

TEST(ProjectionCatalogueRows, AnIndexOutsideTheCatalogueGivesTheFirstRow) {
  const ProjectionCatalogue& c = BuiltInProjectionCatalogue();
  EXPECT_EQ(c.Row(30).ProjCode, "Latitude/Longitude");
  EXPECT_EQ(c.Row(-1).ProjCode, "Latitude/Longitude");
  EXPECT_EQ(ProjectionCatalogue::Parse("").Row(0).ProjCode, "");
}

TEST(ProjectionSetup, KeepsTheTwelveValuesInStoredOrder) {
  std::array<double, 12> v{};
  for (std::size_t i = 0; i < v.size(); ++i) v[i] = static_cast<double>(i) + 0.5;
  const ProjectionSetup s = ProjectionSetup::FromValues(v);
  EXPECT_EQ(s.utmlon0, 1.5);
  EXPECT_EQ(s.lat0, 2.5);
  EXPECT_EQ(s.y0, 6.5);
  EXPECT_EQ(s.height, 9.5);
  EXPECT_EQ(s.spareB, 11.5);
  EXPECT_EQ(s.Values(), v);
  EXPECT_EQ(ProjectionSetup().lat0, 777.0);
}

}  // namespace
}  // namespace quiltor::geodesy
