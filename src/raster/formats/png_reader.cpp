// PNG source maps and thumbnails through libpng. Palette images stay 8-bit
// with their PLTE colours; grey images of any depth become 8-bit with the
// grey ramp; true colour becomes 24-bit blue-green-red. Alpha is dropped,
// 16-bit samples are scaled to 8 bits and interlaced files are assembled by
// the library.
#include <algorithm>
#include <csetjmp>
#include <optional>
#include <string>

#include "common/error.h"
#include "common/text.h"
#include "raster/formats/format_readers.h"
#include "raster/formats/png_session.h"
#include "raster/byte_file.h"

namespace quiltor {
namespace {

using png_session::ReadSession;

struct PngLayout {
  png_uint_32 width = 0;
  png_uint_32 height = 0;
  int colourType = 0;
};

void RequestEightBitRows(png_structp png, int bitDepth, int colourType) {
  if (bitDepth == 16) png_set_scale_16(png);
  if (colourType == PNG_COLOR_TYPE_GRAY && bitDepth < 8) png_set_expand_gray_1_2_4_to_8(png);
  if (colourType == PNG_COLOR_TYPE_PALETTE && bitDepth < 8) png_set_packing(png);
  if ((colourType & PNG_COLOR_MASK_ALPHA) != 0) png_set_strip_alpha(png);
  if ((colourType & PNG_COLOR_MASK_COLOR) != 0) png_set_bgr(png);
  png_set_interlace_handling(png);
}

// Deflate expands at most 1032 times and a pixel takes at least one bit of
// the inflated rows, so a file cannot hold more pixels than this; a header
// that claims more is damaged, and nothing is allocated for it.
constexpr std::uint64_t kMaxPixelsPerFileByte = 8 * 1100;

void FillPalette(png_structp png, png_infop info, const PngLayout& layout, int& paletteSize, Bitmap& bitmap) {
  if (layout.colourType == PNG_COLOR_TYPE_PALETTE) {
    png_colorp colours = nullptr;
    int count = 0;
    png_get_PLTE(png, info, &colours, &count);
    paletteSize = count < 256 ? count : 256;
    for (int i = 0; i < paletteSize; ++i) {
      bitmap.palette()[i] = Rgbquad{colours[i].blue, colours[i].green, colours[i].red, 0};
    }
    return;
  }
  paletteSize = 256;
  for (int i = 0; i < 256; ++i) {
    const auto level = static_cast<std::uint8_t>(i);
    bitmap.palette()[i] = Rgbquad{level, level, level, 0};
  }
}

enum class DecodeEnd { Decoded, LibraryError, TooManyPixels, UnexpectedRowSize };

// The libpng calls. The jump target lives here and this frame creates
// nothing with a destructor after setjmp.
DecodeEnd RunDecoder(ReadSession& session, std::FILE* file, std::uint64_t fileSize, PngLayout& layout,
                     std::optional<Bitmap>& out, int& paletteSize) {
  png_structp png = session.png;
  png_infop info = session.info;
  if (setjmp(png_jmpbuf(png)) != 0) return DecodeEnd::LibraryError;
  png_init_io(png, file);
  png_read_info(png, info);
  int bitDepth = 0;
  png_get_IHDR(png, info, &layout.width, &layout.height, &bitDepth, &layout.colourType, nullptr, nullptr, nullptr);
  const bool colour = (layout.colourType & PNG_COLOR_MASK_COLOR) != 0 && layout.colourType != PNG_COLOR_TYPE_PALETTE;
  const int bytesPerPixel = colour ? 3 : 1;
  const std::uint64_t pixels = static_cast<std::uint64_t>(layout.width) * layout.height;
  if (pixels * bytesPerPixel > kMaxBitmapBytes || pixels > (fileSize + 1024) * kMaxPixelsPerFileByte)
    return DecodeEnd::TooManyPixels;
  RequestEightBitRows(png, bitDepth, layout.colourType);
  png_read_update_info(png, info);
  if (png_get_rowbytes(png, info) != static_cast<std::size_t>(layout.width) * bytesPerPixel)
    return DecodeEnd::UnexpectedRowSize;
  out.emplace(static_cast<int>(layout.width), static_cast<int>(layout.height), bytesPerPixel * 8);
  session.rows.resize(layout.height);
  for (png_uint_32 y = 0; y < layout.height; ++y) session.rows[y] = out->row(static_cast<int>(y));
  png_read_image(png, session.rows.data());
  if (!colour) FillPalette(png, info, layout, paletteSize, *out);
  return DecodeEnd::Decoded;
}

// Why a decode ended without an image, in words for the command line.
std::string RefusalReason(DecodeEnd end, const ReadSession& session, const PngLayout& layout) {
  switch (end) {
    case DecodeEnd::TooManyPixels:
      return "the header claims " + FormatInt(layout.width) + " x " + FormatInt(layout.height) +
             " pixels, more than the file can hold or memory can take";
    case DecodeEnd::UnexpectedRowSize: return "a pixel layout the reader does not convert";
    case DecodeEnd::LibraryError:
      return session.error.text[0] != '\0' ? std::string("libpng: ") + session.error.text : "libpng failed";
    case DecodeEnd::Decoded: break;
  }
  return {};
}

}  // namespace

std::optional<Bitmap> DecodePng(const std::filesystem::path& path) {
  const ByteFile file = ByteFile::TryOpen(path, "rb");
  if (!file) throw QuiltorError("Error Opening File : " + path.string());
  ReadSession session;
  if (!session.valid()) throw QuiltorError("Error Reading File!", "libpng could not start");
  std::optional<Bitmap> bitmap;
  int paletteSize = 256;
  PngLayout layout;
  const DecodeEnd end = RunDecoder(session, file.get(), file.size(), layout, bitmap, paletteSize);
  if (end != DecodeEnd::Decoded) throw QuiltorError("Error Reading File!", RefusalReason(end, session, layout));
  if (bitmap->bitsPerPixel() == 8 && !bitmap->IndicesWithin(paletteSize))
    throw QuiltorError("Error Reading File!", "a pixel names a colour beyond the palette");
  return bitmap;
}

bool QueryPngInfo(const std::filesystem::path& path, ImageInfo& info) {
  static constexpr std::uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  const ByteFile file = ByteFile::TryOpen(path, "rb");
  std::uint8_t head[29] = {};
  if (!file.ReadAll(0, head, sizeof head)) return false;
  if (!std::equal(kSignature, kSignature + 8, head)) return false;
  if (LoadBe32(head + 8) != 13 || !std::equal(head + 12, head + 16, "IHDR")) return false;
  const std::uint32_t width = LoadBe32(head + 16);
  const std::uint32_t height = LoadBe32(head + 20);
  if (width > 0x7FFFFFFF || height > 0x7FFFFFFF) return false;
  // A size the file cannot hold is not the image's size: the map is listed
  // as unreadable instead of promising pixels a decode refuses.
  if (static_cast<std::uint64_t>(width) * height > (file.size() + 1024) * kMaxPixelsPerFileByte) return false;
  const int colourType = head[25];
  info.width = static_cast<int>(width);
  info.height = static_cast<int>(height);
  info.pixelMode = (colourType & PNG_COLOR_MASK_COLOR) != 0 && colourType != PNG_COLOR_TYPE_PALETTE ? 3 : 1;
  return true;
}

namespace {
constexpr std::string_view kPngExtensions[] = {".png"};
}  // namespace

extern const RasterFormat kPngFormat{
    .extensions = kPngExtensions, .mapImage = true, .decodeWhole = DecodePng, .queryHeader = QueryPngInfo};

}  // namespace quiltor
