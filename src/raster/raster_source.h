#pragma once
// The one way every image is opened: the extension alone chooses the reader,
// through the table of formats (raster_format.h). Whole-image kinds are
// decoded into a bitmap at open time; streamed kinds keep their reader and
// file open until the source is closed. A source is owned by whoever opened
// it (std::unique_ptr) and released once.
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>

#include "common/error.h"
#include "raster/bitmap.h"
#include "raster/raster_format.h"
#include "raster/raster_reader.h"

namespace quiltor {

enum class RasterOpenResult { NotOpened = 0, FileMissing = 1, NotDecoded = 2 };

// The kinds held in the tiled multi-zoom format, whose levels can be listed.
bool IsTiledKind(const std::string& kind);

class RasterSource : public RasterReader {
 public:
  const std::filesystem::path& fileName() const { return fileName_; }
  // Lower-case extension with the dot: the kind the file was opened as.
  const std::string& kind() const { return kind_; }
  // The image was decoded whole into memory at open time.
  bool decodedWhole() const { return bitmap_.has_value(); }

  // Row outside the image, or a kind without row access: `buffer` is left
  // as it was.
  void ReadRow(int y, std::uint8_t* buffer) override;
  // Pixel outside the image, or a kind without pixel access: `out` unchanged.
  void FetchPixel(int x, int y, std::uint8_t* out) override;
  void ReleaseCaches() override;
  const Bitmap* DecodedImage() const override { return bitmap_ ? &*bitmap_ : nullptr; }

 private:
  friend std::unique_ptr<RasterSource> OpenRaster(const std::filesystem::path& path, RasterOpenResult& failure,
                                                  std::string& refusal);
  std::filesystem::path fileName_;
  std::string kind_;
  const RasterFormat* format_ = nullptr;
  std::optional<Bitmap> bitmap_;
  std::unique_ptr<RasterReader> reader_;
};
using Timagerecord = RasterSource;

// The source, or nullptr with `failure` telling why. Read errors of a
// streamed reader's header and errors raised by a decoder pass to the caller.
// A reader that refuses a file with words for the user (a TIFF layout it
// does not unpack, a tiled file of an unknown version) is a NotOpened with
// those words in `refusal`; it is empty for every other answer.
std::unique_ptr<RasterSource> OpenRaster(const std::filesystem::path& path, RasterOpenResult& failure,
                                         std::string& refusal);
std::unique_ptr<RasterSource> OpenRaster(const std::filesystem::path& path, RasterOpenResult& failure);
std::unique_ptr<RasterSource> OpenRaster(const std::filesystem::path& path);
// Closes the reader and frees the image; the reference is none afterwards.
void CloseRaster(std::unique_ptr<RasterSource>& source);
void ReadRasterLine(RasterSource* source, int row, std::uint8_t* buffer);
void ReleaseRasterCaches(RasterSource* source);

// Header-only size, pixel mode and (tiled kinds) scheme version; false for a
// missing file, an error, an unknown extension or a 0 x 0 answer.
bool QueryRasterInfo(const std::filesystem::path& path, std::int32_t& width, std::int32_t& height,
                     std::int32_t& schemeVersion, std::int32_t& pixelMode);
bool QueryRasterInfo(const std::filesystem::path& path, std::int32_t& width, std::int32_t& height, std::int32_t& pixelMode);
// 1: not a map image extension, or one whose decoder library is missing; 2: a protected tiled image this program
// cannot read (newer or unknown scheme); 0 otherwise.
int CheckRasterExtension(const std::filesystem::path& path);

}  // namespace quiltor
