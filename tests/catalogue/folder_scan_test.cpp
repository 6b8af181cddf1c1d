// Folder scans into the catalogue, the catalogue queries and the map list,
// over small map folders made in a temporary folder.
#include "catalogue/folder_scan.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <string>
#include <vector>

#include "catalogue/map_file_support.h"  // tests/catalogue
#include "catalogue/map_list.h"
#include "catalogue/raster_image_queries.h"
#include "common/text.h"
#include "support/recording_host.h"
#include "support/temp_folder.h"

namespace quiltor {
namespace {

namespace fs = std::filesystem;

// Records like RecordingHost and raises the abort flag when the reader
// announces the map file named `abortAt`, as the progress window's Abort
// button would while that map is being read.
class AbortingHost : public testing::RecordingHost {
 public:
  explicit AbortingHost(std::atomic<bool>& abort) : abort_(abort) {}
  void SetProgressLabel(int label, const std::string& text) override {
    RecordingHost::SetProgressLabel(label, text);
    if (label == 1 && !abortAt.empty() && text == "Loading Map - " + abortAt) abort_ = true;
  }
  std::string abortAt;

 private:
  std::atomic<bool>& abort_;
};

class FolderScanTest : public ::testing::Test {
 protected:
  FolderScanTest() { testing::WriteTinyBmp(image, 100, 80); }

  std::string Folder(const std::string& name) {
    fs::create_directories(tmp / name);
    return (tmp / name).string();
  }
  // A latitude/longitude map; `span` degrees wide, so larger spans are less detailed.
  void AddMap(const std::string& folder, const std::string& file, double span, const std::string& imageFile = "") {
    testing::WriteText(fs::path(folder) / file,
                       testing::LatLonMapText(imageFile.empty() ? image.string() : imageFile, 10, 50, file, span));
  }
  void Scan(const std::vector<std::string>& ticked) {
    ScanSession session{catalogue, loaded, context, abort};
    ScanNewFolders(session, FolderList(ticked));
    lastTotal = session.mapTotal;
  }
  std::vector<std::string> Titles() const {
    std::vector<std::string> titles;
    for (int i = 0; i < catalogue.count(); ++i) titles.push_back(catalogue[i].title);
    return titles;
  }
  std::vector<std::string> SortedTitles() const {
    auto titles = Titles();
    std::sort(titles.begin(), titles.end());
    return titles;
  }
  // The map files the reader was asked to load, in order.
  std::vector<std::string> LoadedFiles() const {
    std::vector<std::string> files;
    for (const auto& e : host.events) {
      const std::string prefix = "label1: Loading Map - ";
      if (e.compare(0, prefix.size(), prefix) == 0) files.push_back(e.substr(prefix.size()));
    }
    return files;
  }
  Map_record* Find(const std::string& title) {
    for (int i = 0; i < catalogue.count(); ++i)
      if (catalogue[i].title == title) return &catalogue[i];
    return nullptr;
  }

  testing::TempFolder tmp;
  fs::path image = tmp / "sheet.bmp";
  MapCatalogue catalogue;
  FolderList loaded;
  std::atomic<bool> abort{false};
  AbortingHost host{abort};
  ImageSearchContext search;
  MapReadContext context{geodesy::BuiltInProjectionCatalogue(), search, RasterImageQueries(), host, {}};
  int lastTotal = 0;
};

using Names = std::vector<std::string>;

std::string Replace(std::string text, const std::string& from, const std::string& to) {
  const auto at = text.find(from);
  EXPECT_NE(at, std::string::npos) << from;
  if (at != std::string::npos) text.replace(at, from.size(), to);
  return text;
}

TEST(FolderList, SortedWithoutDuplicatesIgnoringCaseAndTrailingSeparators) {
  FolderList list({"/maps/North/", "/maps/east", "/MAPS/NORTH", "C:\\Maps\\West\\", "  "});
  EXPECT_EQ(list.folders(), (Names{"/maps/east", "/maps/North", "C:\\Maps\\West"}));
  EXPECT_TRUE(list.Contains("/Maps/EAST//"));
  EXPECT_TRUE(list.Contains("c:\\maps\\west"));
  EXPECT_FALSE(list.Contains("/maps"));
  list.Remove("/maps/north/");
  EXPECT_EQ(list.folders(), (Names{"/maps/east", "C:\\Maps\\West"}));
}

TEST_F(FolderScanTest, MapFilesOfAFolderInNameOrderWhateverTheCaseOfTheirExtension) {
  const auto f = Folder("f");
  for (const char* name : {"b.map", "A.MAP", "c.Map", "notes.txt", "d.mapx"}) testing::WriteText(fs::path(f) / name, "x");
  fs::create_directories(fs::path(f) / "sub.map");
  const auto files = MapFilesOf(f + "/");
  EXPECT_EQ(files, (Names{f + "/A.MAP", f + "/b.map", f + "/c.Map"}));
  EXPECT_TRUE(MapFilesOf((tmp / "missing").string()).empty());
}

TEST_F(FolderScanTest, IncrementalTickAndUntick) {
  const auto a = Folder("Alpha"), b = Folder("Beta");
  AddMap(a, "a1.map", 0.5);
  AddMap(a, "a2.map", 2.0);
  AddMap(b, "b1.map", 1.0);
  AddMap(b, "b2.map", 1.5, (tmp / "gone.bmp").string());
  testing::WriteText(fs::path(b) / "b3.map", Replace(testing::LatLonMapText(image.string()), "MMPLL,1,10,50", "MMPLL,1,10,95"));

  Scan({a});
  EXPECT_EQ(SortedTitles(), (Names{"a1.map", "a2.map"}));
  EXPECT_EQ(loaded.folders(), Names{a});
  ASSERT_NE(Find("a2.map"), nullptr);
  Find("a2.map")->selected = false;  // the user unticked it

  // Ticking a second folder reads only that folder; the first keeps its maps
  // and their selection.
  host.events.clear();
  Scan({a, b});
  EXPECT_EQ(LoadedFiles(), (Names{"b1.map", "b2.map", "b3.map"}));
  EXPECT_EQ(SortedTitles(), (Names{"a1.map", "a2.map", "b1.map", "b2.map"}));
  EXPECT_FALSE(Find("a2.map")->selected);
  EXPECT_TRUE(Find("b1.map")->selected);
  EXPECT_FALSE(Find("b2.map")->selected);  // image missing: never selected
  EXPECT_EQ(host.mapErrors, Names{(fs::path(b) / "b3.map").string()});
  EXPECT_EQ(loaded.folders(), (Names{a, b}));

  // The map list: most detailed first, with the folder row and status of each.
  std::vector<FolderRow> rows = {{a, true, ""}, {b, true, ""}};
  NumberFolderRows(rows);
  const auto list = FillMapList(catalogue, rows);
  ASSERT_EQ(list.size(), 4u);
  EXPECT_EQ(Titles(), (Names{"a1.map", "b1.map", "b2.map", "a2.map"}));
  struct Expected {
    const char* title;
    const char* path;
    const char* status;
    bool ticked, enabled;
  };
  const Expected expected[] = {{"a1.map", "1", "ok", true, true},
                               {"b1.map", "2", "ok", true, true},
                               {"b2.map", "2", "not found", false, false},
                               {"a2.map", "1", "ok", false, true}};
  for (int i = 0; i < 4; ++i) {
    const auto& row = list[static_cast<std::size_t>(i)];
    EXPECT_EQ(row.title, expected[i].title);
    EXPECT_EQ(row.mapIndex, i);
    EXPECT_EQ(row.path, expected[i].path) << row.title;
    EXPECT_EQ(row.status, expected[i].status) << row.title;
    EXPECT_EQ(row.ticked, expected[i].ticked) << row.title;
    EXPECT_EQ(row.enabled, expected[i].enabled) << row.title;
    EXPECT_EQ(row.pixelScale, PixelScaleText(catalogue[i].metresPerPixel));
  }

  // Unticking the first folder removes exactly its maps; the second, ticked
  // again under another letter case and a trailing separator, is not re-read.
  host.events.clear();
  Scan({b.substr(0, b.size() - 4) + "BETA/"});
  EXPECT_TRUE(LoadedFiles().empty());
  EXPECT_EQ(SortedTitles(), (Names{"b1.map", "b2.map"}));
  EXPECT_EQ(loaded.folders(), Names{b});

  // A loaded folder named in another letter case loses its maps when unticked.
  loaded.Clear();
  loaded.Add(ToUpperAscii(b));
  Scan({});
  EXPECT_EQ(catalogue.count(), 0);
  EXPECT_TRUE(loaded.empty());
  EXPECT_TRUE(FillMapList(catalogue, rows).empty());
}

TEST_F(FolderScanTest, AbortDropsTheFolderBeingReadAndLeavesLaterFoldersForTheNextScan) {
  const auto a = Folder("a"), b = Folder("b"), c = Folder("c");
  AddMap(a, "a1.map", 1);
  for (const char* name : {"b1.map", "b2.map", "b3.map"}) AddMap(b, name, 1);
  AddMap(c, "c1.map", 1);

  host.abortAt = "b2.map";
  Scan({a, b, c});
  EXPECT_EQ(Titles(), Names{"a1.map"});
  EXPECT_EQ(loaded.folders(), Names{a});

  abort = false;
  host.abortAt.clear();
  host.events.clear();
  Scan({a, b, c});
  EXPECT_EQ(LoadedFiles(), (Names{"b1.map", "b2.map", "b3.map", "c1.map"}));
  EXPECT_EQ(SortedTitles(), (Names{"a1.map", "b1.map", "b2.map", "b3.map", "c1.map"}));
  EXPECT_EQ(loaded.folders(), (Names{a, b, c}));

  // An abort while the first new folder is counted reads nothing at all.
  abort = true;
  const auto d = Folder("d");
  AddMap(d, "d1.map", 1);
  Scan({a, b, c, d});
  EXPECT_EQ(catalogue.count(), 5);
  EXPECT_EQ(loaded.folders(), (Names{a, b, c}));
}

TEST_F(FolderScanTest, TheCatalogueStopsAt2500Maps) {
  const auto big = Folder("big"), late = Folder("late");
  const std::string text = testing::LatLonMapText(image.string());
  for (int i = 0; i < kMaxMaps + 2; ++i)
    testing::WriteText(fs::path(big) / ("m" + ZeroPad(FormatInt(i), 4) + ".map"), text);
  AddMap(late, "late.map", 1);

  ScanSession session{catalogue, loaded, context, abort};
  ScanNewFolders(session, FolderList({big, late}));
  EXPECT_EQ(catalogue.count(), kMaxMaps);
  EXPECT_EQ(session.mapTotal, kMaxMaps);
  EXPECT_EQ(LoadedFiles().size(), static_cast<std::size_t>(kMaxMaps));
  const auto& events = host.events;
  EXPECT_NE(std::find(events.begin(), events.end(), "label2: Map 2500 of 2500"), events.end());
  EXPECT_TRUE(std::none_of(events.begin(), events.end(), [](const std::string& e) {
    return e.rfind("label", 0) == 0 && e.find("2501") != std::string::npos;
  }));
  // The maps left out are counted and named, with the reason.
  EXPECT_EQ(session.leftOut, 3);
  const Names leftOut = {(fs::path(big) / "m2500.map").string(), (fs::path(big) / "m2501.map").string(),
                         (fs::path(late) / "late.map").string()};
  EXPECT_EQ(host.mapErrors, leftOut);
  EXPECT_EQ(host.mapErrorCauses, Names(3, "left out: the catalogue holds 2500 maps"));
  // The folder the full catalogue kept out is not listed, so a scan with
  // room reads it.
  EXPECT_EQ(loaded.folders(), Names{big});

  Scan({late});
  EXPECT_EQ(Titles(), Names{"late.map"});
  EXPECT_EQ(loaded.folders(), Names{late});
}

// Maps of the given scales and titles, straight into the catalogue.
void FillCatalogue(MapCatalogue& catalogue, const std::vector<std::pair<double, std::string>>& maps) {
  for (const auto& [scale, title] : maps) {
    Map_record& slot = catalogue.workSlot();
    slot = Map_record{};
    slot.metresPerPixel = scale;
    slot.title = title;
    catalogue.CommitWorkSlot();
  }
}

TEST(SortCatalogue, QuicksortOrderForEqualScales) {
  struct Case {
    std::vector<std::pair<double, std::string>> maps;
    Names sorted;
  };
  const Case cases[] = {
      {{{3, "c"}, {1, "a"}, {2, "b"}}, {"a", "b", "c"}},
      // Equal scales come out in the order the partitioning leaves them,
      // not in their scanned order.
      {{{2, "2a"}, {1, "1a"}, {2, "2b"}, {1, "1b"}, {2, "2c"}}, {"1b", "1a", "2c", "2a", "2b"}},
      {{{5, "a"}, {5, "b"}, {5, "c"}}, {"c", "b", "a"}},
      {{{5, "a"}, {5, "b"}, {5, "c"}, {5, "d"}}, {"c", "d", "a", "b"}},
      {{{7, "only"}}, {"only"}},
  };
  for (const auto& c : cases) {
    MapCatalogue catalogue;
    FillCatalogue(catalogue, c.maps);
    catalogue.SortByScale();
    Names titles;
    for (int i = 0; i < catalogue.count(); ++i) titles.push_back(catalogue[i].title);
    EXPECT_EQ(titles, c.sorted);
  }
}

TEST(SortCatalogue, ManyMapsOfFewScalesEndInAscendingOrder) {
  MapCatalogue catalogue;
  std::vector<std::pair<double, std::string>> maps;
  for (int i = 0; i < kMaxMaps; ++i) maps.push_back({static_cast<double>((i * 7919) % 13), FormatInt(i)});
  FillCatalogue(catalogue, maps);
  catalogue.SortByScale();
  for (int i = 1; i < catalogue.count(); ++i) ASSERT_LE(catalogue[i - 1].metresPerPixel, catalogue[i].metresPerPixel);
}

TEST(RemoveMaps, LaterMapsMoveUpInOrder) {
  MapCatalogue catalogue;
  FillCatalogue(catalogue, {{1, "/x/a.map"}, {2, "/y/b.map"}, {3, "/x/c.map"}, {4, "/y/d.map"}, {5, "/x/e.map"}});
  for (int i = 0; i < catalogue.count(); ++i) catalogue[i].mapFile = catalogue[i].title;
  RemoveMap(catalogue, 1);
  RemoveMap(catalogue, 7);  // no such map: nothing happens
  ASSERT_EQ(catalogue.count(), 4);
  EXPECT_EQ(catalogue[1].title, "/x/c.map");
  RemoveFolderMaps(catalogue, "/X/");
  ASSERT_EQ(catalogue.count(), 1);
  EXPECT_EQ(catalogue[0].title, "/y/d.map");
  EXPECT_TRUE(catalogue[1].title.empty());  // the freed slots hold nothing of the removed maps
  EXPECT_TRUE(catalogue[2].title.empty());
}

TEST(RemoveMaps, MapsDirectlyUnderTheRootBelongToIt) {
  MapCatalogue catalogue;
  FillCatalogue(catalogue, {{1, "root"}, {2, "other"}});
  catalogue[0].mapFile = "/a.map";
  catalogue[1].mapFile = "/maps/b.map";
  RemoveFolderMaps(catalogue, "/");
  ASSERT_EQ(catalogue.count(), 1);
  EXPECT_EQ(catalogue[0].title, "other");
}

TEST(CatalogueExtent, BoxOfAllOrOfSelectedUsableMaps) {
  MapCatalogue catalogue;
  FillCatalogue(catalogue, {{1, "selected"}, {2, "unselected"}, {3, "selected, image missing"}});
  const double borders[3][2][2] = {{{50, 10}, {49, 11}}, {{52, 8}, {51, 9}}, {{40, 20}, {41, 21}}};
  for (int i = 0; i < 3; ++i) {
    catalogue[i].border.resize(2);
    for (std::size_t k = 0; k < 2; ++k) {
      catalogue[i].border[k].latitude = borders[i][k][0];
      catalogue[i].border[k].longitude = borders[i][k][1];
    }
  }
  catalogue[0].selected = true;
  catalogue[2].selected = true;
  catalogue[2].status = kMapImageNotFound;
  const geodesy::Projection latLon =
      geodesy::Projection::Create(geodesy::BuiltInProjectionCatalogue(), "Latitude/Longitude", {}, 0);

  const auto all = CatalogueExtent(catalogue, ExtentKind::AllMaps, latLon);
  ASSERT_TRUE(all.found);
  EXPECT_EQ(all.minX, 8);
  EXPECT_EQ(all.maxX, 21);
  EXPECT_EQ(all.minY, 40);
  EXPECT_EQ(all.maxY, 52);

  const auto selected = CatalogueExtent(catalogue, ExtentKind::SelectedUsableMaps, latLon);
  ASSERT_TRUE(selected.found);
  EXPECT_EQ(selected.minX, 10);
  EXPECT_EQ(selected.maxX, 11);
  EXPECT_EQ(selected.minY, 49);
  EXPECT_EQ(selected.maxY, 50);

  catalogue[0].selected = false;
  EXPECT_FALSE(CatalogueExtent(catalogue, ExtentKind::SelectedUsableMaps, latLon).found);
}

TEST(MapList, PixelScaleAndStatusTexts) {
  struct Case {
    double mpp;
    const char* text;
  };
  const Case cases[] = {{12.3456, "12.346"}, {0.5, "0.500"},
                        {1234567.891, "1234567.891"}, {123456789.1234, "123456789.100"}};
  for (const auto& c : cases) EXPECT_EQ(PixelScaleText(c.mpp), c.text) << c.mpp;
  EXPECT_EQ(MapStatusText(kMapUsable), "ok");
  EXPECT_EQ(MapStatusText(kMapImageNotFound), "not found");
  EXPECT_EQ(MapStatusText(kMapFormatUnsupported), "unsupported");
  EXPECT_EQ(MapStatusText(kMapProtectedImage), "Protected Map Image");
}

}  // namespace
}  // namespace quiltor
