// The table of every image kind. A reader's entry lives in the reader's own
// file; this list is the only place that names them all.
#include "raster/raster_format.h"

namespace quiltor {

extern const RasterFormat kBmpFormat;
extern const RasterFormat kJpegFormat;
extern const RasterFormat kPngFormat;
extern const RasterFormat kGifFormat;
extern const RasterFormat kTiffFormat;
extern const RasterFormat kChartFormat;
extern const RasterFormat kWholeTiledFormat;
extern const RasterFormat kTiledFormat;
extern const RasterFormat kProtectedTiledFormat;
extern const RasterFormat kTempImageFormat;
extern const RasterFormat kTrueColourTempImageFormat;
extern const RasterFormat kMaptechFormat;
extern const RasterFormat kMrSidFormat;
extern const RasterFormat kEcwFormat;

namespace {

constexpr const RasterFormat* kFormats[] = {
    &kBmpFormat,     &kJpegFormat,          &kPngFormat,           &kGifFormat,
    &kTiffFormat,    &kChartFormat,         &kWholeTiledFormat,    &kTiledFormat,
    &kProtectedTiledFormat, &kTempImageFormat, &kTrueColourTempImageFormat,
    &kMaptechFormat, &kMrSidFormat,         &kEcwFormat,
};

}  // namespace

bool RasterFormat::Handles(std::string_view kind) const {
  for (std::string_view extension : extensions) {
    if (extension == kind) return true;
  }
  return false;
}

std::span<const RasterFormat* const> RasterFormats() { return kFormats; }

const RasterFormat* FindRasterFormat(std::string_view kind) {
  for (const RasterFormat* format : kFormats) {
    if (format->Handles(kind)) return format;
  }
  return nullptr;
}

std::string RasterKind(const std::filesystem::path& path) {
  std::string ext = path.extension().string();
  for (char& c : ext) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return ext;
}

const RasterFormat* FormatOf(const std::filesystem::path& path) { return FindRasterFormat(RasterKind(path)); }

}  // namespace quiltor
