#include "cli/name_resolution.h"

#include <gtest/gtest.h>

#include "cli/command_failure.h"
#include "geodesy/datum.h"

namespace quiltor::cli {
namespace {

const std::vector<std::string> kNames = {"Latitude/Longitude", "Mercator", "Transverse Mercator",
                                         "Transverse Mercator (South)", "(UTM) Universal Transverse Mercator",
                                         "(BNG) British National Grid"};

TEST(ResolveName, ExactCaseShortAndUniqueStart) {
  const struct {
    const char* typed;
    const char* meant;
  } cases[] = {
      {"Mercator", "Mercator"},
      {"mercator", "Mercator"},
      {"Transverse Mercator", "Transverse Mercator"},  // whole name over a longer one that starts so
      {"utm", "(UTM) Universal Transverse Mercator"},
      {"BNG", "(BNG) British National Grid"},
      {"lat", "Latitude/Longitude"},
      {" (utm", "(UTM) Universal Transverse Mercator"},
  };
  for (const auto& c : cases) EXPECT_EQ(ResolveName(c.typed, kNames, "projection", "projection"), c.meant) << c.typed;
}

TEST(ResolveName, RefusesUnknownAndAmbiguousNamesWithTheCandidates) {
  try {
    ResolveName("Trans", kNames, "projection", "projection");
    ADD_FAILURE();
  } catch (const CommandFailure& f) {
    EXPECT_EQ(f.ExitCode(), kExitBadArguments);
    EXPECT_EQ(std::string(f.what()),
              "projection \"Trans\" for --projection is ambiguous; it may be:\n  \"Transverse Mercator\"\n"
              "  \"Transverse Mercator (South)\"");
  }
  try {
    ResolveName("Merkator", kNames, "projection", "projection");
    ADD_FAILURE();
  } catch (const CommandFailure& f) {
    EXPECT_EQ(std::string(f.what()).rfind("unknown projection \"Merkator\" for --projection; close names:\n  "
                                          "\"Mercator\"\n",
                                          0),
              0u)
        << f.what();
  }
  EXPECT_THROW(ResolveName("", kNames, "projection", "projection"), CommandFailure);
}

TEST(ResolveDatum, TheTableByNameWithCloseNames) {
  const geodesy::DatumTable& datums = geodesy::Datums();
  EXPECT_EQ(ResolveDatum("wgs 84", "datum"), datums.WGS84Datum());
  EXPECT_EQ(datums.Row(ResolveDatum("Ord Srvy", "datum")).name, "Ord Srvy Grt Britn");
  try {
    ResolveDatum("Ord Srvy Grt Brtn", "to");
    ADD_FAILURE();
  } catch (const CommandFailure& f) {
    EXPECT_NE(std::string(f.what()).find("for --to; close names:\n  \"Ord Srvy Grt Britn\""), std::string::npos)
        << f.what();
  }
}

TEST(ProjectionNames, DestinationListIsPartOfTheCatalogue) {
  const std::vector<std::string> catalogue = CatalogueProjectionNames(geodesy::BuiltInProjectionCatalogue());
  for (const std::string& name : DestinationProjectionNames())
    EXPECT_NE(std::find(catalogue.begin(), catalogue.end(), name), catalogue.end()) << name;
}

}  // namespace
}  // namespace quiltor::cli
