#pragma once
// Writes the tiled multi-zoom chart image: the file header, one zoom level
// after the other (64 x 64 tiles of palette indices, each deflated on its
// own, followed by the level's header with palette and tile offsets), and the
// trailer that lists where each level header starts. Plain by default; the
// scrambled variant uses this program's own tables. One writer per file.
#include <atomic>
#include <cstdint>
#include <functional>
#include <random>
#include <vector>

#include "common/worker_host.h"
#include "raster/bitmap.h"
#include "raster/byte_file.h"
#include "raster/zlib_stream.h"

namespace quiltor {

// An 8-bit zoom level image read row by row (row 0 = top).
struct ZoomLevelImage {
  int width = 0;
  int height = 0;
  Palette palette{};
  std::function<void(int row, std::uint8_t* buffer)> readRow;  // width bytes
};

// Palette entry nearest to white (sum of absolute differences), lowest index
// among equals: the colour of the tile area beyond the image.
int BackgroundIndex(const Palette& palette);

class TiledImageWriter {
 public:
  // `file` is open for writing and positioned at its start. The abort flag is
  // checked between tiles and tile rows; progress texts go to `host`. Tiles
  // are deflated on `threads` threads (0: one per core); the file is the
  // same for any number.
  TiledImageWriter(ByteFile& file, bool scrambled, const std::atomic<bool>& abort, WorkerHost& host, int threads = 1);

  // File header, info header and the zoom table (every used percentage, in
  // level order; the file's zoom count is their number minus 2).
  void WriteHeader(int width, int height, const std::vector<float>& zoomPercentages);
  // Writes one level; false when the abort flag stopped it part way.
  bool WriteZoomLevel(const ZoomLevelImage& image);
  void WriteTrailer();

  std::uint32_t position() const { return position_; }
  int levelsWritten() const { return static_cast<int>(levelHeaderPositions_.size()); }

 private:
  void Put(const void* bytes, std::size_t count);
  void PutScrambledItem(std::uint8_t* bytes, std::size_t count);
  void PutU32Item(std::uint32_t value);
  void PutTile(std::uint8_t* packed, std::size_t length);
  void WriteLevelHeader(const ZoomLevelImage& image, int tilesX, int tilesY, const std::vector<std::uint32_t>& offsets);

  ByteFile& file_;
  bool scrambled_;
  const std::atomic<bool>& abort_;
  WorkerHost& host_;
  std::mt19937 random_;
  std::uint8_t key_ = 0;
  std::uint32_t position_ = 0;
  std::vector<std::uint32_t> levelHeaderPositions_;
  BlockDeflater deflater_;  // the tiles of one tile row
};

}  // namespace quiltor
