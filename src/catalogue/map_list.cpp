#include "catalogue/map_list.h"

#include <charconv>
#include <cmath>

#include "catalogue/folder_scan.h"
#include "common/text.h"

namespace quiltor {

void NumberFolderRows(std::vector<FolderRow>& rows) {
  for (std::size_t i = 0; i < rows.size(); ++i) rows[i].pathText = FormatInt(static_cast<std::int64_t>(i) + 1);
}

std::vector<std::string> TickedFolderPaths(const std::vector<FolderRow>& rows) {
  std::vector<std::string> ticked;
  for (const auto& row : rows) {
    if (row.ticked) ticked.push_back(row.path);
  }
  return ticked;
}

std::string PixelScaleText(double metresPerPixel) {
  if (!std::isfinite(metresPerPixel)) return FormatFixed(0, 3);
  // Ten significant digits first, then three decimals.
  char buf[64];
  const auto [end, ec] = std::to_chars(buf, buf + sizeof buf, metresPerPixel, std::chars_format::scientific, 9);
  double rounded = metresPerPixel;
  if (ec == std::errc()) std::from_chars(buf, end, rounded);
  if (std::fabs(rounded) >= 1e10) return std::string(buf, end);
  return FormatFixed(rounded, 3);
}

std::string MapStatusText(std::int32_t status) {
  switch (status) {
    case kMapUsable: return "ok";
    case kMapImageNotFound: return "not found";
    case kMapFormatUnsupported: return "unsupported";
    case kMapProtectedImage: return "Protected Map Image";
    case kMapImageUnreadable: return "image cannot be read";
    default: return FormatInt(status);
  }
}

std::vector<MapListRow> FillMapList(MapCatalogue& catalogue, const std::vector<FolderRow>& folderRows) {
  catalogue.SortByScale();
  std::vector<MapListRow> rows;
  rows.reserve(static_cast<std::size_t>(catalogue.count()));
  for (int i = 0; i < catalogue.count(); ++i) {
    Map_record& map = catalogue[i];
    MapListRow row;
    row.title = map.title;
    row.mapIndex = i;
    row.pixelScale = PixelScaleText(map.metresPerPixel);
    for (const auto& folder : folderRows) {
      if (folder.ticked && MapBelongsToFolder(map, folder.path)) {
        row.path = folder.pathText;
        break;
      }
    }
    row.status = MapStatusText(map.status);
    if (!map.usable()) map.selected = false;
    row.ticked = map.selected;
    row.enabled = map.usable();
    rows.push_back(std::move(row));
  }
  return rows;
}

}  // namespace quiltor
