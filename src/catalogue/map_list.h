#pragma once
// The rows of the main window's map list, built from the catalogue. The
// window (or the command line) only shows them: one row per map in
// catalogue order, most detailed first.
#include <string>
#include <vector>

#include "catalogue/map_record.h"

namespace quiltor {

// One row of the folder list: its path, its tick and its "Path" column
// (the row number starting at 1).
struct FolderRow {
  std::string path;
  bool ticked = false;
  std::string pathText;
};

struct MapListRow {
  std::string title;       // "Selected Maps" column
  bool ticked = false;     // the row's tick box
  bool enabled = true;     // false for maps with an image problem
  int mapIndex = 0;        // row data: the map's catalogue index
  std::string pixelScale;  // "Pixel Scale": metres per pixel, 3 decimals
  std::string path;        // "Path": the folder-list row number the map came from
  std::string status;      // "Status": "ok", "not found", "unsupported", "Protected Map Image"
};

// The folder list rows numbered 1, 2, ... in their "Path" column.
void NumberFolderRows(std::vector<FolderRow>& rows);

// The ticked folders' paths.
std::vector<std::string> TickedFolderPaths(const std::vector<FolderRow>& rows);

// Sorts the catalogue (MapCatalogue::SortByScale) and builds its rows. A map whose image
// has a problem is listed unticked with a disabled tick box, and loses its
// selection. When the catalogue is empty the caller clears the drawn region.
std::vector<MapListRow> FillMapList(MapCatalogue& catalogue, const std::vector<FolderRow>& folderRows);

// The "Pixel Scale" text: fixed notation with 3 decimals of the value taken
// to 10 significant digits ("12.346" for 12.3456).
std::string PixelScaleText(double metresPerPixel);

// The "Status" text of a status code.
std::string MapStatusText(std::int32_t status);

}  // namespace quiltor
