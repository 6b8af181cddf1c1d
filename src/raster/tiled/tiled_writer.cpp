#include "raster/tiled/tiled_writer.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <string>

#include "common/error.h"
#include "raster/tiled/tiled_format.h"

namespace quiltor {
namespace {

// Tiles deflate with zlib at its best level: a tile is 4096 bytes on its
// own, and on such blocks of map imagery libdeflate's quick levels (up to 9)
// come out up to 2 % larger than zlib's best, while its near-optimal levels
// (10 to 12), smaller by 2.5 to 5 %, take two to three times as long as zlib;
// measured on whole creates of the benchmark's sheets. The tiled file is never
// larger than the format's zlib streams at their best level, in the least
// time that allows. Each tile is deflated on its own, so the tiles of a row
// are shared among the workers.
constexpr int kTileDeflateLevel = 9;

// The fillers are random to the reader, but the same image always gets the
// same ones: a create run twice, or on any number of threads, writes the
// same file.
std::uint32_t FillerSeed(int width, int height, std::size_t zoomCount) {
  return static_cast<std::uint32_t>(width) * 2654435761u ^ static_cast<std::uint32_t>(height) * 40503u ^
         static_cast<std::uint32_t>(zoomCount);
}

}  // namespace

int BackgroundIndex(const Palette& palette) {
  int best = 0;
  int bestDistance = std::numeric_limits<int>::max();
  for (int i = 0; i < 256; ++i) {
    const Rgbquad& e = palette[static_cast<std::size_t>(i)];
    const int d = std::abs(e.red - 255) + std::abs(e.green - 255) + std::abs(e.blue - 255);
    if (d < bestDistance) {
      best = i;
      bestDistance = d;
    }
  }
  return best;
}

TiledImageWriter::TiledImageWriter(ByteFile& file, bool scrambled, const std::atomic<bool>& abort, WorkerHost& host,
                                   int threads)
    : file_(file),
      scrambled_(scrambled),
      abort_(abort),
      host_(host),
      deflater_(kTileDeflateLevel, threads, DeflateEngine::Zlib) {}

void TiledImageWriter::Put(const void* bytes, std::size_t count) {
  // Every offset in the file is 32 bits; a level that would push past 4 GiB
  // must fail rather than wrap and leave a file with wrong tile positions.
  if (static_cast<std::uint64_t>(position_) + count > std::numeric_limits<std::uint32_t>::max()) {
    throw QuiltorError("tiled image would exceed 4 GiB");
  }
  file_.Write(bytes, count);
  position_ += static_cast<std::uint32_t>(count);
}

void TiledImageWriter::PutScrambledItem(std::uint8_t* bytes, std::size_t count) {
  if (scrambled_) tiled::KeyedScramble(bytes, key_, count);
  Put(bytes, count);
}

void TiledImageWriter::PutU32Item(std::uint32_t value) {
  std::uint8_t b[4];
  StoreLe32(b, value);
  PutScrambledItem(b, 4);
}

void TiledImageWriter::WriteHeader(int width, int height, const std::vector<float>& zoom) {
  if (width <= 0 || height <= 0) throw QuiltorError("tiled image needs a positive size");
  if (zoom.size() < 2 || zoom.size() > 101) throw QuiltorError("tiled image needs between 2 and 101 zoom levels");
  levelHeaderPositions_.clear();
  position_ = 0;
  random_.seed(FillerSeed(width, height, zoom.size()));
  const std::uint16_t filler16 = static_cast<std::uint16_t>(random_() % 32000);

  std::uint8_t header[tiled::kFileHeaderBytes] = {};
  StoreLe16(header, tiled::kPlainMagic);
  StoreLe32(header + 2, 0);
  StoreLe16(header + 6, tiled::kTileSide);
  StoreLe16(header + 8, tiled::kWrittenHeaderVersion);
  StoreLe32(header + 10, tiled::kWrittenDataOffset);

  std::uint8_t info[tiled::kInfoHeaderBytes] = {};
  StoreLe32(info, 40);
  StoreLe32(info + 4, static_cast<std::uint32_t>(width));
  StoreLe32(info + 8, static_cast<std::uint32_t>(height));
  StoreLe16(info + 12, 1);
  StoreLe16(info + 14, 8);
  StoreLe32(info + 16, 0);
  StoreLe32(info + 20, static_cast<std::uint32_t>(static_cast<std::uint64_t>(width) * static_cast<std::uint64_t>(height)));
  StoreLe32(info + 32, 256);
  StoreLe32(info + 36, 256);

  std::uint8_t filler[256];
  if (scrambled_) {
    for (auto& b : filler) b = static_cast<std::uint8_t>(random_() % 255);
    key_ = filler[tiled::kKeyFillerIndex];
    tiled::KeyedScramble(header, key_, sizeof header);
    header[0] = static_cast<std::uint8_t>(tiled::kScrambledMagic & 0xFF);
    header[1] = static_cast<std::uint8_t>(tiled::kScrambledMagic >> 8);
  }
  Put(header, sizeof header);
  if (scrambled_) {
    const std::uint8_t fillerLength = static_cast<std::uint8_t>(tiled::kMinFillerLength + random_() % 105);
    Put(&fillerLength, 1);
    Put(filler, fillerLength);
    const tiled::SchemeMarker& marker = tiled::kSchemeMarkers[tiled::kWriterMarkerIndex];
    std::array<std::uint8_t, 4> markerBytes = marker.bytes;
    tiled::KeyedScramble(markerBytes.data(), key_, markerBytes.size());
    Put(markerBytes.data(), markerBytes.size());
    key_ = static_cast<std::uint8_t>(key_ + marker.keyAdjustment);
    tiled::KeyedScramble(info, key_, sizeof info);
  }
  Put(info, sizeof info);
  std::uint8_t tail[6];
  StoreLe16(tail, filler16);
  StoreLe16(tail + 2, filler16);
  StoreLe16(tail + 4, static_cast<std::uint16_t>(static_cast<std::int16_t>(zoom.size() - 2)));
  Put(tail, sizeof tail);
  for (float z : zoom) {
    std::uint32_t bits;
    static_assert(sizeof bits == sizeof z);
    std::memcpy(&bits, &z, sizeof bits);
    std::uint8_t b[4];
    StoreLe32(b, bits);
    Put(b, 4);
  }
}

void TiledImageWriter::PutTile(std::uint8_t* packed, std::size_t length) {
  if (scrambled_) tiled::KeyedScramble(packed, key_, std::min<std::size_t>(tiled::kScrambledTileHeadBytes, length));
  Put(packed, length);
}

bool TiledImageWriter::WriteZoomLevel(const ZoomLevelImage& image) {
  const int tilesX = tiled::TilesAcross(image.width);
  const int tilesY = tiled::TilesDown(image.height);
  if (image.width <= 0 || image.height <= 0 || tilesX > 32767 || tilesY > 32767) {
    throw QuiltorError("zoom level size out of range for the tiled format");
  }
  const auto background = static_cast<std::uint8_t>(BackgroundIndex(image.palette));
  const std::uint8_t marker[4] = {tiled::kLevelMarkerByte, tiled::kLevelMarkerByte, tiled::kLevelMarkerByte,
                                  tiled::kLevelMarkerByte};
  Put(marker, 4);

  const std::size_t rowBytes = static_cast<std::size_t>(tilesX + 1) * tiled::kTileSide;
  std::vector<std::uint8_t> rows(rowBytes * tiled::kTileSide);
  // One tile row at a time: its tiles are cut, deflated side by side, then
  // written in column order.
  std::vector<std::uint8_t> tiles(static_cast<std::size_t>(tilesX) * tiled::kTileBytes);
  std::vector<std::uint32_t> offsets;
  offsets.reserve(static_cast<std::size_t>(tilesX) * static_cast<std::size_t>(tilesY) + 1);
  const int totalTiles = tilesX * tilesY;
  int tileCount = 0;
  for (int ty = 0; ty < tilesY; ++ty) {
    std::fill(rows.begin(), rows.end(), background);
    for (int k = 0; k < tiled::kTileSide; ++k) {
      const int y = ty * tiled::kTileSide + k;
      if (y < image.height) image.readRow(y, rows.data() + static_cast<std::size_t>(k) * rowBytes);
    }
    for (int tx = 0; tx < tilesX; ++tx) {
      std::uint8_t* tile = tiles.data() + static_cast<std::size_t>(tx) * tiled::kTileBytes;
      for (int k = 0; k < tiled::kTileSide; ++k) {
        std::copy_n(rows.data() + static_cast<std::size_t>(k) * rowBytes + static_cast<std::size_t>(tx) * tiled::kTileSide,
                    tiled::kTileSide, tile + tiled::TileByteIndex(k, 0));
      }
    }
    if (abort_.load()) return false;
    deflater_.Deflate(tiles.data(), tiled::kTileBytes, tilesX);
    for (int tx = 0; tx < tilesX; ++tx) {
      if (abort_.load()) return false;
      if ((tileCount + 1) % 10 == 0) {
        host_.SetStatusText("Writing " + std::to_string(tileCount + 1) + " of " + std::to_string(totalTiles));
      }
      offsets.push_back(position_);
      PutTile(deflater_.stream(tx), deflater_.length(tx));
      ++tileCount;
    }
    if (abort_.load()) return false;
  }
  offsets.push_back(position_);
  WriteLevelHeader(image, tilesX, tilesY, offsets);
  return true;
}

void TiledImageWriter::WriteLevelHeader(const ZoomLevelImage& image, int tilesX, int tilesY,
                                        const std::vector<std::uint32_t>& offsets) {
  levelHeaderPositions_.push_back(position_);
  PutU32Item(static_cast<std::uint32_t>(image.width));
  PutU32Item(static_cast<std::uint32_t>(image.height));
  std::uint8_t b[2];
  StoreLe16(b, static_cast<std::uint16_t>(tilesX));
  PutScrambledItem(b, 2);
  StoreLe16(b, static_cast<std::uint16_t>(tilesY));
  PutScrambledItem(b, 2);
  std::uint8_t palette[1024];
  for (int i = 0; i < 256; ++i) {
    const Rgbquad& e = image.palette[static_cast<std::size_t>(i)];
    palette[i * 4] = e.blue;
    palette[i * 4 + 1] = e.green;
    palette[i * 4 + 2] = e.red;
    palette[i * 4 + 3] = e.reserved;
  }
  PutScrambledItem(palette, sizeof palette);
  // The offsets go out in one write; each is scrambled on its own.
  std::vector<std::uint8_t> table(offsets.size() * 4);
  for (std::size_t i = 0; i < offsets.size(); ++i) {
    StoreLe32(table.data() + i * 4, offsets[i]);
    if (scrambled_) tiled::KeyedScramble(table.data() + i * 4, key_, 4);
  }
  Put(table.data(), table.size());
}

void TiledImageWriter::WriteTrailer() {
  const std::uint32_t tableStart = position_;
  for (std::uint32_t p : levelHeaderPositions_) PutU32Item(p);
  PutU32Item(tableStart);
}

}  // namespace quiltor
