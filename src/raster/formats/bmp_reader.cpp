// Windows device-independent bitmaps: 1, 4, 8, 16, 24 and 32 bits per pixel,
// bottom-up or top-down rows, RLE8 and RLE4 compression and bit-field masks.
// Palette images become 8-bit bitmaps with a 256-entry colour table, the
// others 24-bit blue-green-red. Anything this decoder cannot build exactly is
// refused rather than guessed.
#include <bit>
#include <climits>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "raster/byte_file.h"
#include "raster/formats/format_readers.h"

namespace quiltor {
namespace {

constexpr std::uint32_t kRgb = 0;
constexpr std::uint32_t kRle8 = 1;
constexpr std::uint32_t kRle4 = 2;
constexpr std::uint32_t kBitFields = 3;
constexpr std::uint32_t kAlphaBitFields = 6;
constexpr std::size_t kFileHeaderBytes = 14;
constexpr std::size_t kCoreHeaderBytes = 12;
constexpr std::size_t kInfoHeaderBytes = 40;

// One colour channel of a bit-field pixel: where its bits sit and how many.
struct Channel {
  std::uint32_t mask = 0;
  int shift = 0;
  int bits = 0;

  std::uint8_t Extract(std::uint32_t pixel) const {
    if (bits == 0) return 0;
    const std::uint32_t value = (pixel & mask) >> shift;
    if (bits >= 8) return static_cast<std::uint8_t>(value >> (bits - 8));
    const std::uint32_t top = (1u << bits) - 1;
    return static_cast<std::uint8_t>((value * 255 + top / 2) / top);
  }
};

// A mask must be one contiguous run of bits inside the pixel (or empty).
std::optional<Channel> MakeChannel(std::uint32_t mask, int bitsPerPixel) {
  Channel channel;
  channel.mask = mask;
  if (mask == 0) return channel;
  if (bitsPerPixel < 32 && (mask >> bitsPerPixel) != 0) return std::nullopt;
  channel.shift = std::countr_zero(mask);
  channel.bits = std::popcount(mask);
  const std::uint64_t run = (std::uint64_t{1} << channel.bits) - 1;
  if ((mask >> channel.shift) != run) return std::nullopt;
  return channel;
}

struct BmpLayout {
  std::uint32_t dataOffset = 0;
  int width = 0;
  int height = 0;
  bool topDown = false;
  int bitsPerPixel = 0;
  std::uint32_t compression = kRgb;
  std::size_t paletteOffset = 0;
  int paletteEntryBytes = 4;
  int colourCount = 0;
  Channel red, green, blue;
};

bool ValidDepth(int bitsPerPixel, std::uint32_t compression) {
  switch (compression) {
    case kRgb:
      return bitsPerPixel == 1 || bitsPerPixel == 4 || bitsPerPixel == 8 || bitsPerPixel == 16 ||
             bitsPerPixel == 24 || bitsPerPixel == 32;
    case kRle8: return bitsPerPixel == 8;
    case kRle4: return bitsPerPixel == 4;
    case kBitFields:
    case kAlphaBitFields: return bitsPerPixel == 16 || bitsPerPixel == 32;
    default: return false;
  }
}

bool SetMasks(BmpLayout& layout, std::uint32_t r, std::uint32_t g, std::uint32_t b) {
  const auto red = MakeChannel(r, layout.bitsPerPixel);
  const auto green = MakeChannel(g, layout.bitsPerPixel);
  const auto blue = MakeChannel(b, layout.bitsPerPixel);
  if (!red || !green || !blue) return false;
  layout.red = *red;
  layout.green = *green;
  layout.blue = *blue;
  return true;
}

// Reads the file and information headers; the palette and masks must lie in
// the file and the image must fit in a Bitmap.
std::optional<BmpLayout> ParseLayout(std::span<const std::uint8_t> file) {
  if (file.size() < kFileHeaderBytes + kCoreHeaderBytes || file[0] != 'B' || file[1] != 'M') return std::nullopt;
  BmpLayout layout;
  layout.dataOffset = LoadLe32(&file[10]);
  const std::uint32_t infoSize = LoadLe32(&file[14]);
  if (infoSize > file.size() - kFileHeaderBytes) return std::nullopt;
  const std::uint8_t* info = &file[kFileHeaderBytes];
  std::uint32_t usedColours = 0;
  std::int64_t height = 0;
  if (infoSize == kCoreHeaderBytes) {
    layout.width = LoadLe16(info + 4);
    height = LoadLe16(info + 6);
    layout.bitsPerPixel = LoadLe16(info + 10);
    layout.paletteEntryBytes = 3;
  } else if (infoSize >= kInfoHeaderBytes) {
    layout.width = static_cast<std::int32_t>(LoadLe32(info + 4));
    height = static_cast<std::int32_t>(LoadLe32(info + 8));
    layout.bitsPerPixel = LoadLe16(info + 14);
    layout.compression = LoadLe32(info + 16);
    usedColours = LoadLe32(info + 32);
  } else {
    return std::nullopt;
  }
  if (layout.width <= 0 || height == 0 || height == INT_MIN) return std::nullopt;
  layout.topDown = height < 0;
  layout.height = static_cast<int>(height < 0 ? -height : height);
  if (!ValidDepth(layout.bitsPerPixel, layout.compression)) return std::nullopt;
  // Compressed images are stored bottom-up only.
  if (layout.topDown && (layout.compression == kRle8 || layout.compression == kRle4)) return std::nullopt;

  layout.paletteOffset = kFileHeaderBytes + infoSize;
  if (layout.compression == kBitFields || layout.compression == kAlphaBitFields) {
    const std::size_t maskAt = kFileHeaderBytes + kInfoHeaderBytes;
    if (file.size() < maskAt + 12) return std::nullopt;
    if (!SetMasks(layout, LoadLe32(&file[maskAt]), LoadLe32(&file[maskAt + 4]), LoadLe32(&file[maskAt + 8]))) return std::nullopt;
    if (infoSize == kInfoHeaderBytes) layout.paletteOffset += layout.compression == kAlphaBitFields ? 16 : 12;
  } else if (layout.bitsPerPixel == 16) {
    SetMasks(layout, 0x7C00, 0x03E0, 0x001F);
  } else if (layout.bitsPerPixel == 32) {
    SetMasks(layout, 0xFF0000, 0x00FF00, 0x0000FF);
  }

  if (layout.bitsPerPixel <= 8) {
    const std::uint32_t most = 1u << layout.bitsPerPixel;
    layout.colourCount = static_cast<int>(usedColours == 0 || usedColours > most ? most : usedColours);
    const std::uint64_t paletteEnd =
        layout.paletteOffset + static_cast<std::uint64_t>(layout.colourCount) * layout.paletteEntryBytes;
    if (paletteEnd > file.size()) return std::nullopt;
  }
  if (layout.dataOffset < kFileHeaderBytes + infoSize || layout.dataOffset >= file.size()) return std::nullopt;

  const std::uint64_t outBytes = static_cast<std::uint64_t>(layout.width) * static_cast<std::uint64_t>(layout.height) *
                                 (layout.bitsPerPixel <= 8 ? 1u : 3u);
  if (outBytes > kMaxBitmapBytes) return std::nullopt;
  return layout;
}

void CopyPalette(std::span<const std::uint8_t> file, const BmpLayout& layout, Bitmap& bitmap) {
  for (int i = 0; i < layout.colourCount; ++i) {
    const std::uint8_t* entry = &file[layout.paletteOffset + static_cast<std::size_t>(i) * layout.paletteEntryBytes];
    bitmap.palette()[i] = Rgbquad{entry[0], entry[1], entry[2], 0};
  }
}

int BitmapRow(const BmpLayout& layout, int storedRow) { return layout.topDown ? storedRow : layout.height - 1 - storedRow; }

void DecodeTrueColourRow(const std::uint8_t* in, const BmpLayout& layout, std::uint8_t* out) {
  if (layout.bitsPerPixel == 24) {
    std::copy(in, in + static_cast<std::size_t>(layout.width) * 3, out);
    return;
  }
  const int bytes = layout.bitsPerPixel / 8;
  for (int x = 0; x < layout.width; ++x, in += bytes, out += 3) {
    const std::uint32_t pixel = bytes == 2 ? LoadLe16(in) : LoadLe32(in);
    out[0] = layout.blue.Extract(pixel);
    out[1] = layout.green.Extract(pixel);
    out[2] = layout.red.Extract(pixel);
  }
}

std::optional<Bitmap> DecodeUncompressed(std::span<const std::uint8_t> file, const BmpLayout& layout) {
  const std::uint64_t rowBits = static_cast<std::uint64_t>(layout.width) * layout.bitsPerPixel;
  const std::uint64_t stride = (rowBits + 31) / 32 * 4;
  // The last row may lack its padding; everything before it must be there.
  const std::uint64_t needed = stride * static_cast<std::uint64_t>(layout.height - 1) + (rowBits + 7) / 8;
  if (layout.dataOffset + needed > file.size()) return std::nullopt;
  Bitmap bitmap(layout.width, layout.height, layout.bitsPerPixel <= 8 ? 8 : 24);
  for (int stored = 0; stored < layout.height; ++stored) {
    const std::uint8_t* in = &file[layout.dataOffset + stride * static_cast<std::uint64_t>(stored)];
    std::uint8_t* out = bitmap.row(BitmapRow(layout, stored));
    if (layout.bitsPerPixel == 8) {
      std::copy(in, in + layout.width, out);
    } else if (layout.bitsPerPixel < 8) {
      ExpandPackedRow(in, layout.bitsPerPixel, layout.width, out);
    } else {
      DecodeTrueColourRow(in, layout, out);
    }
  }
  if (layout.bitsPerPixel <= 8) {
    if (!bitmap.IndicesWithin(layout.colourCount)) return std::nullopt;
    CopyPalette(file, layout, bitmap);
  }
  return bitmap;
}

// Run-length decoding (RLE8 and RLE4); every run, absolute block and delta
// must stay inside the image and the stream must end with its end marker.
// Without a bitmap the decoder only walks the stream: the proof, before the
// image is allocated, that a header's size is backed by a whole stream.
class RleDecoder {
 public:
  RleDecoder(std::span<const std::uint8_t> data, const BmpLayout& layout, Bitmap* bitmap)
      : data_(data), layout_(layout), bitmap_(bitmap), nibbles_(layout.compression == kRle4) {}

  bool Run() {
    while (pos_ + 2 <= data_.size()) {
      const std::uint8_t count = data_[pos_];
      const std::uint8_t value = data_[pos_ + 1];
      pos_ += 2;
      if (count > 0) {
        if (!WriteRun(count, value)) return false;
        continue;
      }
      if (value == 0) {
        x_ = 0;
        ++y_;
      } else if (value == 1) {
        return true;
      } else if (value == 2) {
        if (!Delta()) return false;
      } else if (!Absolute(value)) {
        return false;
      }
    }
    return false;  // truncated: no end-of-bitmap marker
  }

 private:
  bool Put(std::uint8_t index) {
    if (x_ >= layout_.width || y_ >= layout_.height || index >= layout_.colourCount) return false;
    if (bitmap_ != nullptr) bitmap_->row(layout_.height - 1 - y_)[x_] = index;
    ++x_;
    return true;
  }

  bool WriteRun(int count, std::uint8_t value) {
    for (int i = 0; i < count; ++i) {
      const std::uint8_t index = nibbles_ ? static_cast<std::uint8_t>(i % 2 == 0 ? value >> 4 : value & 0x0F) : value;
      if (!Put(index)) return false;
    }
    return true;
  }

  bool Delta() {
    if (pos_ + 2 > data_.size()) return false;
    x_ += data_[pos_];
    y_ += data_[pos_ + 1];
    pos_ += 2;
    return x_ <= layout_.width && y_ <= layout_.height;
  }

  bool Absolute(int count) {
    const std::size_t bytes = nibbles_ ? (static_cast<std::size_t>(count) + 1) / 2 : static_cast<std::size_t>(count);
    const std::size_t padded = (bytes + 1) & ~std::size_t{1};
    if (pos_ + padded > data_.size()) return false;
    for (int i = 0; i < count; ++i) {
      const std::uint8_t byte = data_[pos_ + (nibbles_ ? static_cast<std::size_t>(i / 2) : static_cast<std::size_t>(i))];
      const std::uint8_t index = nibbles_ ? static_cast<std::uint8_t>(i % 2 == 0 ? byte >> 4 : byte & 0x0F) : byte;
      if (!Put(index)) return false;
    }
    pos_ += padded;
    return true;
  }

  std::span<const std::uint8_t> data_;
  const BmpLayout& layout_;
  Bitmap* bitmap_;
  bool nibbles_;
  std::size_t pos_ = 0;
  int x_ = 0;
  int y_ = 0;
};

std::optional<Bitmap> DecodeRle(std::span<const std::uint8_t> file, const BmpLayout& layout) {
  if (!RleDecoder(file.subspan(layout.dataOffset), layout, nullptr).Run()) return std::nullopt;
  Bitmap bitmap(layout.width, layout.height, 8);
  RleDecoder decoder(file.subspan(layout.dataOffset), layout, &bitmap);
  if (!decoder.Run()) return std::nullopt;
  CopyPalette(file, layout, bitmap);
  return bitmap;
}

// Largest file read into memory: a 32-bit image of the largest bitmap.
constexpr std::uint64_t kMaxBmpFileBytes = kMaxBitmapBytes / 3 * 4 + (1u << 20);

}  // namespace

std::optional<Bitmap> DecodeBmp(const std::filesystem::path& path) {
  const auto file = ReadWholeFile(path, kMaxBmpFileBytes);
  if (!file) return std::nullopt;
  const auto layout = ParseLayout(*file);
  if (!layout) return std::nullopt;
  if (layout->compression == kRle8 || layout->compression == kRle4) return DecodeRle(*file, *layout);
  return DecodeUncompressed(*file, *layout);
}

bool QueryBmpInfo(const std::filesystem::path& path, ImageInfo& info) {
  const ByteFile file = ByteFile::TryOpen(path, "rb");
  std::uint8_t header[30] = {};
  if (!file.ReadAll(0, header, 26) || header[0] != 'B' || header[1] != 'M') return false;
  const std::uint32_t infoSize = LoadLe32(header + 14);
  int bitsPerPixel = 0;
  if (infoSize == kCoreHeaderBytes) {
    info.width = LoadLe16(header + 18);
    info.height = LoadLe16(header + 20);
    bitsPerPixel = LoadLe16(header + 24);
  } else if (infoSize >= kInfoHeaderBytes && file.ReadAll(0, header, sizeof header)) {
    const auto height = static_cast<std::int32_t>(LoadLe32(header + 22));
    info.width = static_cast<std::int32_t>(LoadLe32(header + 18));
    info.height = height == INT_MIN ? 0 : (height < 0 ? -height : height);
    bitsPerPixel = LoadLe16(header + 28);
  } else {
    return false;
  }
  if (info.width < 0) info.width = 0;
  // 16-, 24- and 32-bit images all open as blue-green-red rows.
  info.pixelMode = bitsPerPixel > 8 ? 3 : 1;
  return true;
}

namespace {
constexpr std::string_view kBmpExtensions[] = {".bmp"};
}  // namespace

extern const RasterFormat kBmpFormat{
    .extensions = kBmpExtensions, .mapImage = true, .decodeWhole = DecodeBmp, .queryHeader = QueryBmpInfo};

}  // namespace quiltor
