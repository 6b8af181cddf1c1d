#pragma once
// Scanning map folders into the catalogue. Scans are incremental: folders
// that are no longer ticked lose their maps, newly ticked folders are read,
// folders already loaded are left alone. Folder paths compare without regard
// to letter case and trailing separators.
//
// Everything here runs on the scan worker while the user interface waits;
// the only thing another thread touches is the abort flag.
#include <atomic>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "catalogue/calibration.h"
#include "catalogue/map_file_reader.h"
#include "catalogue/map_record.h"

namespace quiltor {

// A sorted list of folder paths without duplicates (compared ignoring case,
// trailing separators removed): LoadedFolders and TickedFolders.
class FolderList {
 public:
  FolderList() = default;
  explicit FolderList(const std::vector<std::string>& folders);

  bool Contains(std::string_view folder) const;
  void Add(std::string_view folder);  // nothing when already present
  void Remove(std::string_view folder);
  void Clear() { folders_.clear(); }
  const std::vector<std::string>& folders() const { return folders_; }
  bool empty() const { return folders_.empty(); }

 private:
  std::vector<std::string> folders_;
};

// True when the map file lies directly in `folder`.
bool MapBelongsToFolder(const Map_record& map, std::string_view folder);

// The ".map" files of a folder (any letter case of the extension), sorted by
// name ignoring case, as full paths.
std::vector<std::string> MapFilesOf(std::string_view folder);

// One scan's working state.
struct ScanSession {
  MapCatalogue& catalogue;
  FolderList& loadedFolders;     // lives as long as the catalogue
  const MapReadContext& read;
  const std::atomic<bool>& abort;  // ScanAbort, set by the progress window
  int mapNumber = 0;  // maps loaded so far in this scan
  int mapTotal = 0;   // map files counted in the new folders (at most 2500)
  int leftOut = 0;    // map files not read because the catalogue was full
};

// The scan worker's body. Afterwards LoadedFolders lists exactly the folders
// whose maps are in the catalogue: a folder whose reading was aborted loses
// its maps, and new folders that an abort kept from being read are not
// listed, so the next scan reads them.
void ScanNewFolders(ScanSession& session, const FolderList& tickedFolders);

// Adds the folder's map files to the map total, stopping at 2500.
void CountMapFiles(ScanSession& session, std::string_view folder);

// Reads every map file of the folder into the catalogue until it holds 2500
// maps or the scan is aborted. Maps that read with status 0 start selected.
// True when every map file of the folder was tried (the last one may have
// filled the catalogue); false when the abort or a full catalogue stopped it
// before. Every map file a full catalogue keeps out is counted in `leftOut`
// and named in the map errors list.
bool ScanFolder(ScanSession& session, std::string_view folder);

// True when a map of the folder is in the catalogue.
bool HasMapsOf(const MapCatalogue& catalogue, std::string_view folder);

// Removes map `index` (releasing its projection handles and thumbnail).
void RemoveMap(MapCatalogue& catalogue, int index);
void RemoveFolderMaps(MapCatalogue& catalogue, std::string_view folder);

enum class ExtentKind { AllMaps, SelectedUsableMaps };

struct CatalogueBox : ProjectedExtent {
  bool found = false;  // false: no border point was used, the box means nothing
};

// The bounding box of the border points of the maps of `kind` in a
// destination projection (degrees for latitude/longitude), placed by
// PlacementIn: a point the destination cannot project widens nothing.
CatalogueBox CatalogueExtent(const MapCatalogue& catalogue, ExtentKind kind, const geodesy::Projection& destination);

// The "Map Errors" window as a scan prepares it.
inline constexpr const char* kMapScanErrorsCaption = "Map Scanning Errors";
inline constexpr const char* kMapScanErrorsHeading = "These maps have errors and could not be processed";
// The window is shown when it holds more than its two heading lines.
inline bool MapErrorsWorthShowing(const std::vector<std::string>& memoLines) { return memoLines.size() > 2; }

}  // namespace quiltor
