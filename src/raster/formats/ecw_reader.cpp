// ECW images through the outside ECW library. The library decodes any
// rectangle of the image through a view; this reader asks it for 128 x 128
// blocks and keeps up to 256 of them.
#include <algorithm>
#include <array>
#include <cstring>
#include <vector>

#include "raster/block_cache.h"
#include "raster/formats/plugin_readers.h"

namespace quiltor {
namespace {

// A full cache drops a fifth of its blocks at once (down to 205).
constexpr std::size_t kEcwEvictDivisor = 5;

// One open view of the library, closed when dropped.
class EcwView {
 public:
  EcwView(const EcwLibrary& library, const std::string& path) : library_(&library) {
    void* view = nullptr;
    if (library.openView(path.c_str(), &view, nullptr) == 0 && view != nullptr) view_ = view;
  }
  ~EcwView() { Close(); }
  EcwView(const EcwView&) = delete;
  EcwView& operator=(const EcwView&) = delete;

  bool open() const { return view_ != nullptr; }
  void Close() {
    if (view_ != nullptr) library_->closeView(view_, 1);
    view_ = nullptr;
  }
  // Width and height from the file information; false when it is not given.
  bool Size(int& width, int& height) {
    EcwFileInfoHead* info = nullptr;
    if (library_->fileInfo(view_, &info) != 0 || info == nullptr) return false;
    if (info->width == 0 || info->height == 0 || info->width > 0x7fffffffu || info->height > 0x7fffffffu) return false;
    width = static_cast<int>(info->width);
    height = static_cast<int>(info->height);
    bandCount_ = std::max<std::uint16_t>(info->bandCount, 1);
    return true;
  }
  // Sets the view to columns x0..x1, rows y0..y1 (inclusive) delivered at
  // outWidth x outHeight; false when the library refuses.
  bool Set(int x0, int y0, int x1, int y1, int outWidth, int outHeight) {
    std::array<std::uint32_t, 100> bands{};
    const std::uint32_t bandCount = std::min<std::uint32_t>(bandCount_, bands.size());
    for (std::uint32_t i = 0; i < bandCount; ++i) bands[i] = i;
    return library_->setView(view_, bandCount, bands.data(), static_cast<std::uint32_t>(x0),
                             static_cast<std::uint32_t>(y0), static_cast<std::uint32_t>(x1),
                             static_cast<std::uint32_t>(y1), static_cast<std::uint32_t>(outWidth),
                             static_cast<std::uint32_t>(outHeight)) == 0;
  }
  bool ReadLine(std::uint8_t* line) { return library_->readLine(view_, line) == 0; }

 private:
  const EcwLibrary* library_;
  void* view_ = nullptr;
  std::uint16_t bandCount_ = 3;
};

class EcwReader : public RasterReader {
 public:
  EcwReader(const EcwLibrary& library, std::string path) : library_(library), path_(std::move(path)) {}

  bool Open() {
    view_ = std::make_unique<EcwView>(library_, path_);
    if (!view_->open() || !view_->Size(width_, height_)) return false;
    pixelMode_ = 3;
    columns_ = width_ / kPluginBlockSide + 1;
    const std::size_t blocks = static_cast<std::size_t>(columns_) * static_cast<std::size_t>(height_ / kPluginBlockSide + 1);
    blocks_ = BlockCache(blocks, kEcwBlockCapacity, kEcwEvictDivisor, Eviction::LowestIndexFirst);
    return true;
  }

  void FetchPixel(int x, int y, std::uint8_t* out) override {
    const std::uint8_t* block = Block(x / kPluginBlockSide, y / kPluginBlockSide);
    if (block == nullptr) return;
    std::memcpy(out, PluginBlockPixel(block, x, y), 3);
  }

  // A row is gathered from the blocks it crosses; a block the library
  // refuses leaves its part of the buffer as it was.
  void ReadRow(int y, std::uint8_t* buffer) override {
    const std::size_t offset = static_cast<std::size_t>(y % kPluginBlockSide) * kPluginBlockRowBytes;
    for (int bx = 0; bx * kPluginBlockSide < width_; ++bx) {
      const std::uint8_t* block = Block(bx, y / kPluginBlockSide);
      if (block == nullptr) continue;
      const int pixels = std::min(kPluginBlockSide, width_ - bx * kPluginBlockSide);
      std::memcpy(buffer + static_cast<std::size_t>(bx) * kPluginBlockRowBytes, block + offset,
                  static_cast<std::size_t>(pixels) * 3);
    }
  }

  void ReleaseCaches() override {
    view_->Close();
    blocks_.Clear();
  }

 private:
  // The block at (bx, by), loaded when absent; nullptr when the view cannot
  // be set or read.
  const std::uint8_t* Block(int bx, int by) {
    const std::size_t index = static_cast<std::size_t>(by) * columns_ + bx;
    if (const std::uint8_t* cached = blocks_.Find(index)) return cached;
    // The library's own cache grows with the view, so a full block cache
    // (which then drops blocks from the top-left onwards) starts it afresh.
    const bool full = blocks_.cachedCount() >= blocks_.capacity();
    if ((full || !view_->open()) && !Reopen()) return nullptr;
    const int x0 = bx * kPluginBlockSide, y0 = by * kPluginBlockSide;
    const int x1 = std::min(x0 + kPluginBlockSide - 1, width_ - 1);
    const int y1 = std::min(y0 + kPluginBlockSide - 1, height_ - 1);
    if (!view_->Set(x0, y0, x1, y1, x1 - x0 + 1, y1 - y0 + 1)) return nullptr;
    scratch_.assign(kPluginBlockBytes, 0);
    for (int line = 0; line <= y1 - y0; ++line) {
      if (!view_->ReadLine(scratch_.data() + static_cast<std::size_t>(line) * kPluginBlockRowBytes)) return nullptr;
    }
    std::uint8_t* block = blocks_.Insert(index, kPluginBlockBytes);
    std::memcpy(block, scratch_.data(), kPluginBlockBytes);
    return block;
  }

  // Closes the view, then opens it again on the same file.
  bool Reopen() {
    view_.reset();
    view_ = std::make_unique<EcwView>(library_, path_);
    int width = 0, height = 0;
    return view_->open() && view_->Size(width, height);
  }

  EcwLibrary library_;
  std::string path_;
  std::unique_ptr<EcwView> view_;
  int columns_ = 0;
  BlockCache blocks_;
  std::vector<std::uint8_t> scratch_;
};

std::unique_ptr<RasterReader> OpenEcwFromTable(const std::filesystem::path& path, std::string&) {
  const EcwLibrary* library = EcwDecoder();
  return library == nullptr ? nullptr : OpenEcwReader(*library, path);
}

bool QueryEcwFromTable(const std::filesystem::path& path, ImageInfo& info) {
  const EcwLibrary* library = EcwDecoder();
  return library != nullptr && QueryEcwInfo(*library, path, info);
}

std::optional<Bitmap> DecodeEcwThumbnail(const std::filesystem::path& path, int targetWidth) {
  const EcwLibrary* library = EcwDecoder();
  ImageInfo info;
  if (library == nullptr || targetWidth <= 0 || !QueryEcwInfo(*library, path, info)) return std::nullopt;
  return DecodeEcwReduced(*library, path, std::max(1, info.width / targetWidth));
}

bool EcwLoaded() { return EcwDecoder() != nullptr; }

constexpr std::string_view kEcwExtensions[] = {".ecw"};

}  // namespace

std::unique_ptr<RasterReader> OpenEcwReader(const EcwLibrary& library, const std::filesystem::path& path) {
  auto reader = std::make_unique<EcwReader>(library, path.string());
  if (!reader->Open()) return nullptr;
  return reader;
}

bool QueryEcwInfo(const EcwLibrary& library, const std::filesystem::path& path, ImageInfo& info) {
  EcwView view(library, path.string());
  if (!view.open() || !view.Size(info.width, info.height)) return false;
  info.pixelMode = 3;
  return true;
}

std::optional<Bitmap> DecodeEcwReduced(const EcwLibrary& library, const std::filesystem::path& path, int factor) {
  EcwView view(library, path.string());
  int width = 0, height = 0;
  if (!view.open() || !view.Size(width, height)) return std::nullopt;
  factor = std::max(factor, 1);
  const int outWidth = std::max(width / factor, 1), outHeight = std::max(height / factor, 1);
  if (!view.Set(0, 0, width - 1, height - 1, outWidth, outHeight)) return std::nullopt;
  Bitmap image(outWidth, outHeight, 24);
  for (int y = 0; y < outHeight; ++y) {
    if (!view.ReadLine(image.row(y))) return std::nullopt;
  }
  return image;
}

// Rows are served from the blocks too, so that the preview and the whole
// image reads work on ECW images as on any other kind.
extern const RasterFormat kEcwFormat{.extensions = kEcwExtensions,
                                     .mapImage = true,
                                     .openStreamed = OpenEcwFromTable,
                                     .cacheRelease = true,
                                     .queryHeader = QueryEcwFromTable,
                                     .thumbnail = ThumbnailRoute::ReducedImage,
                                     .decodeReduced = DecodeEcwThumbnail,
                                     .loaded = EcwLoaded};

}  // namespace quiltor
