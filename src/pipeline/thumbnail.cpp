#include "pipeline/thumbnail.h"

#include <algorithm>
#include <memory>

#include "common/error.h"
#include "raster/raster_source.h"
#include "pipeline/resample.h"

namespace quiltor {

Bitmap StretchToBitmap(const Bitmap& source, int width, int height) {
  Bitmap out(width, height, 24);
  for (int y = 0; y < height; ++y) {
    const int sy = static_cast<int>(static_cast<long long>(y) * source.height() / height);
    std::uint8_t* dst = out.row(y);
    for (int x = 0; x < width; ++x) {
      const int sx = static_cast<int>(static_cast<long long>(x) * source.width() / width);
      source.PixelBgr(sx, sy, dst + static_cast<std::size_t>(x) * 3);
    }
  }
  return out;
}

namespace {

// The thumbnail resampler may let its row cache grow to four times its
// limit before trimming: thumbnails are small and fast matters more.
Bitmap ResampleRows(int width, int height, int pixelMode, const Palette& palette, int dstWidth, int dstHeight,
                    SourceRowReader readRow) {
  Resampler resampler(width, height, pixelMode, palette, dstWidth, dstHeight, std::move(readRow), 4);
  Bitmap out(dstWidth, dstHeight, 24);
  for (int y = 0; y < dstHeight; ++y) resampler.NextRow(out.row(y));
  return out;
}

Bitmap ResampleReader(RasterReader& reader, double percent) {
  return ResampleRows(reader.width(), reader.height(), reader.pixelMode(), reader.palette(),
                      ResampledLength(reader.width(), percent), ResampledLength(reader.height(), percent),
                      [&reader](int row, std::uint8_t* buffer) { reader.ReadRow(row, buffer); });
}

// A decoder's reduced image, resampled down to the target when wider.
std::optional<Bitmap> ReducedThumbnail(const RasterFormat& format, const std::string& path, int targetWidth,
                                       int targetHeight) {
  std::optional<Bitmap> reduced = format.decodeReduced(path, targetWidth);
  if (!reduced || reduced->empty()) return std::nullopt;
  if (reduced->width() <= targetWidth) return reduced;
  const Bitmap& image = *reduced;
  return ResampleRows(image.width(), image.height(), image.bitsPerPixel() == 8 ? 1 : 3, image.palette(),
                      targetWidth, targetHeight, [&image](int row, std::uint8_t* buffer) {
                        std::copy(image.row(row), image.row(row) + image.stride(), buffer);
                      });
}

}  // namespace

Bitmap ResampleFileToBitmap(const std::string& path, double percent) {
  std::unique_ptr<RasterSource> source = OpenRaster(path);
  if (!source) throw QuiltorError("cannot open " + path);
  return ResampleReader(*source, percent);
}

std::optional<Thumbnail> MakeThumbnail(const std::string& path, int targetWidth, int targetHeight) {
  if (targetWidth <= 0 || targetHeight <= 0) return std::nullopt;
  const RasterFormat* format = FormatOf(path);
  if (format != nullptr && format->thumbnail == ThumbnailRoute::None) return std::nullopt;
  try {
    Thumbnail thumb;
    if (format != nullptr && format->thumbnail == ThumbnailRoute::StretchSmallImage) {
      ImageInfo info;
      if (!format->queryHeader(path, info) || info.width <= 0) return std::nullopt;
      thumb.scale = std::max(1, info.width / targetWidth);
      std::optional<Bitmap> small = format->decodeSmall(path);
      if (!small) return std::nullopt;
      thumb.bitmap = StretchToBitmap(*small, targetWidth, targetHeight);
    } else if (format != nullptr && format->thumbnail == ThumbnailRoute::ReducedImage) {
      ImageInfo info;
      if (!format->queryHeader(path, info) || info.width <= 0) return std::nullopt;
      std::optional<Bitmap> reduced = ReducedThumbnail(*format, path, targetWidth, targetHeight);
      if (!reduced) return std::nullopt;
      thumb.bitmap = std::move(*reduced);
      thumb.scale = static_cast<double>(info.width) / thumb.bitmap.width();
    } else {
      std::unique_ptr<RasterSource> source = OpenRaster(path);
      if (!source || source->width() <= 0) return std::nullopt;
      const double b = static_cast<double>(source->width()) / targetWidth;
      thumb.scale = b;
      thumb.bitmap = ResampleReader(*source, 100.0 / b);
    }
    thumb.pixelMode = thumb.bitmap.bitsPerPixel() == 8 ? 1 : 3;
    if (thumb.pixelMode == 1) thumb.palette = thumb.bitmap.palette();
    return thumb;
  } catch (const std::exception&) {
    return std::nullopt;
  }
}

}  // namespace quiltor
