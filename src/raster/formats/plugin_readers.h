#pragma once
// The readers of the kinds decoded by outside libraries (ECW, MrSID,
// Maptech). Each takes the library it calls, so that tests can hand it a
// stand-in; the table of formats hands them the process's decoders. A
// reader keeps its library loaded while it lives.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>

#include "raster/bitmap.h"
#include "raster/formats/plugin_library.h"
#include "raster/raster_format.h"
#include "raster/raster_reader.h"

namespace quiltor {

// Both block caches hold 128 x 128 pixel blocks of blue, green, red, rows
// 384 bytes apart whatever the block's width.
inline constexpr int kPluginBlockSide = 128;
inline constexpr std::size_t kPluginBlockRowBytes = kPluginBlockSide * 3;
inline constexpr std::size_t kPluginBlockBytes = kPluginBlockRowBytes * kPluginBlockSide;
inline constexpr int kEcwBlockCapacity = 256;
inline constexpr int kMrSidBlockCapacity = 533;
inline constexpr int kMrSidStripRows = 100;

// The three bytes of image pixel (x, y) in the block that holds it.
inline const std::uint8_t* PluginBlockPixel(const std::uint8_t* block, int x, int y) {
  return block + static_cast<std::size_t>(y % kPluginBlockSide) * kPluginBlockRowBytes +
         static_cast<std::size_t>(x % kPluginBlockSide) * 3;
}

// ECW: pixels through a cache of blocks, each read by setting the view to
// it; rows are gathered from the same blocks. nullptr when the library
// refuses the file.
std::unique_ptr<RasterReader> OpenEcwReader(const EcwLibrary& library, const std::filesystem::path& path);
bool QueryEcwInfo(const EcwLibrary& library, const std::filesystem::path& path, ImageInfo& info);
// The whole image reduced by `factor` (at least 1): (width / factor) x
// (height / factor), 24-bit.
std::optional<Bitmap> DecodeEcwReduced(const EcwLibrary& library, const std::filesystem::path& path, int factor);

// MrSID: pixels through a cache of blocks, rows through a strip of rows.
std::unique_ptr<RasterReader> OpenMrSidReader(const MrSidLibrary& library, const std::filesystem::path& path);
bool QueryMrSidInfo(const MrSidLibrary& library, const std::filesystem::path& path, ImageInfo& info);
// The whole image reduced by 2^level, 24-bit.
std::optional<Bitmap> DecodeMrSidLevel(const MrSidLibrary& library, const std::filesystem::path& path, int level);

// Maptech charts (".rml", ".hdr"): the tiles assembled into one 8-bit image
// with the chart's 16 colours; nullopt when a count is 0 or a tile is lost.
std::optional<Bitmap> DecodeMaptech(const MaptechLibrary& library, const std::filesystem::path& path);
bool QueryMaptechInfo(const MaptechLibrary& library, const std::filesystem::path& path, ImageInfo& info);
// Where the tiles of a ".hdr" chart are: beside it when "<name>.A01" is
// there; otherwise in the folder named after the chart next to the folder
// that holds the ".hdr" (the folder path loses its last 8 characters, the
// length of "HEADERS/").
std::filesystem::path HdrTileFolder(const std::filesystem::path& hdrPath);
// The file of the tile in column `column` and row `row` (0-based):
// "<name>.A01", "<name>.B01", ..., "<name>.A02", ...
std::string MaptechTileName(const std::string& chartName, int column, int row);

}  // namespace quiltor
