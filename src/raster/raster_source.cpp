#include "raster/raster_source.h"

#include <cstring>

#include "common/error.h"

namespace quiltor {

bool IsTiledKind(const std::string& kind) {
  const RasterFormat* format = FindRasterFormat(kind);
  return format != nullptr && format->zoomLevels;
}

void RasterSource::ReadRow(int y, std::uint8_t* buffer) {
  if (y < 0 || y >= height_) return;
  if (bitmap_) {
    std::memcpy(buffer, bitmap_->row(y), static_cast<std::size_t>(width_) * static_cast<std::size_t>(pixelMode_));
  } else if (reader_ && format_->rowRead) {
    reader_->ReadRow(y, buffer);
  }
}

void RasterSource::FetchPixel(int x, int y, std::uint8_t* out) {
  if (x < 0 || y < 0 || x >= width_ || y >= height_) return;
  if (bitmap_) {
    bitmap_->PixelBgr(x, y, out);
  } else if (reader_ && format_->pixelFetch) {
    reader_->FetchPixel(x, y, out);
  }
}

void RasterSource::ReleaseCaches() {
  if (reader_ && format_->cacheRelease) reader_->ReleaseCaches();
}

std::unique_ptr<RasterSource> OpenRaster(const std::filesystem::path& path, RasterOpenResult& failure,
                                         std::string& refusal) {
  refusal.clear();
  std::error_code ec;
  if (!std::filesystem::is_regular_file(path, ec)) {
    failure = RasterOpenResult::FileMissing;
    return nullptr;
  }
  const RasterFormat* format = FormatOf(path);
  if (format == nullptr || !format->Available()) {
    failure = RasterOpenResult::NotOpened;
    return nullptr;
  }
  std::unique_ptr<RasterSource> source(new RasterSource);
  source->fileName_ = path;
  source->kind_ = RasterKind(path);
  source->format_ = format;
  if (format->decodeWhole != nullptr) {
    source->bitmap_ = format->decodeWhole(path);
    if (!source->bitmap_) {
      failure = RasterOpenResult::NotDecoded;
      return nullptr;
    }
    source->width_ = source->bitmap_->width();
    source->height_ = source->bitmap_->height();
    source->pixelMode_ = source->bitmap_->bitsPerPixel() == 8 ? 1 : 3;
    if (source->pixelMode_ == 1) source->palette_ = source->bitmap_->palette();
    return source;
  }
  source->reader_ = format->openStreamed(path, refusal);
  if (!source->reader_) {
    failure = RasterOpenResult::NotOpened;
    return nullptr;
  }
  source->width_ = source->reader_->width();
  source->height_ = source->reader_->height();
  source->pixelMode_ = source->reader_->pixelMode();
  source->palette_ = source->reader_->palette();
  return source;
}

std::unique_ptr<RasterSource> OpenRaster(const std::filesystem::path& path, RasterOpenResult& failure) {
  std::string refusal;
  return OpenRaster(path, failure, refusal);
}

std::unique_ptr<RasterSource> OpenRaster(const std::filesystem::path& path) {
  RasterOpenResult failure = RasterOpenResult::NotOpened;
  return OpenRaster(path, failure);
}

void CloseRaster(std::unique_ptr<RasterSource>& source) { source.reset(); }

void ReadRasterLine(RasterSource* source, int row, std::uint8_t* buffer) {
  if (source != nullptr) source->ReadRow(row, buffer);
}

void ReleaseRasterCaches(RasterSource* source) {
  if (source != nullptr) source->ReleaseCaches();
}

bool QueryRasterInfo(const std::filesystem::path& path, std::int32_t& width, std::int32_t& height,
                     std::int32_t& schemeVersion, std::int32_t& pixelMode) {
  width = height = schemeVersion = 0;
  pixelMode = 1;
  std::error_code ec;
  if (!std::filesystem::is_regular_file(path, ec)) return false;
  const RasterFormat* format = FormatOf(path);
  if (format == nullptr || format->queryHeader == nullptr || !format->Loaded()) return false;
  try {
    ImageInfo info;
    if (format->queryHeader(path, info)) {
      width = info.width;
      height = info.height;
      pixelMode = info.pixelMode;
    }
    // A refused protected image still tells its scheme.
    schemeVersion = info.schemeVersion;
  } catch (const std::exception&) {
    return false;
  }
  return width != 0 || height != 0;
}

bool QueryRasterInfo(const std::filesystem::path& path, std::int32_t& width, std::int32_t& height, std::int32_t& pixelMode) {
  std::int32_t scheme = 0;
  return QueryRasterInfo(path, width, height, scheme, pixelMode);
}

int CheckRasterExtension(const std::filesystem::path& path) {
  const RasterFormat* format = FormatOf(path);
  // A kind whose decoder library is missing cannot be opened either.
  if (format == nullptr || !format->mapImage || !format->Available()) return 1;
  if (format->refusesNewerScheme) {
    std::int32_t w, h, scheme, mode;
    QueryRasterInfo(path, w, h, scheme, mode);
    if (scheme > 2) return 2;
  }
  return 0;
}

}  // namespace quiltor
