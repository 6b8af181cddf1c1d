#include "pipeline/resample.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "common/error.h"
#include "common/rounding.h"

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

void ResampleRow(int pixelMode, const std::uint8_t* srcRow, std::uint8_t* dstRow, const Palette& palette,
                 const std::vector<ContributorSet>& columns) {
  for (std::size_t x = 0; x < columns.size(); ++x) {
    float blue = 0.0F;
    float green = 0.0F;
    float red = 0.0F;
    for (const Contributor& c : columns[x]) {
      if (c.weight == 0.0F) continue;
      const std::uint8_t* px;
      if (pixelMode == 3) {
        px = srcRow + static_cast<std::size_t>(c.index) * 3;
      } else {
        px = &palette[srcRow[c.index]].blue;
      }
      blue += c.weight * static_cast<float>(px[0]);
      green += c.weight * static_cast<float>(px[1]);
      red += c.weight * static_cast<float>(px[2]);
    }
    dstRow[x * 3] = ClampToByte(blue);
    dstRow[x * 3 + 1] = ClampToByte(green);
    dstRow[x * 3 + 2] = ClampToByte(red);
  }
}

Resampler::Resampler(int srcWidth, int srcHeight, int pixelMode, const Palette& palette, int dstWidth,
                     int dstHeight, SourceRowReader readRow, int cacheFactor, FilterKind filterKind)
    : srcWidth_(srcWidth),
      srcHeight_(srcHeight),
      pixelMode_(pixelMode),
      palette_(palette),
      dstWidth_(dstWidth),
      dstHeight_(dstHeight),
      readRow_(std::move(readRow)) {
  if (pixelMode != 1 && pixelMode != 3) throw QuiltorError("unsupported pixel mode for resampling");
  const ResampleFilter& filter = FilterFor(filterKind);
  columns_ = BuildContributors(srcWidth, dstWidth, filter);
  rows_ = BuildContributors(srcHeight, dstHeight, filter);
  cache_.resize(static_cast<std::size_t>(srcHeight));
  sourceRow_.resize(static_cast<std::size_t>(srcWidth) * static_cast<std::size_t>(pixelMode));
  sums_.resize(static_cast<std::size_t>(dstWidth) * 3);
  const double scaleY = static_cast<double>(dstHeight - 1) / static_cast<double>(srcHeight - 1);
  cacheLimit_ = RoundHalfEvenToInt(filter.support / scaleY) + 6;
  cacheTrigger_ = cacheLimit_ * std::max(1, cacheFactor);
}

Resampler::~Resampler() = default;

const std::uint8_t* Resampler::EnsureRow(int row) {
  auto& slot = cache_[static_cast<std::size_t>(row)];
  if (!slot) {
    readRow_(row, sourceRow_.data());
    slot = std::make_unique<std::uint8_t[]>(static_cast<std::size_t>(dstWidth_) * 3);
    ResampleRow(pixelMode_, sourceRow_.data(), slot.get(), palette_, columns_);
    ++cachedRows_;
    ++sourceRowsRead_;
    peakCachedRows_ = std::max(peakCachedRows_, cachedRows_);
  }
  return slot.get();
}

void Resampler::NextRow(std::uint8_t* out) {
  if (done()) throw QuiltorError("resampler asked for a row beyond the image");
  std::fill(sums_.begin(), sums_.end(), 0.0F);
  for (const Contributor& c : rows_[static_cast<std::size_t>(nextRow_)]) {
    if (c.weight == 0.0F) continue;
    const std::uint8_t* src = EnsureRow(c.index);
    for (std::size_t i = 0; i < sums_.size(); ++i) sums_[i] += c.weight * static_cast<float>(src[i]);
  }
  for (std::size_t i = 0; i < sums_.size(); ++i) out[i] = ClampToByte(sums_[i]);
  ++nextRow_;
  TrimCache();
  if (done()) {
    cache_.clear();
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
    if (slot) {
      slot.reset();
      --cachedRows_;
    }
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
