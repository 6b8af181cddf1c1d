#include "creation/row_worker.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <optional>

#include "common/error.h"
#include "common/rounding.h"
#include "creation/row_sampling.h"

namespace quiltor::creation {

namespace {

// A destination point with no latitude/longitude has no source pixel.
constexpr double kNoSourcePixel = std::numeric_limits<double>::quiet_NaN();

// The inside span of a row that holds column x: its index pair, or -1.
int SpanOf(const std::vector<std::int32_t>& crossings, std::int32_t x) {
  for (std::size_t k = 0; k + 1 < crossings.size(); k += 2)
    if (x >= crossings[k] && x <= crossings[k + 1]) return static_cast<int>(k);
  return -1;
}

// An inside span of an image row, both ends included.
struct Span {
  std::int32_t lo = 0, hi = 0;
};

// The inside spans of a map's image rows that hold the columns sampled,
// remembered for the last row of each parity: a sample reads two
// neighbouring rows, and the next sample mostly falls in the same spans.
class SpanFinder {
 public:
  SpanFinder(BorderRows& border, std::int32_t height) : border_(border), height_(height) {}
  // The first span of row y that holds column x; null when none does.
  const Span* Find(std::int32_t y, std::int32_t x) {
    if (y < 0 || y >= height_) return nullptr;
    return FindInImage(y, x);
  }
  // Find for a row known to be in the image.
  const Span* FindInImage(std::int32_t y, std::int32_t x) {
    Remembered& r = last_[y & 1];
    if (r.y == y && x >= r.firstFrom && x <= r.span.hi) return &r.span;
    const std::vector<std::int32_t>& crossings = border_.Crossings(y);
    const int k = SpanOf(crossings, x);
    if (k < 0) return nullptr;
    const auto at = static_cast<std::size_t>(k);
    r.y = y;
    r.span = {crossings[at], crossings[at + 1]};
    // Where the span before ends on this one's start, that column is the earlier span's.
    r.firstFrom = at > 0 && crossings[at - 1] >= r.span.lo ? r.span.lo + 1 : r.span.lo;
    return &r.span;
  }

 private:
  struct Remembered {
    std::int32_t y = -1;
    std::int32_t firstFrom = 0;
    Span span;
  };
  BorderRows& border_;
  std::int32_t height_;
  Remembered last_[2];
};

bool IsBackground(const std::uint8_t* pixel) {
  return pixel[0] == kBackgroundByte && pixel[1] == kBackgroundByte && pixel[2] == kBackgroundByte;
}

}  // namespace

void BorderRows::Fill(Row& row, std::int32_t y) {
  row.crossings = source_.rowSpans ? source_.rowSpans(y) : std::vector<std::int32_t>{};
  row.y = y;
}

LoadedMapCache::LoadedMapCache(const std::vector<CreationSource>& sources, FirstOpens& firstOpens, int maxLoaded)
    : sources_(sources), firstOpens_(firstOpens), maps_(sources.size()), images_(sources.size(), maxLoaded) {}

LoadedMapCache::~LoadedMapCache() = default;

BorderRows& LoadedMapCache::Border(std::size_t i) {
  std::unique_ptr<BorderRows>& border = maps_[i].border;
  if (!border) border = std::make_unique<BorderRows>(sources_[i]);
  return *border;
}

void LoadedMapCache::Leave(std::size_t i) {
  Slot& slot = maps_[i];
  if (slot.raster) slot.raster->ReleaseCaches();
  slot.border.reset();
}

RasterReader* LoadedMapCache::Open(std::size_t i, RowLog& log) {
  Slot& slot = maps_[i];
  if (slot.raster || slot.failed) return slot.raster.get();
  if (!firstOpens_.MayOpen(i)) {
    slot.failed = true;  // another worker could not open it, and said so
    return nullptr;
  }
  images_.CountOpening();
  if (const std::optional<std::size_t> closed = images_.MakeRoom()) {
    maps_[*closed].raster.reset();
    maps_[*closed].border.reset();
  }
  const CreationSource& source = sources_[i];
  std::string cause = "no image opener";
  try {
    if (source.open) slot.raster = source.open();
    if (!slot.raster) cause = "the image could not be opened";
  } catch (const std::exception& e) {
    slot.raster.reset();
    cause = WithReason(e);
  } catch (...) {
    firstOpens_.Opened(i, false);  // nobody waits for an answer that never comes
    throw;
  }
  firstOpens_.Opened(i, slot.raster != nullptr);
  if (!slot.raster) {
    slot.failed = true;
    log.openFailures.push_back({i, {source.imageFile, cause}});
    return nullptr;
  }
  images_.Opened(i, ++openings_);
  ++log.imagesOpened;
  return slot.raster.get();
}

RowWorker::RowWorker(const RowPlan& plan, const std::vector<CreationSource>& sources,
                     const DestinationProjection& projection, FirstOpens& firstOpens, int maxLoaded)
    : plan_(plan), sources_(sources), projection_(projection), width_(plan.Width()), maps_(plan),
      cache_(sources, firstOpens, maxLoaded), rowX_(static_cast<std::size_t>(width_)),
      rowY_(static_cast<std::size_t>(width_)) {}

void RowWorker::MergeRow(std::int32_t r, std::uint8_t* row, RowLog& log) {
  std::fill_n(row, static_cast<std::size_t>(width_) * 3, kBackgroundByte);
  cache_.StartRow();
  const std::vector<std::size_t>& meeting = maps_.At(r, left_);
  for (const std::size_t i : left_) cache_.Leave(i);
  std::int32_t filled = 0;
  for (const std::size_t i : meeting) {
    if (filled >= width_) break;  // the row is full: later maps have nothing to add
    log.mapsAsked.push_back(i);
    if (cache_.Failed(i)) continue;
    ToSourcePixels(i, plan_.RowY(r));
    RasterReader* raster = cache_.Open(i, log);
    if (raster) filled += SampleColumns(i, *raster, row);
  }
}

void RowWorker::ToSourcePixels(std::size_t map, double rowY) {
  const MapReach& m = plan_.Map(map);
  const CreationSource& source = sources_[map];
  const auto transform = [&](double* x, double* y, int n) {
    exactProjections_ += n;
    for (int i = 0; i < n; ++i) {
      double lat = y[i], lon = x[i];
      if (!projection_.isLatLon()) {
        const std::optional<geodesy::LatLon> ll = projection_.inverse({x[i], y[i]});
        if (!ll) {
          x[i] = y[i] = kNoSourcePixel;
          continue;
        }
        lat = ll->latitude;
        lon = ll->longitude;
      }
      source.toPixel(lat, lon, x[i], y[i]);
    }
  };
  // The transform spans every candidate column, so that where it is exact
  // does not depend on which of them are sampled.
  const RowSpan columns{plan_.ColumnXs() + m.firstColumn, rowY, m.columnCount};
  AdaptiveRowTransform(columns, m.sampleFirst - m.firstColumn, m.sampleEnd - m.firstColumn, m.tolerance, transform,
                       rowX_.data(), rowY_.data());
}

std::int32_t RowWorker::SampleColumns(std::size_t map, RasterReader& raster, std::uint8_t* row) {
  const SourcePixels pixels(raster);
  switch (pixels.access()) {
    case PixelAccess::Bgr:
      return SampleColumnsAs<PixelAccess::Bgr>(map, pixels, row);
    case PixelAccess::Palette:
      return SampleColumnsAs<PixelAccess::Palette>(map, pixels, row);
    case PixelAccess::Reader:
      break;
  }
  return SampleColumnsAs<PixelAccess::Reader>(map, pixels, row);
}

template <PixelAccess kAccess>
std::int32_t RowWorker::SampleColumnsAs(std::size_t map, const SourcePixels& pixels, std::uint8_t* row) {
  const MapReach& m = plan_.Map(map);
  const std::int32_t width = sources_[map].width, height = sources_[map].height;
  SpanFinder spans(cache_.Border(map), height);
  const bool averaged = m.scaleRatio <= kAveragingRatio;
  // Held here, as the writes to the row may alias anything. The work
  // arrays start at the first candidate column.
  const double* sourceX = rowX_.data();
  const double* sourceY = rowY_.data();
  const std::int32_t first = m.sampleFirst, end = m.sampleEnd, arraysFrom = m.firstColumn;
  std::int32_t filled = 0;
  for (std::int32_t c = first; c < end; ++c) {
    std::uint8_t* pixel = &row[static_cast<std::size_t>(c) * 3];
    if (!IsBackground(pixel)) continue;
    const auto i = static_cast<std::size_t>(c - arraysFrom);
    const double fx = sourceX[i], fy = sourceY[i];
    if (!std::isfinite(fx) || !std::isfinite(fy)) continue;
    const std::int32_t sx = RoundHalfEvenToInt(fx), sy = RoundHalfEvenToInt(fy);
    if (sx < 0 || sx > width - 1 || sy < 0 || sy > height - 1) continue;
    const Span* span = spans.FindInImage(sy, sx);
    if (span == nullptr) continue;
    // The four neighbours of the sample must lie inside the border too:
    // at the edge of a span the sample is pulled onto the span, so that
    // not even a share of a collar pixel reaches the merged map.
    const double sampleX = std::clamp(fx, static_cast<double>(span->lo), static_cast<double>(span->hi));
    // fy rounds to sy within the image, so sy is y0 or y0 + 1, whose row
    // holds sx already; only the other row is left to look at.
    const int y0 = static_cast<int>(fy);
    const bool rowsInside = sy == y0 ? y0 + 1 > height - 1 || spans.FindInImage(y0 + 1, sx)
                                     : spans.FindInImage(y0, sx) != nullptr;
    const double sampleY = rowsInside ? fy : static_cast<double>(sy);
    try {
      if (SampleBilinear<kAccess>(pixels, pixel, sampleX, sampleY, averaged)) ++filled;
    } catch (const std::exception&) {
      // A pixel that cannot be read is left as it is; the row goes on.
    }
  }
  return filled;
}

}  // namespace quiltor::creation
