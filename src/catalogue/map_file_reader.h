#pragma once
// Reading a ".map" calibration file into a catalogue slot.
//
// The format is line oriented and comma separated: lines 1 to 6 by position
// (host name, title, image path, map code, datum, MSF), every later line by
// the keyword in its first field ("Map Projection", "Projection Setup",
// "PointNN", "MMPNUM", "MMPXY", "MMPLL", "MM1C", "MM1B"); unknown lines are
// ignored and missing ones take their defaults. Map files are user data: any
// line may be damaged, so every value is range-checked and a read ends in a
// result code, never in a crash or a hang.
#include <cstdint>
#include <functional>
#include <string>

#include "catalogue/map_record.h"
#include "common/worker_host.h"
#include "geodesy/projection_catalogue.h"
#include "settings/image_search.h"

namespace quiltor {

inline constexpr int kMapLoaded = 1;
inline constexpr int kMapNotLoaded = -1;

// A map file line longer than this is cut: a real line is well under 200
// characters, and a damaged file must not make the reader hold gigabytes.
inline constexpr std::size_t kMaxMapLineLength = 4096;

// The image questions the reader asks, answered by the raster subsystem.
struct MapImageQueries {
  // 0 supported, 1 extension not supported, 2 protected (newer scheme) tiled image.
  std::function<int(const std::string& imageFile)> checkExtension;
  // Width, height and pixel mode (1 palette, 3 colour) from the image
  // header; false when the image cannot be sized.
  std::function<bool(const std::string& imageFile, std::int32_t& width, std::int32_t& height,
                     std::int32_t& pixelMode)>
      queryInfo;
};

// Everything a read needs besides the file; read-only during a scan.
struct MapReadContext {
  const geodesy::ProjectionCatalogue& catalogue;
  const ImageSearchContext& imageSearch;
  MapImageQueries images;
  WorkerHost& host;  // progress labels and the map errors list
  // Runs after a successful read when thumbnails are in use; its errors are
  // ignored (the map stays usable without a thumbnail).
  std::function<void(Map_record&)> buildThumbnail;
};

// Reads `mapPath` into `record`, which is cleared first so that nothing of
// the map it held before survives. Returns kMapLoaded (the map's status may
// still report an image problem) or kMapNotLoaded; on kMapNotLoaded the
// record is left empty. Maps that fail after their first line was accepted
// (a border point missing, not a number or off the globe, a border of fewer
// than three points, fewer than two usable calibration points, a failed
// calibration, a damaged line) and anything named ".map" that is not a
// regular file are added to the map errors list by full path, with the
// cause; an
// unreadable file or one that does not name the host on line 1 is skipped
// silently. `mapNumber` and `mapTotal` only feed the
// progress text.
int ReadMapFile(const std::string& mapPath, Map_record& record, int mapNumber, int mapTotal,
                const MapReadContext& context);

}  // namespace quiltor
