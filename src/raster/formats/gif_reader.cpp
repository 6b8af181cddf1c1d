// GIF source maps through giflib: the first image of the file becomes an
// 8-bit bitmap with its local colour table, or the global one when it has
// none. Interlaced images are put back in top-to-bottom row order.
#include <gif_lib.h>

#include <cstdio>
#include <optional>

#include "raster/formats/format_readers.h"
#include "raster/byte_file.h"

namespace quiltor {
namespace {

int ReadFromFile(GifFileType* gif, GifByteType* buffer, int count) {
  auto* file = static_cast<std::FILE*>(gif->UserData);
  return static_cast<int>(std::fread(buffer, 1, static_cast<std::size_t>(count), file));
}

// The decoder handle; closing it does not close the FILE it reads from.
class GifHandle {
 public:
  explicit GifHandle(std::FILE* file) {
    int error = 0;
    gif_ = DGifOpen(file, ReadFromFile, &error);
  }
  ~GifHandle() {
    int error = 0;
    if (gif_ != nullptr) DGifCloseFile(gif_, &error);
  }
  GifHandle(const GifHandle&) = delete;
  GifHandle& operator=(const GifHandle&) = delete;
  GifFileType* get() const { return gif_; }

 private:
  GifFileType* gif_ = nullptr;
};

bool SkipExtension(GifFileType* gif) {
  int code = 0;
  GifByteType* block = nullptr;
  if (DGifGetExtension(gif, &code, &block) == GIF_ERROR) return false;
  while (block != nullptr) {
    if (DGifGetExtensionNext(gif, &block) == GIF_ERROR) return false;
  }
  return true;
}

// Stored row order of an interlaced image: four passes over the rows.
bool ReadInterlacedRows(GifFileType* gif, Bitmap& bitmap) {
  static constexpr int kFirst[4] = {0, 4, 2, 1};
  static constexpr int kStep[4] = {8, 8, 4, 2};
  for (int pass = 0; pass < 4; ++pass) {
    for (int y = kFirst[pass]; y < bitmap.height(); y += kStep[pass]) {
      if (DGifGetLine(gif, bitmap.row(y), bitmap.width()) == GIF_ERROR) return false;
    }
  }
  return true;
}

bool ReadRows(GifFileType* gif, bool interlaced, Bitmap& bitmap) {
  if (interlaced) return ReadInterlacedRows(gif, bitmap);
  for (int y = 0; y < bitmap.height(); ++y) {
    if (DGifGetLine(gif, bitmap.row(y), bitmap.width()) == GIF_ERROR) return false;
  }
  return true;
}

// An LZW code takes at least 3 bits and stands for at most 4096 pixels, so a
// file cannot hold more pixels than this; a larger claim is damaged.
constexpr std::uint64_t kMaxPixelsPerFileByte = 11000;

std::optional<Bitmap> DecodeFirstImage(GifFileType* gif, std::uint64_t fileSize) {
  if (DGifGetImageDesc(gif) == GIF_ERROR) return std::nullopt;
  const GifImageDesc& desc = gif->Image;
  if (desc.Width <= 0 || desc.Height <= 0) return std::nullopt;
  const std::uint64_t pixels = static_cast<std::uint64_t>(desc.Width) * static_cast<std::uint64_t>(desc.Height);
  if (pixels > kMaxBitmapBytes || pixels > (fileSize + 1024) * kMaxPixelsPerFileByte) return std::nullopt;
  const ColorMapObject* colours = desc.ColorMap != nullptr ? desc.ColorMap : gif->SColorMap;
  if (colours == nullptr || colours->ColorCount <= 0) return std::nullopt;
  Bitmap bitmap(desc.Width, desc.Height, 8);
  if (!ReadRows(gif, desc.Interlace, bitmap)) return std::nullopt;
  const int count = colours->ColorCount < 256 ? colours->ColorCount : 256;
  if (!bitmap.IndicesWithin(count)) return std::nullopt;
  for (int i = 0; i < count; ++i) {
    const GifColorType& c = colours->Colors[i];
    bitmap.palette()[i] = Rgbquad{c.Blue, c.Green, c.Red, 0};
  }
  return bitmap;
}

}  // namespace

std::optional<Bitmap> DecodeGif(const std::filesystem::path& path) {
  const ByteFile file = ByteFile::TryOpen(path, "rb");
  if (!file) return std::nullopt;
  GifHandle handle(file.get());
  GifFileType* gif = handle.get();
  if (gif == nullptr) return std::nullopt;
  for (;;) {
    GifRecordType type = UNDEFINED_RECORD_TYPE;
    if (DGifGetRecordType(gif, &type) == GIF_ERROR) return std::nullopt;
    if (type == IMAGE_DESC_RECORD_TYPE) return DecodeFirstImage(gif, file.size());
    if (type != EXTENSION_RECORD_TYPE || !SkipExtension(gif)) return std::nullopt;
  }
}

// Read straight from the file: the screen size, or the first image's own size
// when an image descriptor follows the global colour table at once. A file
// without a global colour table reports nothing.
bool QueryGifInfo(const std::filesystem::path& path, ImageInfo& info) {
  const ByteFile file = ByteFile::TryOpen(path, "rb");
  std::uint8_t screen[13] = {};
  if (!file.ReadAll(0, screen, sizeof screen)) return false;
  if (screen[0] != 'G' || screen[1] != 'I' || screen[2] != 'F') return false;
  if ((screen[10] & 0x80) == 0) return false;
  int width = LoadLe16(screen + 6);
  int height = LoadLe16(screen + 8);
  const std::uint64_t tableBytes = 3u << ((screen[10] & 0x07) + 1);
  std::uint8_t image[9] = {};
  if (file.ReadAll(sizeof screen + tableBytes, image, sizeof image) && image[0] == ',') {
    width = LoadLe16(image + 5);
    height = LoadLe16(image + 7);
  }
  if (width == 0 || height == 0) return false;
  info.width = width;
  info.height = height;
  info.pixelMode = 1;
  return true;
}

namespace {
constexpr std::string_view kGifExtensions[] = {".gif"};
}  // namespace

extern const RasterFormat kGifFormat{
    .extensions = kGifExtensions, .mapImage = true, .decodeWhole = DecodeGif, .queryHeader = QueryGifInfo};

}  // namespace quiltor
