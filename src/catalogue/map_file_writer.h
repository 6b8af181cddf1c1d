#pragma once
// Writing the ".map" calibration file of a created map, so that the host
// application and this program open the new image directly.
#include <cstdint>
#include <memory>
#include <string>

#include "geodesy/projection_catalogue.h"
#include "geodesy/projection.h"
#include "raster/scratch/work_folder.h"

namespace quiltor {

// The destination values the file records, as the Destination Map tab holds
// them when the map is created.
struct MapFileDestination {
  // The destination projection on WGS 84: its display name and setup are
  // recorded, and the corners are brought back to latitude/longitude with it.
  geodesy::Projection projection;
  std::int32_t datum = 0;                  // destination datum index the corners are written on
  std::string metersPerPixelText = "100";  // the "Meters per Pixel" field as typed
  std::string imageExtension = ".qtx2";    // extension of the tiled image actually written
};

// Writes basePath with the extension ".map" (replacing an existing file).
// width, height: pixel size of the grid the created image was sampled on,
// before resizing; west, north: where its pixel (0, 0) lies, and east, south:
// where pixel (width, height) lies, one step past the last column and row
// (the grid's edges, not the bounds it was sized from), in destination units
// (degrees for "Latitude/Longitude") on WGS 84; resizePercent 1..100. The
// image written is ResampledLength of the grid at resizePercent, and its
// corners are placed where the resampler puts the resized pixels. Throws
// QuiltorError when a corner has no latitude/longitude in the projection
// (nothing is written then) or the file cannot be created or written;
// returns true when written.
bool WriteMapFile(const std::string& basePath, std::int32_t width, std::int32_t height, double west, double east,
                  double north, double south, std::int32_t resizePercent, const MapFileDestination& destination);

// The file WriteMapFile writes, finished under a pending name beside its
// place and put there by the caller's Commit, so that an image and its map
// file can be put in place together once both are written. Throws
// QuiltorError when it cannot be written, or when what has the name now is
// not a regular file or is read-only (a commit would replace what the user
// protected).
std::unique_ptr<PendingFile> PrepareMapFile(const std::string& basePath, std::int32_t width, std::int32_t height,
                                            double west, double east, double north, double south,
                                            std::int32_t resizePercent, const MapFileDestination& destination);

// The minute rounding of written corners: a value whose minutes would read
// "60.0000" becomes the next whole degree away from zero.
double RoundAwayFullMinute(double degrees);

}  // namespace quiltor
