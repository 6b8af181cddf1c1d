#pragma once
// Separable two-pass resampling of images far larger than memory. The
// horizontal pass turns each source row into a row of the destination width;
// the vertical pass combines the few horizontally resampled rows its filter
// needs, which are kept in a cache that never grows beyond a few dozen rows.
// Every resampling job owns its own contributor lists and cache, so a
// thumbnail build and a conversion may run at the same time.
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "common/resample_grid.h"
#include "raster/bitmap.h"

namespace quiltor {

// The filters, in table order. The pipeline always uses Mitchell.
enum class FilterKind { Box = 0, Triangle, Hermite, Bell, BSpline, Lanczos3, Mitchell };

struct ResampleFilter {
  const char* name;
  float support;
  float (*weight)(float x);
};

// The seven filters (Box, Triangle, Hermite, Bell, B-Spline, Lanczos3,
// Mitchell); single precision, as the zoom levels were always made.
const ResampleFilter& FilterFor(FilterKind kind);
inline constexpr int kFilterCount = 7;

struct Contributor {
  std::int32_t index;  // source sample (row or column)
  float weight;
};
using ContributorSet = std::vector<Contributor>;

// One contributor set per destination sample for resampling `srcCount`
// samples to `dstCount`, each centred on ResampledSourcePosition. Taps outside
// the image are mirrored at both edges.
// Both counts must be at least 2 (one sample leaves the scale undefined);
// QuiltorError otherwise.
std::vector<ContributorSet> BuildContributors(int srcCount, int dstCount, const ResampleFilter& filter);

// The contributor sets of one direction laid out for the inner loops: every
// sample gets the same number of taps, the shorter sets padded at their end
// with taps of weight zero (which leave every sum as it was), so that the
// loops run without a branch. `offset` is the tap's byte offset in a row of
// blue, green, red (index * 3); tap k of sample i is entry i * taps + k.
struct ContributorTable {
  explicit ContributorTable(const std::vector<ContributorSet>& sets);
  int samples = 0;
  int taps = 0;
  std::vector<std::uint32_t> offset;
  std::vector<std::int32_t> index;
  std::vector<float> weight;
};

// Horizontal pass: `srcBgr` (blue, green, red, and one byte more that is
// read but not used) into `columns.samples` pixels of blue, green, red.
void ResampleRow(const std::uint8_t* srcBgr, std::uint8_t* dstRow, const ContributorTable& columns);
// The same from a row of indices into `palette`, whose entries
// `paletteLanes` also holds as four floats each (blue, green, red, 0),
// 16-byte aligned.
void ResamplePaletteRow(const std::uint8_t* indices, const Palette& palette, const float* paletteLanes,
                        std::uint8_t* dstRow, const ContributorTable& columns);

// Reads source row `row` (0 = top) into a buffer of width * pixelMode bytes.
using SourceRowReader = std::function<void(int row, std::uint8_t* buffer)>;

// The vertical pass over a source read row by row on demand. Destination rows
// come out in order through NextRow.
class Resampler {
 public:
  // `cacheFactor` lets the cache grow to cacheFactor * limit rows before it is
  // trimmed back to the limit (1 for the zoom levels, 4 for thumbnails).
  Resampler(int srcWidth, int srcHeight, int pixelMode, const Palette& palette, int dstWidth, int dstHeight,
            SourceRowReader readRow, int cacheFactor = 1, FilterKind filter = FilterKind::Mitchell);
  ~Resampler();
  Resampler(const Resampler&) = delete;
  Resampler& operator=(const Resampler&) = delete;

  int dstWidth() const { return dstWidth_; }
  int dstHeight() const { return dstHeight_; }
  bool done() const { return nextRow_ >= dstHeight_; }
  // Writes the next destination row (dstWidth * 3 bytes, blue, green, red).
  void NextRow(std::uint8_t* out);

  // Cache figures, for tests and benchmarks: the trim limit, how many
  // horizontally resampled rows are held now, the most ever held, and how
  // many source rows were read.
  int cacheLimit() const { return cacheLimit_; }
  int cachedRows() const { return cachedRows_; }
  int peakCachedRows() const { return peakCachedRows_; }
  int sourceRowsRead() const { return sourceRowsRead_; }

 private:
  const std::uint8_t* EnsureRow(int row);
  void TrimCache();
  void ReleaseRow(std::unique_ptr<std::uint8_t[]>& slot);

  int srcWidth_, srcHeight_, pixelMode_;
  Palette palette_;
  int dstWidth_, dstHeight_;
  SourceRowReader readRow_;
  ContributorTable columns_;
  std::vector<ContributorSet> rows_;
  std::vector<std::unique_ptr<std::uint8_t[]>> cache_;
  std::vector<std::unique_ptr<std::uint8_t[]>> spareRows_;  // freed cache rows, used again
  std::vector<std::uint8_t> sourceRow_;
  alignas(16) std::array<float, 1024> paletteLanes_{};  // palette_ as blue, green, red, 0 floats
  std::vector<const std::uint8_t*> rowSources_;  // the cached rows of the destination row being made
  std::vector<float> rowWeights_;
  int cacheLimit_ = 0;
  int cacheTrigger_ = 0;
  int cachedRows_ = 0;
  int peakCachedRows_ = 0;
  int sourceRowsRead_ = 0;
  int lowestCached_ = 0;
  int nextRow_ = 0;
};

// A 24-bit copy of an 8-bit or 24-bit bitmap at `percent` percent.
Bitmap ResampleBitmap(const Bitmap& source, double percent);

}  // namespace quiltor
