#pragma once
// The readers of the outside image formats: whole-image decoders that build a
// Bitmap, streamed readers that serve rows on demand, and their header-only
// info routines. Each refuses a damaged file cleanly: a decoder returns
// nullopt (or throws QuiltorError where the format's loader raises), a
// streamed reader's Open returns nullptr, an info routine returns false.
#include <filesystem>
#include <memory>
#include <optional>
#include <string>

#include "raster/bitmap.h"
#include "raster/raster_format.h"
#include "raster/raster_reader.h"

namespace quiltor {

// Whole-image decoders (".bmp", ".jpg", ".png", ".gif").
std::optional<Bitmap> DecodeBmp(const std::filesystem::path& path);
std::optional<Bitmap> DecodeJpeg(const std::filesystem::path& path);
std::optional<Bitmap> DecodePng(const std::filesystem::path& path);
std::optional<Bitmap> DecodeGif(const std::filesystem::path& path);

// Streamed readers (".tif", ".kap"/".nos"). A TIFF whose layout this reader
// does not unpack is refused with the words shown to the user in `refusal`
// ("This TIF format is not supported"); a file libtiff cannot read leaves it
// empty. The one-argument form throws QuiltorError with that text instead.
std::unique_ptr<RasterReader> OpenTiffReader(const std::filesystem::path& path, std::string& refusal);
std::unique_ptr<RasterReader> OpenTiffReader(const std::filesystem::path& path);
std::unique_ptr<RasterReader> OpenChartReader(const std::filesystem::path& path);

// Header-only info routines; false when the header cannot be read.
bool QueryBmpInfo(const std::filesystem::path& path, ImageInfo& info);
bool QueryJpegInfo(const std::filesystem::path& path, ImageInfo& info);
bool QueryPngInfo(const std::filesystem::path& path, ImageInfo& info);
bool QueryGifInfo(const std::filesystem::path& path, ImageInfo& info);
bool QueryTiffInfo(const std::filesystem::path& path, ImageInfo& info);
bool QueryChartInfo(const std::filesystem::path& path, ImageInfo& info);

// Writes an 8-bit indexed (with its palette) or 24-bit bitmap as PNG; false
// when the file cannot be written.
bool WritePngImage(const std::filesystem::path& path, const Bitmap& bitmap);

}  // namespace quiltor
