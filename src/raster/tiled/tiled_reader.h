#pragma once
// Reader of the tiled multi-zoom chart image: opening (plain and scrambled),
// zoom-level selection, tile decoding with a bounded tile cache for pixel and
// row access, and the whole-image decode used for ".qtx" and thumbnails.
#include <array>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "raster/bitmap.h"
#include "raster/block_cache.h"
#include "raster/byte_file.h"
#include "raster/zlib_stream.h"
#include "raster/raster_format.h"
#include "raster/raster_reader.h"

namespace quiltor {

enum class TiledOpenStatus {
  Opened,
  Unrecognised,   // not this format (Message() tells whether the user is told)
  UnknownScheme,  // scrambled with a marker this program does not know
  NewerScheme,    // a scheme newer than this reader
};

inline constexpr int kLastLevel = -1;       // the last level of the file (the overview)
inline constexpr int kThumbnailLevel = -2;  // a small level chosen for thumbnails
inline constexpr int kTileCacheCapacity = 3072;

class TiledReader : public RasterReader {
 public:
  struct Opening {
    std::unique_ptr<TiledReader> reader;
    TiledOpenStatus status = TiledOpenStatus::Unrecognised;
    std::string message;  // the user-facing text of a refusal, empty when silent
  };
  // Reads the headers and loads level 0. Read errors of a damaged header
  // throw QuiltorError. With `cached` the tile cache serves rows and pixels.
  static Opening Open(const std::filesystem::path& path, bool cached);

  // Loads the level header of `level` (an index, or kLastLevel); throws
  // QuiltorError when the file has no such level or it is damaged.
  void LoadZoomLevel(int level);
  // Unpacks tile `index` of the loaded level into `buffer` (4096 bytes). A
  // tile that cannot be read or inflated leaves `buffer` as it was: false.
  bool DecodeTile(int index, std::uint8_t* buffer);
  // Number of entries in the level-header table of the file.
  int LevelCount() const { return levelCount_; }

  // Row y of the loaded level (level 0 unless LoadZoomLevel chose another):
  // levelWidth() bytes of palette indices.
  void ReadRow(int y, std::uint8_t* buffer) override;
  void FetchPixel(int x, int y, std::uint8_t* out) override;
  void ReleaseCaches() override {}  // the cache is bounded on its own

  int schemeVersion() const { return schemeVersion_; }
  int headerVersion() const { return headerVersion_; }
  int zoomCount() const { return zoomCount_; }
  bool scrambled() const { return scrambled_; }
  int levelWidth() const { return levelWidth_; }
  int levelHeight() const { return levelHeight_; }
  int tilesX() const { return tilesX_; }
  int tilesY() const { return tilesY_; }
  const std::array<Rgbquad, 256>& levelPalette() const { return levelPalette_; }
  int cachedTiles() const { return static_cast<int>(tileCache_.cachedCount()); }
  bool tileCached(int index) const {
    return index >= 0 && static_cast<std::size_t>(index) < tileCache_.blockCount() && tileCache_.Find(index) != nullptr;
  }

 private:
  explicit TiledReader(ByteFile file) : file_(std::move(file)) {}
  TiledOpenStatus ReadHeaders(std::string& message);
  std::uint32_t ReadU32(std::uint64_t offset);
  std::uint16_t ReadU16(std::uint64_t offset);
  const std::uint8_t* CachedTile(int index);
  void ChooseThumbnailLevel();
  friend std::optional<Bitmap> DecodeTiledImage(const std::filesystem::path& path, int level);

  using Tile = std::array<std::uint8_t, 4096>;
  ByteFile file_;
  bool scrambled_ = false;
  bool wholeTileScramble_ = false;
  std::uint8_t key_ = 0;
  int schemeVersion_ = -1;
  int headerVersion_ = 1;
  int zoomCount_ = 0;
  std::vector<float> zoomPercent_;
  int levelCount_ = 0;
  int levelWidth_ = 0;
  int levelHeight_ = 0;
  int tilesX_ = 0;
  int tilesY_ = 0;
  std::array<Rgbquad, 256> levelPalette_{};
  std::vector<std::uint32_t> tileOffsets_;
  std::vector<std::uint8_t> stored_;  // one tile as stored in the file
  ZlibInflater inflater_;
  // Level-0 tiles in cached mode; empty otherwise.
  BlockCache tileCache_;
  Tile scratch_{};
  int scratchIndex_ = -1;
};

// Header-only query: size and scheme (-1 plain, 0..2 scrambled, 99 newer or
// unknown scheme, which the caller must refuse). False when the file is not
// a readable tiled image; read errors throw QuiltorError.
bool QueryTiledInfo(const std::filesystem::path& path, ImageInfo& info);

// Why the reader refuses `path`, in words for the user: a protected image of
// an unknown or newer scheme, a file of another format version, or damage.
std::string DescribeTiledRefusal(const std::filesystem::path& path);

// Whole image of level 0, of another level index, of kLastLevel or of
// kThumbnailLevel as an 8-bit bitmap with the level's palette; nullopt when
// the file is refused or the level cannot be held in memory.
std::optional<Bitmap> DecodeTiledImage(const std::filesystem::path& path, int level);

}  // namespace quiltor
