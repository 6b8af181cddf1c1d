#include "catalogue/folder_scan.h"

#include <algorithm>
#include <optional>
#include <system_error>
#include <utility>

#include "catalogue/map_file_reader.h"
#include "common/paths.h"
#include "common/text.h"

namespace quiltor {

namespace {

std::string FolderKey(std::string_view folder) { return ToUpperAscii(StripTrailingSeparator(folder)); }

}  // namespace

FolderList::FolderList(const std::vector<std::string>& folders) {
  for (const auto& f : folders) Add(f);
}

bool FolderList::Contains(std::string_view folder) const {
  const std::string key = FolderKey(folder);
  return std::any_of(folders_.begin(), folders_.end(), [&](const std::string& f) { return FolderKey(f) == key; });
}

void FolderList::Add(std::string_view folder) {
  if (IsBlank(folder) || Contains(folder)) return;
  const std::string path = StripTrailingSeparator(folder);
  const std::string key = FolderKey(path);
  const auto at = std::lower_bound(folders_.begin(), folders_.end(), key,
                                   [](const std::string& f, const std::string& k) { return FolderKey(f) < k; });
  folders_.insert(at, path);
}

void FolderList::Remove(std::string_view folder) {
  const std::string key = FolderKey(folder);
  std::erase_if(folders_, [&](const std::string& f) { return FolderKey(f) == key; });
}

bool MapBelongsToFolder(const Map_record& map, std::string_view folder) {
  std::string mapFolder = FolderPart(map.mapFile);
  // A map directly under the root has an empty folder part; its folder is "/".
  if (mapFolder.empty() && !map.mapFile.empty() && (map.mapFile[0] == '/' || map.mapFile[0] == '\\')) mapFolder = "/";
  return FolderKey(mapFolder) == FolderKey(folder);
}

std::vector<std::string> MapFilesOf(std::string_view folder) {
  std::vector<std::string> names;
  std::error_code ec;
  const std::string base = StripTrailingSeparator(folder);
  std::filesystem::directory_iterator it(base, ec);
  if (ec) return {};
  for (const auto end = std::filesystem::directory_iterator(); it != end; it.increment(ec)) {
    if (ec) break;
    std::error_code typeError;
    if (it->is_directory(typeError)) continue;
    const std::string name = it->path().filename().string();
    if (EqualsIgnoreCase(ExtensionPart(name), ".map")) names.push_back(name);
  }
  std::sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
    const auto ua = ToUpperAscii(a), ub = ToUpperAscii(b);
    return ua != ub ? ua < ub : a < b;
  });
  std::vector<std::string> paths;
  paths.reserve(names.size());
  for (const auto& n : names) paths.push_back(AddTrailingSeparator(base) + n);
  return paths;
}

void ScanNewFolders(ScanSession& s, const FolderList& ticked) {
  s.read.host.SetProgressLabel(2, "Checking Folders");
  const std::vector<std::string> loaded = s.loadedFolders.folders();
  for (const auto& folder : loaded) {
    if (ticked.Contains(folder)) continue;
    RemoveFolderMaps(s.catalogue, folder);
    s.loadedFolders.Remove(folder);
  }
  FolderList newFolders;
  for (const auto& folder : ticked.folders()) {
    if (!s.loadedFolders.Contains(folder)) newFolders.Add(folder);
  }
  s.mapNumber = 0;
  s.mapTotal = 0;
  for (const auto& folder : newFolders.folders()) {
    if (s.abort.load()) break;
    CountMapFiles(s, folder);
  }
  for (const auto& folder : newFolders.folders()) {
    if (s.abort.load()) break;
    const bool readToItsEnd = ScanFolder(s, folder);
    if (s.abort.load()) {
      RemoveFolderMaps(s.catalogue, folder);  // read again by the next scan
      break;
    }
    // Listed once its maps are in. A folder the full catalogue kept out
    // entirely is not listed, so a later scan with room reads it.
    if (readToItsEnd || HasMapsOf(s.catalogue, folder)) s.loadedFolders.Add(folder);
  }
}

void CountMapFiles(ScanSession& s, std::string_view folder) {
  for (const auto& file : MapFilesOf(folder)) {
    (void)file;
    if (s.abort.load() || s.mapTotal >= kMaxMaps) return;
    ++s.mapTotal;
  }
}

bool ScanFolder(ScanSession& s, std::string_view folder) {
  const std::vector<std::string> files = MapFilesOf(folder);
  for (std::size_t n = 0; n < files.size(); ++n) {
    if (s.abort.load()) return false;
    if (s.catalogue.full()) {
      for (; n < files.size(); ++n) {
        s.read.host.AppendMapError(files[n], "left out: the catalogue holds " + FormatInt(kMaxMaps) + " maps");
        ++s.leftOut;
      }
      return false;
    }
    Map_record& slot = s.catalogue.workSlot();
    if (ReadMapFile(files[n], slot, s.mapNumber + 1, s.mapTotal, s.read) == kMapNotLoaded) continue;
    slot.selected = slot.status == kMapUsable;
    slot.highlighted = false;
    s.catalogue.CommitWorkSlot();
    ++s.mapNumber;
  }
  return !s.abort.load();
}

bool HasMapsOf(const MapCatalogue& catalogue, std::string_view folder) {
  for (int i = 0; i < catalogue.count(); ++i) {
    if (MapBelongsToFolder(catalogue[i], folder)) return true;
  }
  return false;
}

void RemoveMap(MapCatalogue& catalogue, int index) {
  if (index < 0 || index >= catalogue.count()) return;
  catalogue.Remove(index);
}

void RemoveFolderMaps(MapCatalogue& catalogue, std::string_view folder) {
  catalogue.RemoveWhere([&](const Map_record& map) { return MapBelongsToFolder(map, folder); });
}

CatalogueBox CatalogueExtent(const MapCatalogue& catalogue, ExtentKind kind, const geodesy::Projection& destination) {
  const BorderPlacement place = PlacementIn(destination);
  // One box over the points of all maps, from the first point found.
  std::optional<ProjectedExtent> box;
  for (int i = 0; i < catalogue.count(); ++i) {
    const Map_record& map = catalogue[i];
    if (kind == ExtentKind::SelectedUsableMaps && !(map.selected && map.usable())) continue;
    if (!map.border.empty()) box = BorderExtent(map.border, place, box);
  }
  CatalogueBox result;
  if (box) static_cast<ProjectedExtent&>(result) = *box;
  result.found = box.has_value();
  return result;
}

}  // namespace quiltor
