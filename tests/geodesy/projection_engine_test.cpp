#include "geodesy/projection.h"

#include <gtest/gtest.h>

#include <cmath>
#include <thread>
#include <vector>

namespace quiltor::geodesy {
namespace {

const ProjectionCatalogue& Catalogue() { return BuiltInProjectionCatalogue(); }

ProjectionSetup TransverseMercator100() {
  ProjectionSetup s;
  s.lon0 = 100;
  s.lat0 = 0;
  s.k0 = 1;
  s.x0 = 0;
  s.y0 = 0;
  return s;
}

Projection Make(const char* name, const ProjectionSetup& setup, const char* datum = "WGS 84",
                std::vector<std::string>* messages = nullptr) {
  const MessageSink sink = [messages](const std::string& m) {
    if (messages != nullptr) messages->push_back(m);
  };
  return Projection::Create(Catalogue(), name, setup, FindDatum(datum), sink);
}

ProjectionHandle MakeHandle(const char* name, const ProjectionSetup& setup) {
  return CreateProjection(Catalogue(), Catalogue().FindProjection(name), setup, WGS84Datum());
}

TEST(ProjectionDefinition, IsBuiltFromTheRowTheSetupAndTheEllipsoid) {
  ProjectionSetup utm;
  utm.utmlon0 = 153;
  ProjectionSetup unsetOrigin;  // lat0 777 is written as 0
  unsetOrigin.lon0 = -2;
  unsetOrigin.lat1 = 0.5;
  unsetOrigin.lat2 = -30;
  const struct {
    const char* name;
    ProjectionSetup setup;
    const char* datum;
    const char* definition;
  } cases[] = {
      {"Transverse Mercator", TransverseMercator100(), "WGS 84",
       "+proj=tmerc +lon_0=100.0000000 +lat_0=0.0000000 +k_0=1.0000000 +x_0=0.0000000 +y_0=0.0000000 "
       "+a=6378137.00000 +b=6356752.31425"},
      {"(UTM) Universal Transverse Mercator", utm, "WGS 84",
       "+proj=tmerc +lon_0=153.0000000 +lat_0=0.0000000 +k_0=0.9996000 +a=6378137.00000 +b=6356752.31425"},
      {"(BNG) British National Grid", ProjectionSetup(), "Ord Srvy Grt Britn",
       "+proj=tmerc +lat_0=49 +lon_0=-2 +k=0.999601 +x_0=400000 +y_0=-100000 +a=6377563.39600 +b=6356256.90924"},
      {"Latitude/Longitude", ProjectionSetup(), "WGS 84", "+proj=latlong +a=6378137.00000 +b=6356752.31425"},
      {"Lambert Conformal Conic", unsetOrigin, "WGS 84",
       "+proj=lcc +lon_0=-2.0000000 +lat_0=0.0000000 +lat_1=0.5000000 +lat_2=-30.0000000 "
       "+a=6378137.00000 +b=6356752.31425"},
      {"Vertical Near-Sided Perspective", unsetOrigin, "WGS 84",  // "height" adds nothing
       "+proj=nsper +lon_0=-2.0000000 +lat_0=0.0000000 +a=6378137.00000 +b=6356752.31425"},
  };
  for (const auto& t : cases) {
    const auto& row = Catalogue().Row(Catalogue().FindProjection(t.name));
    EXPECT_EQ(ProjectionDefinition(row, t.setup, EllipsoidOfDatum(FindDatum(t.datum))), t.definition) << t.name;
  }
}

TEST(ProjectionDefinition, ReadsKeywordsUpToTheFirstEmptyWord) {
  Tmapprojection_record row;
  row.pstr = "+proj=merc";
  row.ppars = "latts0 x0 x0  y0";  // a doubled space ends the list; a repeated word repeats
  ProjectionSetup s;
  s.x0 = -2;
  s.y0 = 5;
  EXPECT_EQ(ProjectionDefinition(row, s, EllipsoidOfDatum(FindDatum("WGS 84"))),
            "+proj=merc +lat_ts=0 +x_0=-2.0000000 +x_0=-2.0000000 +a=6378137.00000 +b=6356752.31425");
}

TEST(LibraryDefinition, DropsDatumShiftAndPrimeMeridianAndGivesBonneItsParallel) {
  const struct {
    const char* definition;
    const char* given;
  } cases[] = {
      {"+proj=lcc +lat_1=46.8 +towgs84=-168 +a=1 +b=1", "+proj=lcc +lat_1=46.8 +a=1 +b=1"},
      {"+proj=lcc +x_0=600000 +pm=paris +a=1", "+proj=lcc +x_0=600000 +a=1"},
      {"+proj=tmerc +ellps=intl +pm=rome +towgs84=1,2,3", "+proj=tmerc +ellps=intl"},
      {"+proj=bonne +lon_0=2.0000000 +lat_0=45.0000000 +a=1", "+proj=bonne +lon_0=2.0000000 +lat_0=45.0000000 +a=1 +lat_1=45.0000000"},
      {"+proj=bonne +lat_1=30 +lat_0=45", "+proj=bonne +lat_1=30 +lat_0=45"},
      {"+proj=bonne +lon_0=2", "+proj=bonne +lon_0=2 +lat_1=0"},
      {"+proj=merc  +a=1", "+proj=merc +a=1"},
  };
  for (const auto& t : cases) EXPECT_EQ(LibraryDefinition(t.definition), t.given) << t.definition;
}

TEST(ProjectionKind, ComesFromTheShortName) {
  const struct {
    const char* name;
    ProjectionFamily family;
    bool utm, mercator;
  } cases[] = {
      {"Latitude/Longitude", ProjectionFamily::LatitudeLongitude, false, false},
      {"(SUI) Swiss Grid", ProjectionFamily::SwissGrid, false, false},
      {"(UTM) Universal Transverse Mercator", ProjectionFamily::Library, true, false},
      {"Mercator", ProjectionFamily::Library, false, true},
      {"Transverse Mercator", ProjectionFamily::Library, false, false},
      {"Mercator (sphere)", ProjectionFamily::Library, false, true},  // a renamed row keeps its short name
  };
  for (const auto& c : cases) {
    const ProjectionKind kind(c.name);
    EXPECT_EQ(kind.Family(), c.family) << c.name;
    EXPECT_EQ(kind.IsUtm(), c.utm) << c.name;
    EXPECT_EQ(kind.IsMercator(), c.mercator) << c.name;
  }
}

TEST(Projection, LatitudeLongitudePassesPointsThroughWhateverTheSetup) {
  ProjectionSetup odd = TransverseMercator100();
  const Projection p = Make("Latitude/Longitude", odd);
  ASSERT_TRUE(p.Handle().Valid());
  EXPECT_TRUE(p.Handle().IsGeographic());
  EXPECT_TRUE(p.IsLatLon());
  const EastingNorthing en = p.Forward({45, 7}).value();
  EXPECT_EQ(en.easting, 7);
  EXPECT_EQ(en.northing, 45);
  const LatLon ll = p.Inverse({7, 45}).value();
  EXPECT_EQ(ll.latitude, 45);
  EXPECT_EQ(ll.longitude, 7);
}

TEST(Projection, TransverseMercatorNorthingIsTheMeridianArc) {
  const ProjectionSetup s = TransverseMercator100();
  const Projection p = Make("Transverse Mercator", s);
  ASSERT_TRUE(p.CanProject());
  EXPECT_FALSE(p.Handle().IsGeographic());
  EXPECT_EQ(p.Family(), ProjectionFamily::Library);
  EXPECT_EQ(p.Setup(), s);
  const EastingNorthing en = p.Forward({10, 100}).value();
  EXPECT_NEAR(en.easting, 0.0, 1e-6);
  EXPECT_NEAR(en.northing, 1105854.83, 0.01);
  const LatLon ll = p.Inverse(en).value();
  EXPECT_NEAR(ll.latitude, 10, 1e-9);
  EXPECT_NEAR(ll.longitude, 100, 1e-9);
}

TEST(Projection, PolesAreProjectedJustShortOfThePole) {
  const Projection p = Make("Transverse Mercator", TransverseMercator100());
  const EastingNorthing nearPole = p.Forward({89.99999, 30}).value();
  for (const double lat : {90.0, 95.0}) {
    const EastingNorthing en = p.Forward({lat, 30}).value();
    EXPECT_EQ(en.easting, nearPole.easting) << lat;
    EXPECT_EQ(en.northing, nearPole.northing) << lat;
  }
  EXPECT_EQ(p.Forward({-90, 30}).value().northing, -nearPole.northing);
}

TEST(Projection, FranceZonesIgnoreDatumShiftAndPrimeMeridian) {
  // PROJ on its own would shift Zone II to WGS 84 (about 226 m) and measure
  // Zone I from Paris (about 178 km); the zones project only.
  const Projection zone2 = Make("(II) France Zone II", ProjectionSetup());
  ASSERT_TRUE(zone2.CanProject());
  const EastingNorthing en2 = zone2.Forward({46.9, 2.5}).value();
  EXPECT_NEAR(en2.easting, 612401.85, 0.01);
  EXPECT_NEAR(en2.northing, 2211128.22, 0.01);

  const EastingNorthing en1 = Make("(I) France Zone I", ProjectionSetup()).Forward({49.5, 2.33722917}).value();
  EXPECT_NEAR(en1.easting, 600000.0, 0.01);  // the central meridian itself
  EXPECT_NEAR(en1.northing, 1200000.0, 0.01);
}

TEST(Projection, SwissGridIsBuiltInOnTheDatumsEllipsoid) {
  const Projection swiss = Make("(SUI) Swiss Grid", ProjectionSetup(), "CH-1903");
  EXPECT_TRUE(swiss.IsSwissGrid());
  const EastingNorthing en = swiss.Forward({47, 8}).value();
  EXPECT_NEAR(en.easting, 642617.53, 0.01);
  EXPECT_NEAR(en.northing, 205442.81, 0.01);
  const LatLon ll = swiss.Inverse(en).value();
  EXPECT_NEAR(ll.latitude, 47, 1e-9);
  EXPECT_NEAR(ll.longitude, 8, 1e-9);
  EXPECT_FALSE(swiss.Forward({30, 8}));  // outside the grid's domain
}

TEST(Projection, NoneProjectsNothing) {
  const Projection none;
  EXPECT_FALSE(none.CanProject());
  EXPECT_FALSE(none.Forward({45, 7}));
  EXPECT_FALSE(none.Inverse({1000, 2000}));
}

TEST(Projection, RefusedDefinitionSaysProjNilAndProjectsNothing) {
  ProjectionSetup s;
  s.lon0 = 10;
  s.lat0 = 50;
  s.height = 35786000;  // never reaches PROJ, which then refuses the perspective
  std::vector<std::string> messages;
  const Projection p = Make("Vertical Near-Sided Perspective", s, "WGS 84", &messages);
  EXPECT_FALSE(p.Handle().Valid());
  EXPECT_FALSE(p.CanProject());
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0], "proj = nil");
  EXPECT_FALSE(p.Forward({50, 10}));
}

TEST(Projection, BonneWithALatitudeOfOriginIsAccepted) {
  ProjectionSetup s;
  s.lon0 = 2;
  s.lat0 = 45;
  std::vector<std::string> messages;
  const Projection p = Make("Bonne", s, "WGS 84", &messages);
  ASSERT_TRUE(p.CanProject());
  EXPECT_TRUE(messages.empty());
  // The standard parallel passes through the origin: the origin projects to 0, 0.
  const EastingNorthing en = p.Forward({45, 2}).value();
  EXPECT_NEAR(en.easting, 0, 1e-6);
  EXPECT_NEAR(en.northing, 0, 1e-6);
}

TEST(Projection, APointPROJCannotInvertHasNoPosition) {
  ProjectionSetup s;
  s.lon0 = 0;
  EXPECT_FALSE(Make("Sinusoidal", s).Inverse({0, 1e9}));  // far beyond the pole
}

TEST(Projection, CopiesShareTheHandle) {
  const Projection a = Make("Transverse Mercator", TransverseMercator100());
  const Projection b = a;  // NOLINT(performance-unnecessary-copy-initialization): the copy is the point
  EXPECT_EQ(&a.Handle(), &b.Handle());
  EXPECT_EQ(b.Forward({10, 101})->easting, a.Forward({10, 101})->easting);
}

TEST(ProjectionEngine, HandlesMoveAndReleaseCleanly) {
  const ProjectionSetup s = TransverseMercator100();
  ProjectionHandle a = MakeHandle("Transverse Mercator", s);
  const EastingNorthing before = a.Forward({10, 101}).value();
  ProjectionHandle b = std::move(a);
  EXPECT_FALSE(a.Valid());  // NOLINT(bugprone-use-after-move): a moved-from handle is none
  const EastingNorthing after = b.Forward({10, 101}).value();
  EXPECT_EQ(before.easting, after.easting);
  FreeProjection(b);
  EXPECT_FALSE(b.Valid());
  EXPECT_FALSE(b.Forward({10, 101}));
  // A new handle made after the release must not pick up the released one.
  ProjectionSetup other = s;
  other.x0 = 500000;
  const ProjectionHandle c = MakeHandle("Transverse Mercator", other);
  EXPECT_NEAR(c.Forward({10, 101})->easting, before.easting + 500000, 1e-6);
}

TEST(ProjectionEngine, ThreadsSharingOneHandleGetTheSingleThreadResults) {
  ProjectionSetup s;
  s.lon0 = -96;
  s.lat0 = 23;
  s.lat1 = 29.5;
  s.lat2 = 45.5;
  const Projection shared = Make("Albers Equal Area", s);
  ASSERT_TRUE(shared.CanProject());
  constexpr int kPoints = 2000;
  const auto pointAt = [](int i) { return LatLon{25.0 + 0.01 * i, -120.0 + 0.02 * i}; };

  std::vector<EastingNorthing> expectedForward(kPoints);
  std::vector<LatLon> expectedInverse(kPoints);
  for (int i = 0; i < kPoints; ++i) {
    const LatLon p = pointAt(i);
    expectedForward[i] = shared.Forward(p).value();
    expectedInverse[i] = shared.Inverse(expectedForward[i]).value();
  }

  constexpr int kThreads = 4;
  std::vector<int> mismatches(kThreads, 0);
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      const Projection mine = shared;  // each worker keeps its own copy, as a create's threads do
      for (int round = 0; round < 5; ++round) {
        for (int i = 0; i < kPoints; ++i) {
          const EastingNorthing en = mine.Forward(pointAt(i)).value_or(EastingNorthing{});
          const LatLon back = mine.Inverse(en).value_or(LatLon{});
          if (en.easting != expectedForward[i].easting || en.northing != expectedForward[i].northing ||
              back.latitude != expectedInverse[i].latitude || back.longitude != expectedInverse[i].longitude) {
            ++mismatches[t];
          }
        }
      }
    });
  }
  for (auto& th : threads) th.join();
  for (int t = 0; t < kThreads; ++t) EXPECT_EQ(mismatches[t], 0) << "thread " << t;
}

TEST(ProjectionEngine, AThreadsObjectGoesWhenTheThreadEnds) {
  // Each create runs on a new thread through the same source map handles;
  // their PROJ objects must not pile up from one create to the next.
  const ProjectionSetup s = TransverseMercator100();
  const ProjectionHandle h = MakeHandle("Transverse Mercator", s);
  EXPECT_EQ(h.ThreadObjectCount(), 1u);  // the creating thread's
  const EastingNorthing here = h.Forward({10, 101}).value();
  for (int create = 0; create < 3; ++create) {
    EastingNorthing there{};
    std::size_t during = 0;
    std::thread worker([&] {
      there = h.Forward({10, 101}).value_or(EastingNorthing{});
      during = h.ThreadObjectCount();
    });
    worker.join();
    EXPECT_EQ(during, 2u);
    EXPECT_EQ(there.easting, here.easting);
    EXPECT_EQ(h.ThreadObjectCount(), 1u);
  }
  // A handle released before its worker thread ends is no trouble either.
  auto early = std::make_unique<ProjectionHandle>(MakeHandle("Transverse Mercator", s));
  std::thread worker([&] { (void)early->Forward({10, 101}); });
  worker.join();
  std::thread other([&] {
    (void)early->Forward({10, 101});
    early.reset();
  });
  other.join();
  EXPECT_EQ(early, nullptr);
}

}  // namespace
}  // namespace quiltor::geodesy
