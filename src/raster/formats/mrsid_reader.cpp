// MrSID images through the outside MrSID library: pixels from a cache of
// 128 x 128 blocks (the oldest dropped first), rows from a strip of up to
// 100 rows around the row asked for.
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "raster/block_cache.h"
#include "raster/formats/plugin_readers.h"

namespace quiltor {
namespace {

// A full cache drops a tenth of its blocks at once (down to 480).
constexpr std::size_t kMrSidEvictDivisor = 10;
// A strip starts this many rows above the row asked for, so that a reader
// stepping back a little stays inside it.
constexpr int kStripLead = 20;

// The two handles of one open image, closed when dropped.
class MrSidHandles {
 public:
  MrSidHandles(const MrSidLibrary& library, const std::string& path, int& width, int& height) : library_(&library) {
    std::int32_t w = 0, h = 0;
    void* a = nullptr;
    void* b = nullptr;
    if (library.open(path.c_str(), &w, &h, &a, &b) == 0) return;
    a_ = a;
    b_ = b;
    opened_ = true;
    width = w;
    height = h;
  }
  ~MrSidHandles() {
    if (opened_) library_->close(a_, b_);
  }
  MrSidHandles(const MrSidHandles&) = delete;
  MrSidHandles& operator=(const MrSidHandles&) = delete;

  bool opened() const { return opened_; }
  // Pixels x..x+width-1, rows y..y+height-1 at level 0 into `buffer`, rows
  // of width * 3 bytes; false when the library fails.
  bool Load(int x, int y, int width, int height, std::uint8_t* buffer) const {
    return library_->loadStrip(b_, x, y, width, height, 0, buffer) != 0;
  }

 private:
  const MrSidLibrary* library_;
  void* a_ = nullptr;
  void* b_ = nullptr;
  bool opened_ = false;
};

class MrSidReader : public RasterReader {
 public:
  MrSidReader(const MrSidLibrary& library, const std::string& path)
      : library_(library), handles_(library_, path, width_, height_) {
    pixelMode_ = 3;
  }

  bool valid() const { return handles_.opened() && width_ > 0 && height_ > 0; }

  void Prepare() {
    columns_ = width_ / kPluginBlockSide + 1;
    const std::size_t blocks = static_cast<std::size_t>(columns_) * static_cast<std::size_t>(height_ / kPluginBlockSide + 1);
    blocks_ = BlockCache(blocks, kMrSidBlockCapacity, kMrSidEvictDivisor);
  }

  void FetchPixel(int x, int y, std::uint8_t* out) override {
    const std::uint8_t* block = Block(x / kPluginBlockSide, y / kPluginBlockSide);
    if (block == nullptr) return;
    std::memcpy(out, PluginBlockPixel(block, x, y), 3);
  }

  void ReadRow(int y, std::uint8_t* buffer) override {
    if (y < stripFirst_ || y > stripLast_) LoadStrip(y);
    if (y < stripFirst_ || y > stripLast_) return;
    const std::size_t rowBytes = static_cast<std::size_t>(width_) * 3;
    std::memcpy(buffer, strip_.data() + static_cast<std::size_t>(y - stripFirst_) * rowBytes, rowBytes);
  }

  void ReleaseCaches() override {
    blocks_.Clear();
    std::vector<std::uint8_t>().swap(strip_);
    stripFirst_ = stripLast_ = -1;
  }

 private:
  // The block at (bx, by), loaded when absent; nullptr when the library
  // fails on it (nothing is cached then, and the next fetch asks again).
  const std::uint8_t* Block(int bx, int by) {
    const std::size_t index = static_cast<std::size_t>(by) * columns_ + bx;
    if (const std::uint8_t* cached = blocks_.Find(index)) return cached;
    const int x0 = bx * kPluginBlockSide, y0 = by * kPluginBlockSide;
    const int w = std::min(kPluginBlockSide, width_ - x0), h = std::min(kPluginBlockSide, height_ - y0);
    // The library packs rows at the strip's own width; a block keeps its
    // rows 128 pixels apart, so a narrower last column is spread out.
    scratch_.assign(static_cast<std::size_t>(w) * 3 * static_cast<std::size_t>(h), 0);
    if (!handles_.Load(x0, y0, w, h, scratch_.data())) return nullptr;
    std::uint8_t* block = blocks_.Insert(index, kPluginBlockBytes);
    for (int row = 0; row < h; ++row) {
      std::memcpy(block + static_cast<std::size_t>(row) * kPluginBlockRowBytes,
                  scratch_.data() + static_cast<std::size_t>(row) * w * 3, static_cast<std::size_t>(w) * 3);
    }
    return block;
  }

  void LoadStrip(int y) {
    const int first = std::max(0, y - kStripLead);
    const int last = std::min(height_ - 1, first + kMrSidStripRows - 1);
    strip_.assign(static_cast<std::size_t>(width_) * 3 * static_cast<std::size_t>(last - first + 1), 0);
    if (handles_.Load(0, first, width_, last - first + 1, strip_.data())) {
      stripFirst_ = first;
      stripLast_ = last;
    } else {
      stripFirst_ = stripLast_ = -1;
    }
  }

  MrSidLibrary library_;
  MrSidHandles handles_;
  int columns_ = 0;
  BlockCache blocks_;
  std::vector<std::uint8_t> scratch_;
  std::vector<std::uint8_t> strip_;
  int stripFirst_ = -1;
  int stripLast_ = -1;
};

// The decoder's whole image at one level, freed when dropped.
struct MallocedImage {
  void operator()(void* block) const { std::free(block); }
};

std::unique_ptr<RasterReader> OpenMrSidFromTable(const std::filesystem::path& path, std::string&) {
  const MrSidLibrary* library = MrSidDecoder();
  return library == nullptr ? nullptr : OpenMrSidReader(*library, path);
}

bool QueryMrSidFromTable(const std::filesystem::path& path, ImageInfo& info) {
  const MrSidLibrary* library = MrSidDecoder();
  return library != nullptr && QueryMrSidInfo(*library, path, info);
}

// The smallest level, from 6 down, whose image is more than 500 pixels on
// a side; level 0 when none is.
std::optional<Bitmap> DecodeMrSidThumbnail(const std::filesystem::path& path, int) {
  const MrSidLibrary* library = MrSidDecoder();
  if (library == nullptr) return std::nullopt;
  for (int level = 6; level > 0; --level) {
    std::optional<Bitmap> image = DecodeMrSidLevel(*library, path, level);
    if (image && (image->width() > 500 || image->height() > 500)) return image;
  }
  return DecodeMrSidLevel(*library, path, 0);
}

bool MrSidLoaded() { return MrSidDecoder() != nullptr; }

constexpr std::string_view kMrSidExtensions[] = {".sid"};

}  // namespace

std::unique_ptr<RasterReader> OpenMrSidReader(const MrSidLibrary& library, const std::filesystem::path& path) {
  auto reader = std::make_unique<MrSidReader>(library, path.string());
  if (!reader->valid()) return nullptr;
  reader->Prepare();
  return reader;
}

bool QueryMrSidInfo(const MrSidLibrary& library, const std::filesystem::path& path, ImageInfo& info) {
  std::int32_t width = 0, height = 0;
  library.info(path.string().c_str(), &width, &height);
  if (width <= 0 || height <= 0) return false;
  info.width = width;
  info.height = height;
  info.pixelMode = 3;
  return true;
}

std::optional<Bitmap> DecodeMrSidLevel(const MrSidLibrary& library, const std::filesystem::path& path, int level) {
  ImageInfo full;
  if (!QueryMrSidInfo(library, path, full)) return std::nullopt;
  std::unique_ptr<void, MallocedImage> block(library.loadImage(path.string().c_str(), level));
  if (!block) return std::nullopt;
  std::int32_t size[2];
  std::memcpy(size, block.get(), sizeof size);
  // The block's length is not told: a size beyond the full image's cannot
  // be the image the library was asked for, and is not trusted.
  if (size[0] <= 0 || size[1] <= 0 || size[0] > full.width || size[1] > full.height) return std::nullopt;
  Bitmap image(size[0], size[1], 24);
  const auto* rows = static_cast<const std::uint8_t*>(block.get()) + sizeof size;
  for (int y = 0; y < image.height(); ++y) std::memcpy(image.row(y), rows + y * image.stride(), image.stride());
  return image;
}

extern const RasterFormat kMrSidFormat{.extensions = kMrSidExtensions,
                                       .mapImage = true,
                                       .openStreamed = OpenMrSidFromTable,
                                       .cacheRelease = true,
                                       .queryHeader = QueryMrSidFromTable,
                                       .thumbnail = ThumbnailRoute::ReducedImage,
                                       .decodeReduced = DecodeMrSidThumbnail,
                                       .loaded = MrSidLoaded};

}  // namespace quiltor
