#include "creation/row_worker.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <optional>

#include "common/error.h"
#include "common/paths.h"
#include "common/rounding.h"
#include "common/text.h"
#include "creation/row_sampling.h"

namespace quiltor::creation {

namespace {

// A destination point with no latitude/longitude has no source pixel.
constexpr double kNoSourcePixel = std::numeric_limits<double>::quiet_NaN();

// A row that needs this many more images than may be open raises the bound
// by as many, so that it does not keep closing and reopening its own maps.
constexpr int kLoadedMapsGrowth = 5;

// The inside span of a row that holds column x: its index pair, or -1.
int SpanOf(const std::vector<std::int32_t>& crossings, std::int32_t x) {
  for (std::size_t k = 0; k + 1 < crossings.size(); k += 2)
    if (x >= crossings[k] && x <= crossings[k + 1]) return static_cast<int>(k);
  return -1;
}

}  // namespace

// The border crossings of the image rows a map used last, one slot per row
// modulo the slot count: neighbouring destination rows sample neighbouring
// source rows, so most lookups find their row computed.
struct LoadedMapCache::SpanRows {
  static constexpr std::size_t kSlots = 1024;
  struct Row {
    std::int32_t y = -1;
    std::vector<std::int32_t> crossings;
  };
  std::vector<Row> rows = std::vector<Row>(kSlots);
};

bool FirstOpens::MayOpen(std::size_t i) {
  std::unique_lock lock(mutex_);
  decided_.wait(lock, [&] { return state_[i] != State::Trying; });
  if (state_[i] == State::Untried) state_[i] = State::Trying;
  return state_[i] != State::Fails;
}

void FirstOpens::Opened(std::size_t i, bool ok) {
  {
    std::lock_guard lock(mutex_);
    if (state_[i] != State::Trying) return;
    state_[i] = ok ? State::Opens : State::Fails;
  }
  decided_.notify_all();
}

LoadedMapCache::LoadedMapCache(const std::vector<CreationSource>& sources, FirstOpens& firstOpens, int maxLoaded,
                               OpeningClock clock)
    : sources_(sources), firstOpens_(firstOpens), maps_(sources.size()), clock_(std::move(clock)), maxLoaded_(maxLoaded) {}

LoadedMapCache::~LoadedMapCache() = default;

const std::vector<std::int32_t>& LoadedMapCache::Crossings(std::size_t i, std::int32_t y) {
  std::unique_ptr<SpanRows>& spans = maps_[i].spans;
  if (!spans) spans = std::make_unique<SpanRows>();
  SpanRows::Row& row = spans->rows[static_cast<std::size_t>(y) % SpanRows::kSlots];
  if (row.y != y) {
    const CreationSource& source = sources_[i];
    row.crossings = source.rowSpans ? source.rowSpans(y) : std::vector<std::int32_t>{};
    row.y = y;
  }
  return row.crossings;
}

void LoadedMapCache::Leave(std::size_t i) {
  Slot& slot = maps_[i];
  if (slot.raster) slot.raster->ReleaseCaches();
  slot.spans.reset();
}

void LoadedMapCache::CloseOldest(RowLog& log) {
  // First opened, first closed; among equal opening times the later map goes.
  auto oldest = open_.end();
  for (auto it = open_.begin(); it != open_.end(); ++it) {
    if (oldest == open_.end()) {
      oldest = it;
      continue;
    }
    const std::uint32_t at = maps_[*it].openedAt, best = maps_[*oldest].openedAt;
    if (at < best || (at == best && *it > *oldest)) oldest = it;
  }
  if (oldest == open_.end()) return;
  Slot& slot = maps_[*oldest];
  slot.raster.reset();
  slot.spans.reset();
  log.actionLines.push_back("Closing Map : " + FileNamePart(sources_[*oldest].imageFile));
  open_.erase(oldest);
}

RasterReader* LoadedMapCache::Open(std::size_t i, RowLog& log) {
  Slot& slot = maps_[i];
  if (slot.raster || slot.failed) return slot.raster.get();
  if (!firstOpens_.MayOpen(i)) {
    slot.failed = true;  // another worker could not open it, and said so
    return nullptr;
  }
  ++opensThisRow_;
  if (opensThisRow_ >= maxLoaded_ + kLoadedMapsGrowth) {
    maxLoaded_ += kLoadedMapsGrowth;
    log.actionLines.push_back("Max Loaded Maps = " + FormatInt(maxLoaded_));
  }
  if (static_cast<int>(open_.size()) >= maxLoaded_) CloseOldest(log);
  const CreationSource& source = sources_[i];
  const std::string name = FileNamePart(source.imageFile);
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
    log.actionLines.push_back("ERROR Opening Map : " + name);
    return nullptr;
  }
  slot.openedAt = clock_();
  open_.push_back(i);
  ++log.imagesOpened;
  log.actionLines.push_back("Opening Map : " + name);
  log.actionLines.push_back("Number Maps Loaded = " + FormatInt(static_cast<std::int64_t>(open_.size())));
  return slot.raster.get();
}

RowWorker::RowWorker(const RowPlan& plan, const std::vector<CreationSource>& sources,
                     const DestinationProjection& projection, FirstOpens& firstOpens, int maxLoaded,
                     OpeningClock clock)
    : plan_(plan), sources_(sources), projection_(projection), width_(plan.Width()), maps_(plan),
      cache_(sources, firstOpens, maxLoaded, std::move(clock)), rowX_(static_cast<std::size_t>(width_)),
      rowY_(static_cast<std::size_t>(width_)) {}

void RowWorker::MergeRow(std::int32_t r, std::uint8_t* row, RowLog& log) {
  std::fill_n(row, static_cast<std::size_t>(width_) * 3, kBackgroundByte);
  cache_.StartRow();
  const std::vector<std::size_t>& meeting = maps_.At(r, left_);
  for (const std::size_t i : left_) cache_.Leave(i);
  std::int32_t filled = 0;
  for (const std::size_t i : meeting) {
    if (filled >= width_) break;  // the row is full: later maps have nothing to add
    if (cache_.Failed(i)) continue;
    ToSourcePixels(i, plan_.RowY(r));
    RasterReader* raster = cache_.Open(i, log);
    if (raster) filled += SampleColumns(i, *raster, row);
  }
}

void RowWorker::ToSourcePixels(std::size_t map, double rowY) {
  const MapReach& m = plan_.Map(map);
  for (std::int32_t k = 0; k < m.columnCount; ++k) {
    rowX_[static_cast<std::size_t>(k)] = plan_.ColumnX(m.firstColumn + k);
    rowY_[static_cast<std::size_t>(k)] = rowY;
  }
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
  AdaptiveRowTransform(rowX_.data(), rowY_.data(), m.columnCount, m.tolerance, transform);
}

std::int32_t RowWorker::SampleColumns(std::size_t map, RasterReader& raster, std::uint8_t* row) {
  const MapReach& m = plan_.Map(map);
  const CreationSource& source = sources_[map];
  const auto rowHolds = [&](int y, std::int32_t x) {
    return y >= 0 && y < source.height && SpanOf(cache_.Crossings(map, y), x) >= 0;
  };
  std::int32_t filled = 0;
  const double s = plan_.PixelSize();
  const std::int32_t cStart = m.firstColumn, cEnd = m.firstColumn + m.columnCount;
  double X = plan_.ColumnX(0) + cStart * s;
  for (std::int32_t c = cStart; c < cEnd; ++c, X += s) {
    std::uint8_t* pixel = &row[static_cast<std::size_t>(c) * 3];
    if (pixel[0] != kBackgroundByte || pixel[1] != kBackgroundByte || pixel[2] != kBackgroundByte) continue;
    if (X > m.maxX || X < m.minX) continue;
    const std::size_t i = static_cast<std::size_t>(c - cStart);
    const double fx = rowX_[i], fy = rowY_[i];
    if (!std::isfinite(fx) || !std::isfinite(fy)) continue;
    const std::int32_t sx = RoundHalfEvenToInt(fx), sy = RoundHalfEvenToInt(fy);
    if (sx < 0 || sx > source.width - 1 || sy < 0 || sy > source.height - 1) continue;
    const std::vector<std::int32_t>& crossings = cache_.Crossings(map, sy);
    const int span = SpanOf(crossings, sx);
    if (span < 0) continue;
    // The four neighbours of the sample must lie inside the border too:
    // at the edge of a span the sample is pulled onto the span, so that
    // not even a share of a collar pixel reaches the merged map.
    const double lo = crossings[static_cast<std::size_t>(span)], hi = crossings[static_cast<std::size_t>(span) + 1];
    const double sampleX = std::clamp(fx, lo, hi);
    const int y0 = static_cast<int>(fy);
    const bool rowsInside = rowHolds(y0, sx) && (y0 + 1 > source.height - 1 || rowHolds(y0 + 1, sx));
    const double sampleY = rowsInside ? fy : static_cast<double>(sy);
    try {
      SampleBilinear(raster, pixel, sampleX, sampleY, m.scaleRatio);
      ++filled;
    } catch (const std::exception&) {
      // A pixel that cannot be read is left as it is; the row goes on.
    }
  }
  return filled;
}

}  // namespace quiltor::creation
