#pragma once
// The table of image kinds. Each reader declares, in its own file, one
// RasterFormat: the extensions it answers to and what it can do. The
// dispatch (raster_source), the header query, the map-image check, the open
// failure words and the thumbnails all consult the table; none of them names
// a kind. Adding a format is one reader file and one line in the table
// (raster_formats.cpp).
#include <filesystem>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "raster/bitmap.h"
#include "raster/raster_reader.h"

namespace quiltor {

// What a header query answers without decoding pixels.
struct ImageInfo {
  int width = 0;
  int height = 0;
  int pixelMode = 1;
  // Tiled kinds only: -1 plain, 0..2 a scrambled scheme this program reads,
  // 99 a newer or unknown scheme (which the reader refuses).
  int schemeVersion = 0;
};

// How a thumbnail of the kind is made.
enum class ThumbnailRoute {
  None,               // no thumbnail is attempted
  ResampleRows,       // the image is opened and its rows resampled
  StretchSmallImage,  // the reader's own small image (decodeSmall) is stretched
  ReducedImage,       // the decoder reduces the whole image (decodeReduced),
                      // which is resampled when still wider than asked
};

struct RasterFormat {
  // Lower-case extensions with the dot.
  std::span<const std::string_view> extensions;
  // A calibrated map may name an image of this kind.
  bool mapImage = false;

  // Opening: exactly one of the two is set for a kind that has a reader.
  // Whole decode: the image becomes one bitmap at open time; nullopt when
  // the decoder produced no image (errors of the loader may be thrown).
  std::optional<Bitmap> (*decodeWhole)(const std::filesystem::path&) = nullptr;
  // Streamed: the reader keeps its file open and serves rows on demand;
  // nullptr when it refuses the file, with words for the user in `refusal`
  // when it has them.
  std::unique_ptr<RasterReader> (*openStreamed)(const std::filesystem::path&, std::string& refusal) = nullptr;

  // Capabilities of the streamed reader (a decoded bitmap has them all but
  // cache release).
  bool rowRead = true;        // rows come from the reader
  bool pixelFetch = true;     // single pixels come from the reader
  bool cacheRelease = false;  // the reader drops its decoded rows or blocks when asked

  // Header query: size, pixel mode and scheme without decoding; false when
  // the header cannot be read (read errors may be thrown).
  bool (*queryHeader)(const std::filesystem::path&, ImageInfo&) = nullptr;

  ThumbnailRoute thumbnail = ThumbnailRoute::ResampleRows;
  // StretchSmallImage: a small image of the whole map, or nullopt.
  std::optional<Bitmap> (*decodeSmall)(const std::filesystem::path&) = nullptr;
  // ReducedImage: the whole image reduced for a thumbnail about targetWidth
  // pixels wide (at least that wide), or nullopt.
  std::optional<Bitmap> (*decodeReduced)(const std::filesystem::path&, int targetWidth) = nullptr;

  // The file holds zoom levels that can be listed and read one by one.
  bool zoomLevels = false;
  // The map-image check refuses a file whose scheme is newer than this
  // program reads.
  bool refusesNewerScheme = false;
  // Why the reader refused `path`, from its own status, when the generic
  // words are not enough (tiled kinds).
  std::string (*describeRefusal)(const std::filesystem::path&) = nullptr;

  // Null for a reader built into the program. A decoder loaded at run time
  // answers whether its library is loaded; until then the kind is known
  // (a map image, say) but nothing opens.
  bool (*loaded)() = nullptr;

  // The decoder is in reach: built in, or its library loaded.
  bool Loaded() const { return loaded == nullptr || loaded(); }
  // Files of the kind can be opened.
  bool Available() const { return Loaded() && (decodeWhole != nullptr || openStreamed != nullptr); }
  bool Handles(std::string_view kind) const;
};

// Every kind this program knows, whether or not its reader is available.
std::span<const RasterFormat* const> RasterFormats();
// The entry for a kind (see RasterKind), or nullptr for an unknown kind.
const RasterFormat* FindRasterFormat(std::string_view kind);

// The kind the dispatch reads a file as: its extension in lower case, with
// the dot. Only the extension chooses the reader.
std::string RasterKind(const std::filesystem::path& path);
// The entry for the kind of `path`, or nullptr.
const RasterFormat* FormatOf(const std::filesystem::path& path);

}  // namespace quiltor
