#include "mapview/thumbnail_layer.h"

#include <algorithm>
#include <cstring>

#include "common/rounding.h"

namespace quiltor::mapview {

namespace {

bool Transparent(const std::uint8_t* bgr) { return bgr[0] == 0xFF && bgr[1] == 0x00 && bgr[2] == 0xFF; }

void PaintPass(Bitmap& background, const MapCatalogue& catalogue, const ViewOutlines& outlines, bool selected) {
  const int count = std::min(catalogue.count(), outlines.count());
  for (int m = count - 1; m >= 0; --m) {
    const Map_record& map = catalogue[m];
    if (map.selected != selected || !map.thumbnail || map.thumbnail->empty()) continue;
    const auto& box = outlines.Box(m);
    if (!box || !box->Meets(background.width(), background.height())) continue;
    StretchThumbnail(background, *map.thumbnail, *box);
  }
}

}  // namespace

void StretchThumbnail(Bitmap& background, const Bitmap& thumbnail, const ViewBox& box) {
  const int viewW = background.width(), viewH = background.height();
  // The clipped box, corners included, and what was cut from each side.
  const int left = std::max(box.minX, 0), top = std::max(box.minY, 0);
  const int right = std::min(box.maxX, viewW - 1), bottom = std::min(box.maxY, viewH - 1);
  if (left > right || top > bottom) return;
  const double perPixelX = static_cast<double>(thumbnail.width()) / (box.maxX - box.minX + 1.0);
  const double perPixelY = static_cast<double>(thumbnail.height()) / (box.maxY - box.minY + 1.0);
  const int srcLeft = RoundHalfEvenToInt((left - box.minX) * perPixelX);
  const int srcTop = RoundHalfEvenToInt((top - box.minY) * perPixelY);
  const int srcRight = thumbnail.width() - RoundHalfEvenToInt((box.maxX - right) * perPixelX);
  const int srcBottom = thumbnail.height() - RoundHalfEvenToInt((box.maxY - bottom) * perPixelY);
  if (srcLeft >= srcRight || srcTop >= srcBottom) return;

  const long long dstW = right - left + 1, dstH = bottom - top + 1;
  const long long srcW = srcRight - srcLeft, srcH = srcBottom - srcTop;
  std::uint8_t bgr[3];
  for (long long y = 0; y < dstH; ++y) {
    const int sy = srcTop + static_cast<int>(y * srcH / dstH);
    std::uint8_t* row = background.row(top + static_cast<int>(y));
    for (long long x = 0; x < dstW; ++x) {
      thumbnail.PixelBgr(srcLeft + static_cast<int>(x * srcW / dstW), sy, bgr);
      if (!Transparent(bgr)) std::memcpy(row + 3 * (left + x), bgr, 3);
    }
  }
}

void PaintThumbnailLayer(Bitmap& background, const MapCatalogue& catalogue, const ViewOutlines& outlines) {
  PaintPass(background, catalogue, outlines, false);
  PaintPass(background, catalogue, outlines, true);
}

Bitmap DrawBackground(const ViewState& view, const MapCatalogue& catalogue, const ViewOutlines& outlines,
                      bool useThumbnails) {
  Bitmap background(std::max(view.width, 1), std::max(view.height, 1), 24);
  for (int y = 0; y < background.height(); ++y) std::memset(background.row(y), 0xFF, background.stride());
  if (useThumbnails && view.HasView()) PaintThumbnailLayer(background, catalogue, outlines);
  return background;
}

}  // namespace quiltor::mapview
