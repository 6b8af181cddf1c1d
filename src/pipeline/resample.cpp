#include "pipeline/resample.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numbers>

#include "common/error.h"
#include "common/rounding.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace quiltor {
namespace {

float BoxWeight(float x) { return (x > -0.5F && x <= 0.5F) ? 1.0F : 0.0F; }

float TriangleWeight(float x) {
  const float a = std::fabs(x);
  return a < 1.0F ? 1.0F - a : 0.0F;
}

float HermiteWeight(float x) {
  const float a = std::fabs(x);
  return a < 1.0F ? (2.0F * a - 3.0F) * a * a + 1.0F : 0.0F;
}

float BellWeight(float x) {
  const float a = std::fabs(x);
  if (a < 0.5F) return 0.75F - a * a;
  if (a < 1.5F) return 0.5F * (a - 1.5F) * (a - 1.5F);
  return 0.0F;
}

float BSplineWeight(float x) {
  const float a = std::fabs(x);
  if (a < 1.0F) return 0.5F * a * a * a - a * a + 2.0F / 3.0F;
  if (a < 2.0F) return (2.0F - a) * (2.0F - a) * (2.0F - a) / 6.0F;
  return 0.0F;
}

float Sinc(float x) {
  if (x == 0.0F) return 1.0F;
  const float px = std::numbers::pi_v<float> * x;
  return std::sin(px) / px;
}

float Lanczos3Weight(float x) { return std::fabs(x) < 3.0F ? Sinc(x) * Sinc(x / 3.0F) : 0.0F; }

float MitchellWeight(float x) {
  const float a = std::fabs(x);
  if (a < 1.0F) return (7.0F * a * a * a - 12.0F * a * a + 16.0F / 3.0F) / 6.0F;
  if (a < 2.0F) return (-7.0F / 3.0F * a * a * a + 12.0F * a * a - 20.0F * a + 32.0F / 3.0F) / 6.0F;
  return 0.0F;
}

constexpr ResampleFilter kFilters[kFilterCount] = {
    {"Box", 0.5F, BoxWeight},           {"Triangle", 1.0F, TriangleWeight}, {"Hermite", 1.0F, HermiteWeight},
    {"Bell", 1.5F, BellWeight},         {"B-Spline", 2.0F, BSplineWeight},  {"Lanczos3", 3.0F, Lanczos3Weight},
    {"Mitchell", 2.0F, MitchellWeight},
};

// Mirrors a tap outside 0..n-1 back into the image.
std::int32_t MirrorIndex(int j, int n) {
  int k = j;
  if (j < 0) k = -j;
  else if (j >= n) k = 2 * n - j - 1;
  // Very short sides can mirror past the opposite edge; keep every tap inside.
  return static_cast<std::int32_t>(std::clamp(k, 0, n - 1));
}

std::uint8_t ClampToByte(float sum) {
  if (sum > 255.0F) return 255;
  if (sum < 0.0F) return 0;
  return static_cast<std::uint8_t>(std::nearbyint(sum));  // ties to even
}

#if defined(__SSE2__)
// Blue, green, red and the byte after them as four floats.
inline __m128 PixelLanes(const std::uint8_t* px) {
  std::int32_t bytes;
  std::memcpy(&bytes, px, 4);
  const __m128i zero = _mm_setzero_si128();
  const __m128i words = _mm_unpacklo_epi8(_mm_cvtsi32_si128(bytes), zero);
  return _mm_cvtepi32_ps(_mm_unpacklo_epi16(words, zero));
}

void StoreLanes(__m128 sums, std::uint8_t* out) {
  float lanes[4];
  _mm_storeu_ps(lanes, sums);
  out[0] = ClampToByte(lanes[0]);
  out[1] = ClampToByte(lanes[1]);
  out[2] = ClampToByte(lanes[2]);
}
#endif

// A source row of blue, green, red bytes (and one byte more, read but not
// used), tap by tap.
struct BgrRow {
  const std::uint8_t* bytes;
  const std::uint8_t* Pixel(std::uint32_t offset, std::int32_t) const { return bytes + offset; }
#if defined(__SSE2__)
  __m128 Lanes(std::uint32_t offset, std::int32_t) const { return PixelLanes(bytes + offset); }
#endif
};

// A source row of palette indices; the palette also as four floats an
// entry (blue, green, red, 0), so that a tap is one load.
struct PaletteRow {
  const std::uint8_t* indices;
  const Palette& palette;
  const float* lanes;
  const std::uint8_t* Pixel(std::uint32_t, std::int32_t index) const { return &palette[indices[index]].blue; }
#if defined(__SSE2__)
  __m128 Lanes(std::uint32_t, std::int32_t index) const {
    return _mm_load_ps(lanes + 4 * static_cast<std::size_t>(indices[index]));
  }
#endif
};

// Sums of one destination pixel, blue, green, red, taps in table order.
template <typename Row>
void ResamplePixel(const Row& src, const std::uint32_t* offset, const std::int32_t* index, const float* weight,
                   std::size_t taps, std::uint8_t* out) {
  float blue = 0.0F;
  float green = 0.0F;
  float red = 0.0F;
  for (std::size_t k = 0; k < taps; ++k) {
    const std::uint8_t* px = src.Pixel(offset[k], index[k]);
    blue += weight[k] * static_cast<float>(px[0]);
    green += weight[k] * static_cast<float>(px[1]);
    red += weight[k] * static_cast<float>(px[2]);
  }
  out[0] = ClampToByte(blue);
  out[1] = ClampToByte(green);
  out[2] = ClampToByte(red);
}

template <typename Row>
void SumRow(const Row& src, std::uint8_t* dstRow, const ContributorTable& columns) {
  const std::size_t taps = static_cast<std::size_t>(columns.taps);
  const std::uint32_t* offset = columns.offset.data();
  const std::int32_t* index = columns.index.data();
  const float* weight = columns.weight.data();
  int x = 0;
#if defined(__SSE2__)
  // Four pixels at a time, each with its blue, green and red side by side in
  // one register: every lane adds its products in tap order as the plain sum
  // does, and the four pixels' sums no longer wait on each other.
  const std::size_t t1 = taps, t2 = 2 * taps, t3 = 3 * taps;
  for (; x + 4 <= columns.samples; x += 4, offset += 4 * taps, index += 4 * taps, weight += 4 * taps, dstRow += 12) {
    __m128 s0 = _mm_setzero_ps();
    __m128 s1 = _mm_setzero_ps();
    __m128 s2 = _mm_setzero_ps();
    __m128 s3 = _mm_setzero_ps();
    for (std::size_t k = 0; k < taps; ++k) {
      s0 = _mm_add_ps(s0, _mm_mul_ps(_mm_set1_ps(weight[k]), src.Lanes(offset[k], index[k])));
      s1 = _mm_add_ps(s1, _mm_mul_ps(_mm_set1_ps(weight[t1 + k]), src.Lanes(offset[t1 + k], index[t1 + k])));
      s2 = _mm_add_ps(s2, _mm_mul_ps(_mm_set1_ps(weight[t2 + k]), src.Lanes(offset[t2 + k], index[t2 + k])));
      s3 = _mm_add_ps(s3, _mm_mul_ps(_mm_set1_ps(weight[t3 + k]), src.Lanes(offset[t3 + k], index[t3 + k])));
    }
    StoreLanes(s0, dstRow);
    StoreLanes(s1, dstRow + 3);
    StoreLanes(s2, dstRow + 6);
    StoreLanes(s3, dstRow + 9);
  }
#endif
  for (; x < columns.samples; ++x, offset += taps, index += taps, weight += taps, dstRow += 3) {
    ResamplePixel(src, offset, index, weight, taps, dstRow);
  }
}

}  // namespace

const ResampleFilter& FilterFor(FilterKind kind) { return kFilters[static_cast<int>(kind)]; }

std::vector<ContributorSet> BuildContributors(int n, int m, const ResampleFilter& filter) {
  if (n < 2 || m < 2) throw QuiltorError("cannot resample an image side of a single pixel");
  const float scale = static_cast<float>(m - 1) / static_cast<float>(n - 1);
  // Reduction widens the filter over the source; enlargement keeps it at its
  // own support, so that every destination sample sees weights summing to
  // about one (a narrowed filter would leave stripes of bright and dark rows).
  const float width = scale < 1.0F ? filter.support / scale : filter.support;
  const float fscale = scale < 1.0F ? 1.0F / scale : 1.0F;
  std::vector<ContributorSet> sets(static_cast<std::size_t>(m));
  for (int i = 0; i < m; ++i) {
    const float center = ResampledSourcePosition(i, n, m);
    const int left = static_cast<int>(std::floor(center - width));
    const int right = static_cast<int>(std::ceil(center + width));
    ContributorSet& set = sets[static_cast<std::size_t>(i)];
    set.reserve(static_cast<std::size_t>(right - left + 1));
    for (int j = left; j <= right; ++j) {
      const float weight = filter.weight((center - static_cast<float>(j)) / fscale) / fscale;
      if (weight != 0.0F) set.push_back({MirrorIndex(j, n), weight});
    }
  }
  return sets;
}

ContributorTable::ContributorTable(const std::vector<ContributorSet>& sets) : samples(static_cast<int>(sets.size())) {
  std::size_t widest = 1;
  for (const ContributorSet& set : sets) widest = std::max(widest, set.size());
  taps = static_cast<int>(widest);
  offset.reserve(sets.size() * widest);
  index.reserve(sets.size() * widest);
  weight.reserve(sets.size() * widest);
  for (const ContributorSet& set : sets) {
    for (std::size_t k = 0; k < widest; ++k) {
      // The padding repeats the last tap (or tap 0) so that it stays inside
      // the row; its zero weight adds nothing.
      const Contributor c = k < set.size() ? set[k] : Contributor{set.empty() ? 0 : set.back().index, 0.0F};
      offset.push_back(static_cast<std::uint32_t>(c.index) * 3);
      index.push_back(c.index);
      weight.push_back(c.weight);
    }
  }
}

void ResampleRow(const std::uint8_t* srcBgr, std::uint8_t* dstRow, const ContributorTable& columns) {
  SumRow(BgrRow{srcBgr}, dstRow, columns);
}

void ResamplePaletteRow(const std::uint8_t* indices, const Palette& palette, const float* paletteLanes,
                        std::uint8_t* dstRow, const ContributorTable& columns) {
  SumRow(PaletteRow{indices, palette, paletteLanes}, dstRow, columns);
}

Resampler::Resampler(int srcWidth, int srcHeight, int pixelMode, const Palette& palette, int dstWidth,
                     int dstHeight, SourceRowReader readRow, int cacheFactor, FilterKind filterKind)
    : srcWidth_(srcWidth),
      srcHeight_(srcHeight),
      pixelMode_(pixelMode),
      palette_(palette),
      dstWidth_(dstWidth),
      dstHeight_(dstHeight),
      readRow_(std::move(readRow)),
      columns_(BuildContributors(srcWidth, dstWidth, FilterFor(filterKind))) {
  if (pixelMode != 1 && pixelMode != 3) throw QuiltorError("unsupported pixel mode for resampling");
  const ResampleFilter& filter = FilterFor(filterKind);
  rows_ = BuildContributors(srcHeight, dstHeight, filter);
  cache_.resize(static_cast<std::size_t>(srcHeight));
  std::size_t widest = 0;
  for (const ContributorSet& set : rows_) widest = std::max(widest, set.size());
  rowSources_.reserve(widest);
  rowWeights_.reserve(widest);
  // One byte past the row: the horizontal pass loads a pixel as four bytes.
  sourceRow_.resize(static_cast<std::size_t>(srcWidth) * static_cast<std::size_t>(pixelMode) + 1);
  for (std::size_t i = 0; i < palette_.size(); ++i) {
    paletteLanes_[4 * i] = palette_[i].blue;
    paletteLanes_[4 * i + 1] = palette_[i].green;
    paletteLanes_[4 * i + 2] = palette_[i].red;
  }
  const double scaleY = static_cast<double>(dstHeight - 1) / static_cast<double>(srcHeight - 1);
  cacheLimit_ = RoundHalfEvenToInt(filter.support / scaleY) + 6;
  cacheTrigger_ = cacheLimit_ * std::max(1, cacheFactor);
}

Resampler::~Resampler() = default;

const std::uint8_t* Resampler::EnsureRow(int row) {
  auto& slot = cache_[static_cast<std::size_t>(row)];
  if (!slot) {
    readRow_(row, sourceRow_.data());
    if (spareRows_.empty()) {
      slot = std::make_unique<std::uint8_t[]>(static_cast<std::size_t>(dstWidth_) * 3);
    } else {
      slot = std::move(spareRows_.back());
      spareRows_.pop_back();
    }
    if (pixelMode_ == 1) {
      ResamplePaletteRow(sourceRow_.data(), palette_, paletteLanes_.data(), slot.get(), columns_);
    } else {
      ResampleRow(sourceRow_.data(), slot.get(), columns_);
    }
    ++cachedRows_;
    ++sourceRowsRead_;
    peakCachedRows_ = std::max(peakCachedRows_, cachedRows_);
  }
  return slot.get();
}

void Resampler::ReleaseRow(std::unique_ptr<std::uint8_t[]>& slot) {
  spareRows_.push_back(std::move(slot));
  --cachedRows_;
}

void Resampler::NextRow(std::uint8_t* out) {
  if (done()) throw QuiltorError("resampler asked for a row beyond the image");
  const ContributorSet& taps = rows_[static_cast<std::size_t>(nextRow_)];
  rowSources_.clear();
  rowWeights_.clear();
  for (const Contributor& c : taps) {
    if (c.weight == 0.0F) continue;
    rowSources_.push_back(EnsureRow(c.index));
    rowWeights_.push_back(c.weight);
  }
  const std::size_t count = rowSources_.size();
  // The sums of one stretch of the row stay in registers while every source
  // row adds to them, in tap order as the single-row sum would.
  const std::size_t length = static_cast<std::size_t>(dstWidth_) * 3;
  constexpr std::size_t kStretch = 64;
  for (std::size_t from = 0; from < length; from += kStretch) {
    const std::size_t n = std::min(kStretch, length - from);
    float sums[kStretch] = {};
    for (std::size_t k = 0; k < count; ++k) {
      const std::uint8_t* src = rowSources_[k] + from;
      const float w = rowWeights_[k];
      for (std::size_t i = 0; i < n; ++i) sums[i] += w * static_cast<float>(src[i]);
    }
    for (std::size_t i = 0; i < n; ++i) out[from + i] = ClampToByte(sums[i]);
  }
  ++nextRow_;
  TrimCache();
  if (done()) {
    cache_.clear();
    spareRows_.clear();
    cachedRows_ = 0;
  }
}

// Frees cached rows from the top once more than the trigger are held, down to
// the limit, but never a row the next destination row still needs: freeing
// those would only read and resample them again a moment later.
void Resampler::TrimCache() {
  if (cachedRows_ <= cacheTrigger_ || done()) return;
  int keepFrom = srcHeight_;
  for (const Contributor& c : rows_[static_cast<std::size_t>(nextRow_)]) keepFrom = std::min(keepFrom, c.index);
  for (int r = lowestCached_; r < keepFrom && cachedRows_ > cacheLimit_; ++r) {
    auto& slot = cache_[static_cast<std::size_t>(r)];
    if (slot) ReleaseRow(slot);
    lowestCached_ = r + 1;
  }
}

Bitmap ResampleBitmap(const Bitmap& source, double percent) {
  const int pixelMode = source.bitsPerPixel() == 8 ? 1 : 3;
  const int dstWidth = ResampledLength(source.width(), percent);
  const int dstHeight = ResampledLength(source.height(), percent);
  Resampler resampler(
      source.width(), source.height(), pixelMode, source.palette(), dstWidth, dstHeight,
      [&source](int row, std::uint8_t* buffer) { std::copy_n(source.row(row), source.stride(), buffer); });
  Bitmap result(dstWidth, dstHeight, 24);
  for (int y = 0; y < dstHeight; ++y) resampler.NextRow(result.row(y));
  return result;
}

}  // namespace quiltor
