#include "raster/raster_source.h"

#include <cstring>

#include "common/error.h"
#include "raster/format_readers.h"
#include "raster/temp_image.h"
#include "raster/tiled_reader.h"

namespace quiltor {

std::string RasterKind(const std::filesystem::path& path) {
  std::string ext = path.extension().string();
  for (char& c : ext) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return ext;
}

bool IsTiledKind(const std::string& kind) { return kind == ".qtx" || kind == ".qtx2" || kind == ".qtxx3"; }

namespace {

std::optional<Bitmap> DecodeWholeImage(const std::string& kind, const std::filesystem::path& path) {
  if (kind == ".bmp") return DecodeBmp(path);
  if (kind == ".png") return DecodePng(path);
  if (kind == ".jpg") return DecodeJpeg(path);
  if (kind == ".gif") return DecodeGif(path);
  return DecodeTiledImage(path, 0);  // ".qtx"
}

std::unique_ptr<RasterReader> OpenStreamed(const std::string& kind, const std::filesystem::path& path,
                                           std::string& refusal) {
  if (kind == ".kap" || kind == ".nos") return OpenChartReader(path);
  if (kind == ".qtx0") return TempImageReader::Open(path, false);
  if (kind == ".qtxx0") return TempImageReader::Open(path, true);
  if (kind == ".tif") return OpenTiffReader(path, refusal);
  if (kind == ".qtx2" || kind == ".qtxx3") {
    TiledReader::Opening opening = TiledReader::Open(path, true);
    refusal = opening.message;
    return std::move(opening.reader);
  }
  return nullptr;  // ".sid", ".ecw" and unknown kinds: no decoder in this program
}

}  // namespace

void RasterSource::ReadRow(int y, std::uint8_t* buffer) {
  if (y < 0 || y >= height_) return;
  if (bitmap_) {
    std::memcpy(buffer, bitmap_->row(y), static_cast<std::size_t>(width_) * static_cast<std::size_t>(pixelMode_));
  } else if (reader_) {
    reader_->ReadRow(y, buffer);
  }
}

void RasterSource::FetchPixel(int x, int y, std::uint8_t* out) {
  if (x < 0 || y < 0 || x >= width_ || y >= height_) return;
  if (bitmap_) {
    bitmap_->PixelBgr(x, y, out);
  } else if (reader_ && kind_ != ".qtx0" && kind_ != ".qtxx0") {
    reader_->FetchPixel(x, y, out);
  }
}

void RasterSource::ReleaseCaches() {
  if (reader_ && (kind_ == ".kap" || kind_ == ".nos" || kind_ == ".tif")) reader_->ReleaseCaches();
}

std::unique_ptr<RasterSource> OpenRaster(const std::filesystem::path& path, RasterOpenResult& failure,
                                         std::string& refusal) {
  refusal.clear();
  std::error_code ec;
  if (!std::filesystem::is_regular_file(path, ec)) {
    failure = RasterOpenResult::FileMissing;
    return nullptr;
  }
  std::unique_ptr<RasterSource> source(new RasterSource);
  source->fileName_ = path;
  source->kind_ = RasterKind(path);
  const std::string& kind = source->kind_;
  if (kind == ".bmp" || kind == ".jpg" || kind == ".gif" || kind == ".qtx" || kind == ".png") {
    source->bitmap_ = DecodeWholeImage(kind, path);
    if (!source->bitmap_) {
      failure = RasterOpenResult::NotDecoded;
      return nullptr;
    }
    source->kind_ = ".bmp";
    source->width_ = source->bitmap_->width();
    source->height_ = source->bitmap_->height();
    source->pixelMode_ = source->bitmap_->bitsPerPixel() == 8 ? 1 : 3;
    if (source->pixelMode_ == 1) source->palette_ = source->bitmap_->palette();
    return source;
  }
  source->reader_ = OpenStreamed(kind, path, refusal);
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
  const std::string kind = RasterKind(path);
  try {
    if (kind == ".qtx" || kind == ".qtx2" || kind == ".qtxx3") {
      TiledInfo info;
      QueryTiledInfo(path, info);
      width = info.width;
      height = info.height;
      schemeVersion = info.schemeVersion;
      pixelMode = info.pixelMode;
    } else {
      ImageInfo info;
      bool known = true;
      if (kind == ".bmp") known = QueryBmpInfo(path, info);
      else if (kind == ".jpg") known = QueryJpegInfo(path, info);
      else if (kind == ".png") known = QueryPngInfo(path, info);
      else if (kind == ".gif") known = QueryGifInfo(path, info);
      else if (kind == ".tif") known = QueryTiffInfo(path, info);
      else if (kind == ".kap" || kind == ".nos") known = QueryChartInfo(path, info);
      else known = false;
      if (known) {
        width = info.width;
        height = info.height;
        pixelMode = info.pixelMode;
      }
    }
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
  static constexpr const char* kMapKinds[] = {".bmp", ".jpg", ".gif", ".hdr", ".rml", ".qtx", ".qtx2",
                                              ".qtxx3", ".png", ".kap", ".nos", ".sid", ".ecw", ".tif"};
  const std::string kind = RasterKind(path);
  bool known = false;
  for (const char* k : kMapKinds) known = known || kind == k;
  if (!known) return 1;
  if (kind == ".qtxx3") {
    std::int32_t w, h, scheme, mode;
    QueryRasterInfo(path, w, h, scheme, mode);
    if (scheme > 2) return 2;
  }
  return 0;
}

}  // namespace quiltor
