// TIFF source maps through libtiff, read on demand. The image is cut into
// blocks (strips, or tiles for tiled files); a block is decoded at first use,
// unpacked to one byte per pixel (palette and grey) or three (blue, green,
// red), and kept in a cache of 25 MiB that drops its oldest loads in bulk.
// A strip larger than that cache (a scan stored as one strip is common) is
// read scanline by scanline instead, each row a block of its own, so the
// reader's memory stays within the cache for every layout; a tile larger
// than the cache is refused.
// Supported: grey and palette images of 1, 2, 4 or 8 bits, 8-bit RGB and
// RGBA (alpha dropped), and JPEG-compressed YCbCr decoded as RGB, in strips
// or tiles with interleaved samples. Other layouts are refused with a
// message rather than shown as noise.
#include <tiffio.h>

#include <algorithm>
#include <cstdarg>
#include <filesystem>
#include <limits>
#include <memory>
#include <system_error>
#include <vector>

#include "common/error.h"
#include "raster/block_cache.h"
#include "raster/formats/format_readers.h"

namespace quiltor {
namespace {

constexpr std::size_t kBlockCacheBytes = 26214400;  // 25 MiB of decoded blocks
constexpr std::size_t kEvictDivisor = 20;
constexpr const char* kUnsupportedMessage = "This TIF format is not supported";

int QuietTiffMessage(TIFF*, void*, const char*, const char*, va_list) { return 1; }

struct TiffCloser {
  void operator()(TIFF* tiff) const { TIFFClose(tiff); }
};
using TiffHandle = std::unique_ptr<TIFF, TiffCloser>;

// Opens with libtiff's messages kept quiet and its allocations bounded;
// null when libtiff refuses the file. "m": no memory mapping, so a scanned
// map of several GB costs the strip or tile cache and not its file size in
// resident memory.
TiffHandle OpenQuietly(const std::filesystem::path& path) {
  TIFFOpenOptions* options = TIFFOpenOptionsAlloc();
  if (options == nullptr) return nullptr;
  TIFFOpenOptionsSetErrorHandlerExtR(options, QuietTiffMessage, nullptr);
  TIFFOpenOptionsSetWarningHandlerExtR(options, QuietTiffMessage, nullptr);
  TIFFOpenOptionsSetMaxSingleMemAlloc(options, static_cast<tmsize_t>(kMaxBitmapBytes));
  TiffHandle tiff(TIFFOpenExt(path.c_str(), "rm", options));
  TIFFOpenOptionsFree(options);
  return tiff;
}

enum class SampleKind { Grey, Palette, TrueColour };

struct TiffLayout {
  std::uint32_t width = 0;
  std::uint32_t height = 0;
  std::uint16_t bitsPerSample = 1;
  std::uint16_t samplesPerPixel = 1;
  std::uint16_t photometric = 0;
  SampleKind kind = SampleKind::Grey;
  bool tiled = false;
  bool scanlines = false;  // strips too large for the cache: one row per block
  std::uint32_t blockWidth = 0;
  std::uint32_t blockHeight = 0;
  std::uint32_t blocksAcross = 0;
  std::uint32_t blocksDown = 0;
  std::size_t packedRowBytes = 0;  // one row of a block as libtiff delivers it
  int pixelBytes = 1;              // one pixel as the cache keeps it
};

bool IsIndexDepth(std::uint16_t bits) { return bits == 1 || bits == 2 || bits == 4 || bits == 8; }

// Which of the layouts this reader unpacks; false for any other.
bool ClassifySamples(TIFF* tiff, TiffLayout& layout) {
  std::uint16_t compression = COMPRESSION_NONE;
  std::uint16_t planar = PLANARCONFIG_CONTIG;
  TIFFGetFieldDefaulted(tiff, TIFFTAG_COMPRESSION, &compression);
  TIFFGetFieldDefaulted(tiff, TIFFTAG_PLANARCONFIG, &planar);
  if (planar != PLANARCONFIG_CONTIG && layout.samplesPerPixel > 1) return false;
  switch (layout.photometric) {
    case PHOTOMETRIC_MINISWHITE:
    case PHOTOMETRIC_MINISBLACK:
      layout.kind = SampleKind::Grey;
      return layout.samplesPerPixel == 1 && IsIndexDepth(layout.bitsPerSample);
    case PHOTOMETRIC_PALETTE:
      layout.kind = SampleKind::Palette;
      return layout.samplesPerPixel == 1 && IsIndexDepth(layout.bitsPerSample);
    case PHOTOMETRIC_RGB:
      layout.kind = SampleKind::TrueColour;
      return layout.bitsPerSample == 8 && (layout.samplesPerPixel == 3 || layout.samplesPerPixel == 4);
    case PHOTOMETRIC_YCBCR:
      // The JPEG codec converts YCbCr to RGB itself when asked to.
      if (compression != COMPRESSION_JPEG || layout.bitsPerSample != 8 || layout.samplesPerPixel != 3) return false;
      if (TIFFSetField(tiff, TIFFTAG_JPEGCOLORMODE, JPEGCOLORMODE_RGB) != 1) return false;
      layout.kind = SampleKind::TrueColour;
      return true;
    default:
      return false;
  }
}

bool ReadBlockShape(TIFF* tiff, TiffLayout& layout) {
  layout.tiled = TIFFIsTiled(tiff) != 0;
  if (layout.tiled) {
    if (TIFFGetField(tiff, TIFFTAG_TILEWIDTH, &layout.blockWidth) != 1 ||
        TIFFGetField(tiff, TIFFTAG_TILELENGTH, &layout.blockHeight) != 1) {
      return false;
    }
  } else {
    std::uint32_t rowsPerStrip = layout.height;
    TIFFGetFieldDefaulted(tiff, TIFFTAG_ROWSPERSTRIP, &rowsPerStrip);
    layout.blockWidth = layout.width;
    layout.blockHeight = rowsPerStrip < layout.height ? rowsPerStrip : layout.height;
  }
  if (layout.blockWidth == 0 || layout.blockHeight == 0) return false;
  layout.blocksAcross = (layout.width + layout.blockWidth - 1) / layout.blockWidth;
  layout.blocksDown = (layout.height + layout.blockHeight - 1) / layout.blockHeight;
  const std::uint64_t blockCount = static_cast<std::uint64_t>(layout.blocksAcross) * layout.blocksDown;
  const std::uint64_t stored = layout.tiled ? TIFFNumberOfTiles(tiff) : TIFFNumberOfStrips(tiff);
  if (stored != blockCount) return false;
  const std::uint64_t bits = static_cast<std::uint64_t>(layout.blockWidth) * layout.bitsPerSample * layout.samplesPerPixel;
  layout.packedRowBytes = static_cast<std::size_t>((bits + 7) / 8);
  layout.pixelBytes = layout.kind == SampleKind::TrueColour ? 3 : 1;
  const std::uint64_t rowBytes = std::max<std::uint64_t>(
      static_cast<std::uint64_t>(layout.blockWidth) * static_cast<std::uint64_t>(layout.pixelBytes), layout.packedRowBytes);
  if (rowBytes * layout.blockHeight <= kBlockCacheBytes) return true;
  if (layout.tiled || rowBytes > kBlockCacheBytes) return false;
  layout.scanlines = true;
  return true;
}

// The blocks the cache holds: strips or tiles, or single rows.
std::uint32_t CachedBlockHeight(const TiffLayout& layout) { return layout.scanlines ? 1 : layout.blockHeight; }

// Every block must be stored inside the file: a truncated file, or one whose
// size tags claim more blocks than it holds, is refused instead of showing
// empty bands.
bool BlocksInsideFile(TIFF* tiff, const TiffLayout& layout, std::uint64_t fileSize) {
  const std::uint64_t count = static_cast<std::uint64_t>(layout.blocksAcross) * layout.blocksDown;
  if (count > fileSize) return false;
  for (std::uint32_t i = 0; i < count; ++i) {
    int error = 0;
    const std::uint64_t offset = TIFFGetStrileOffsetWithErr(tiff, i, &error);
    if (error != 0) return false;
    const std::uint64_t bytes = TIFFGetStrileByteCountWithErr(tiff, i, &error);
    if (error != 0) return false;
    if (bytes == 0 || offset > fileSize || bytes > fileSize - offset) return false;
  }
  return true;
}

std::uint16_t BitsDefault(TIFF* tiff, ttag_t tag, std::uint16_t fallback) {
  std::uint16_t value = fallback;
  TIFFGetFieldDefaulted(tiff, tag, &value);
  return value;
}

bool ReadSize(TIFF* tiff, TiffLayout& layout) {
  if (TIFFGetField(tiff, TIFFTAG_IMAGEWIDTH, &layout.width) != 1 ||
      TIFFGetField(tiff, TIFFTAG_IMAGELENGTH, &layout.height) != 1) {
    return false;
  }
  if (layout.width == 0 || layout.height == 0 || layout.width > 0x7FFFFFFF || layout.height > 0x7FFFFFFF) return false;
  layout.bitsPerSample = BitsDefault(tiff, TIFFTAG_BITSPERSAMPLE, 1);
  layout.samplesPerPixel = BitsDefault(tiff, TIFFTAG_SAMPLESPERPIXEL, 1);
  return TIFFGetField(tiff, TIFFTAG_PHOTOMETRIC, &layout.photometric) == 1;
}

class TiffReader final : public RasterReader {
 public:
  TiffReader(TiffHandle tiff, const TiffLayout& layout) : tiff_(std::move(tiff)), layout_(layout) {
    width_ = static_cast<int>(layout.width);
    height_ = static_cast<int>(layout.height);
    pixelMode_ = layout.pixelBytes;
    const std::size_t blockBytes = BlockBytes();
    const std::size_t blocks = layout.scanlines ? layout.height
                                                : static_cast<std::size_t>(layout.blocksAcross) * layout.blocksDown;
    cache_ = BlockCache(blocks, kBlockCacheBytes / blockBytes, kEvictDivisor);
    packed_.resize(layout.packedRowBytes * CachedBlockHeight(layout));
  }

  bool LoadColours() {
    if (layout_.kind == SampleKind::TrueColour) return true;
    const int count = 1 << layout_.bitsPerSample;
    if (layout_.kind == SampleKind::Palette) {
      std::uint16_t* red = nullptr;
      std::uint16_t* green = nullptr;
      std::uint16_t* blue = nullptr;
      if (TIFFGetField(tiff_.get(), TIFFTAG_COLORMAP, &red, &green, &blue) != 1) return false;
      for (int i = 0; i < count; ++i) {
        palette_[i] = Rgbquad{static_cast<std::uint8_t>(blue[i] >> 8), static_cast<std::uint8_t>(green[i] >> 8),
                              static_cast<std::uint8_t>(red[i] >> 8), 0};
      }
      return true;
    }
    // Grey levels spread over 0..255 at every depth; MinIsWhite counts down.
    const bool whiteIsZero = layout_.photometric == PHOTOMETRIC_MINISWHITE;
    for (int i = 0; i < count; ++i) {
      const int level = i * 255 / (count - 1);
      const auto value = static_cast<std::uint8_t>(whiteIsZero ? 255 - level : level);
      palette_[i] = Rgbquad{value, value, value, 0};
    }
    return true;
  }

  void ReadRow(int y, std::uint8_t* buffer) override {
    const auto row = static_cast<std::uint32_t>(y);
    const std::uint32_t blockRow = row / BlockHeight();
    const std::size_t offsetInBlock = static_cast<std::size_t>(row % BlockHeight()) * BlockRowBytes();
    for (std::uint32_t across = 0; across < layout_.blocksAcross; ++across) {
      const std::uint8_t* block = Block(blockRow * layout_.blocksAcross + across);
      const std::uint32_t x0 = across * layout_.blockWidth;
      const std::uint32_t columns = std::min(layout_.blockWidth, layout_.width - x0);
      std::copy_n(block + offsetInBlock, static_cast<std::size_t>(columns) * layout_.pixelBytes,
                  buffer + static_cast<std::size_t>(x0) * layout_.pixelBytes);
    }
  }

  void FetchPixel(int x, int y, std::uint8_t* out) override {
    const auto column = static_cast<std::uint32_t>(x);
    const auto row = static_cast<std::uint32_t>(y);
    const std::uint32_t index = (row / BlockHeight()) * layout_.blocksAcross + column / layout_.blockWidth;
    const std::uint8_t* pixel = Block(index) + static_cast<std::size_t>(row % BlockHeight()) * BlockRowBytes() +
                                static_cast<std::size_t>(column % layout_.blockWidth) * layout_.pixelBytes;
    if (layout_.pixelBytes == 3) {
      std::copy_n(pixel, 3, out);
    } else {
      const Rgbquad& entry = palette_[*pixel];
      out[0] = entry.blue;
      out[1] = entry.green;
      out[2] = entry.red;
    }
  }

  void ReleaseCaches() override { cache_.Clear(); }

 private:
  std::size_t BlockRowBytes() const { return static_cast<std::size_t>(layout_.blockWidth) * layout_.pixelBytes; }
  std::uint32_t BlockHeight() const { return CachedBlockHeight(layout_); }
  std::size_t BlockBytes() const { return BlockRowBytes() * BlockHeight(); }

  const std::uint8_t* Block(std::uint32_t index) {
    if (const std::uint8_t* cached = cache_.Find(index)) return cached;
    if (layout_.scanlines) return Scanline(index);
    std::uint8_t* block = cache_.Insert(index, BlockBytes());
    Decode(index, block);
    return block;
  }

  // Row `row` of a strip read scanline by scanline. libtiff decodes a strip
  // front to back only: a row before the last one read starts the strip
  // again, and the rows on the way to a later one are decoded (and kept)
  // too. A row libtiff cannot decode, and the rest of its strip, read as
  // zeros.
  const std::uint8_t* Scanline(std::uint32_t row) {
    const std::uint32_t stripStart = row / layout_.blockHeight * layout_.blockHeight;
    if (nextScanline_ > row || nextScanline_ < stripStart) nextScanline_ = stripStart;
    while (nextScanline_ <= row) {
      const std::uint32_t r = nextScanline_++;
      std::fill(packed_.begin(), packed_.end(), std::uint8_t{0});
      if (TIFFReadScanline(tiff_.get(), packed_.data(), r, 0) != 1) {
        nextScanline_ = std::numeric_limits<std::uint32_t>::max();  // the next read starts the strip again
        std::uint8_t* zeros = cache_.Insert(row, BlockBytes());
        std::fill_n(zeros, BlockBytes(), std::uint8_t{0});
        return zeros;
      }
      if (r != row && cache_.Find(r) != nullptr) continue;
      std::uint8_t* block = cache_.Insert(r, BlockBytes());
      UnpackRow(packed_.data(), block);
      if (r == row) return block;
    }
    return nullptr;  // not reached: the loop ends at `row`
  }

  // A block that libtiff cannot decode stays as far as it got (zeros beyond).
  void Decode(std::uint32_t index, std::uint8_t* block) {
    std::fill(packed_.begin(), packed_.end(), std::uint8_t{0});
    const auto size = static_cast<tmsize_t>(packed_.size());
    if (layout_.tiled) {
      TIFFReadEncodedTile(tiff_.get(), index, packed_.data(), size);
    } else {
      TIFFReadEncodedStrip(tiff_.get(), index, packed_.data(), size);
    }
    for (std::uint32_t r = 0; r < BlockHeight(); ++r) {
      UnpackRow(packed_.data() + r * layout_.packedRowBytes, block + r * BlockRowBytes());
    }
  }

  void UnpackRow(const std::uint8_t* in, std::uint8_t* out) const {
    const int width = static_cast<int>(layout_.blockWidth);
    if (layout_.kind != SampleKind::TrueColour) {
      if (layout_.bitsPerSample == 8) {
        std::copy_n(in, width, out);
      } else {
        ExpandPackedRow(in, layout_.bitsPerSample, width, out);
      }
      return;
    }
    const int step = layout_.samplesPerPixel;
    for (int x = 0; x < width; ++x, in += step, out += 3) {
      out[0] = in[2];
      out[1] = in[1];
      out[2] = in[0];
    }
  }

  TiffHandle tiff_;
  TiffLayout layout_;
  BlockCache cache_;
  std::vector<std::uint8_t> packed_;
  std::uint32_t nextScanline_ = 0;  // the row libtiff delivers next when rows are read one by one
};

}  // namespace

std::unique_ptr<RasterReader> OpenTiffReader(const std::filesystem::path& path, std::string& refusal) {
  refusal.clear();
  std::error_code error;
  const std::uint64_t fileSize = std::filesystem::file_size(path, error);
  if (error) return nullptr;
  TiffHandle tiff = OpenQuietly(path);
  if (!tiff) return nullptr;
  TiffLayout layout;
  if (!ReadSize(tiff.get(), layout)) return nullptr;
  if (!ClassifySamples(tiff.get(), layout)) {
    refusal = kUnsupportedMessage;
    return nullptr;
  }
  if (!ReadBlockShape(tiff.get(), layout) || !BlocksInsideFile(tiff.get(), layout, fileSize)) return nullptr;
  auto reader = std::make_unique<TiffReader>(std::move(tiff), layout);
  if (!reader->LoadColours()) return nullptr;
  return reader;
}

std::unique_ptr<RasterReader> OpenTiffReader(const std::filesystem::path& path) {
  std::string refusal;
  std::unique_ptr<RasterReader> reader = OpenTiffReader(path, refusal);
  if (!refusal.empty()) throw QuiltorError(refusal);
  return reader;
}

bool QueryTiffInfo(const std::filesystem::path& path, ImageInfo& info) {
  TiffHandle tiff = OpenQuietly(path);
  if (!tiff) return false;
  TiffLayout layout;
  if (!ReadSize(tiff.get(), layout)) return false;
  info.width = static_cast<int>(layout.width);
  info.height = static_cast<int>(layout.height);
  info.pixelMode = layout.photometric == PHOTOMETRIC_RGB || layout.photometric == PHOTOMETRIC_YCBCR ? 3 : 1;
  return true;
}

namespace {
constexpr std::string_view kTiffExtensions[] = {".tif"};
}  // namespace

extern const RasterFormat kTiffFormat{.extensions = kTiffExtensions,
                                      .mapImage = true,
                                      .openStreamed = OpenTiffReader,
                                      .cacheRelease = true,
                                      .queryHeader = QueryTiffInfo};

}  // namespace quiltor
