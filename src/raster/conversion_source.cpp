#include "raster/conversion_source.h"

#include <algorithm>
#include <filesystem>
#include <optional>

#include "common/paths.h"
#include "common/text.h"
#include "raster/format_readers.h"
#include "raster/tiled_reader.h"

namespace quiltor {
namespace {

std::string LowerExtension(const std::string& path) {
  std::string ext = ExtensionPart(path);
  std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return ext;
}

std::unique_ptr<RasterReader> FromBitmap(std::optional<Bitmap> bitmap) {
  if (!bitmap || bitmap->empty()) return nullptr;
  return std::make_unique<BitmapRows>(std::move(*bitmap));
}

}  // namespace

BitmapRows::BitmapRows(Bitmap bitmap) : bitmap_(std::move(bitmap)) {
  width_ = bitmap_.width();
  height_ = bitmap_.height();
  pixelMode_ = bitmap_.bitsPerPixel() == 8 ? 1 : 3;
  palette_ = bitmap_.palette();
}

void BitmapRows::ReadRow(int y, std::uint8_t* buffer) { std::copy_n(bitmap_.row(y), bitmap_.stride(), buffer); }

void BitmapRows::FetchPixel(int x, int y, std::uint8_t* out) { bitmap_.PixelBgr(x, y, out); }

std::unique_ptr<RasterReader> OpenImageForConversion(const std::string& path) {
  std::error_code ec;
  if (!std::filesystem::is_regular_file(path, ec)) return nullptr;
  const std::string kind = LowerExtension(path);
  if (kind == ".bmp") return FromBitmap(DecodeBmp(path));
  if (kind == ".jpg") return FromBitmap(DecodeJpeg(path));
  if (kind == ".png") return FromBitmap(DecodePng(path));
  if (kind == ".gif") return FromBitmap(DecodeGif(path));
  if (kind == ".qtx") return FromBitmap(DecodeTiledImage(path, 0));
  if (kind == ".tif") return OpenTiffReader(path);
  if (kind == ".kap" || kind == ".nos") return OpenChartReader(path);
  if (kind == ".qtx2" || kind == ".qtxx3") return std::move(TiledReader::Open(path, true).reader);
  return nullptr;
}

}  // namespace quiltor
