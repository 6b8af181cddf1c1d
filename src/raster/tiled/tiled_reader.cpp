#include "raster/tiled/tiled_reader.h"

#include <algorithm>
#include <cstring>

#include "common/error.h"
#include "raster/tiled/tiled_format.h"

namespace quiltor {

namespace {

constexpr const char* kNotRecognised = "This qtxx3 format version is not recognised.";
// A deflated 4096-byte tile never needs more than this; a longer stored tile
// is damaged and is not read into memory.
constexpr std::uint32_t kMaxStoredTileBytes = 2 * tiled::kTileBytes;
// Largest full-size side the reader accepts from an info header.
constexpr int kMaxSide = 1 << 24;

std::int32_t AsI32(std::uint32_t v) { return static_cast<std::int32_t>(v); }
std::int16_t AsI16(std::uint16_t v) { return static_cast<std::int16_t>(v); }

}  // namespace

TiledReader::Opening TiledReader::Open(const std::filesystem::path& path, bool cached) {
  Opening opening;
  std::unique_ptr<TiledReader> reader(new TiledReader(ByteFile(path, "rb")));
  opening.status = reader->ReadHeaders(opening.message);
  if (opening.status != TiledOpenStatus::Opened) return opening;
  if (cached) {
    // A tenth of the tiles go when the cache is full, lowest indices first:
    // pixel access during reprojection is scattered, and one sweep per 307
    // new tiles keeps eviction cheap.
    reader->tileCache_ = BlockCache(static_cast<std::size_t>(reader->tilesX_) * reader->tilesY_, kTileCacheCapacity, 10,
                                    Eviction::LowestIndexFirst);
  }
  opening.reader = std::move(reader);
  return opening;
}

std::uint32_t TiledReader::ReadU32(std::uint64_t offset) {
  std::uint8_t bytes[4];
  file_.ReadExact(offset, bytes, 4);
  if (scrambled_) tiled::KeyedScramble(bytes, key_, 4);
  return LoadLe32(bytes);
}

std::uint16_t TiledReader::ReadU16(std::uint64_t offset) {
  std::uint8_t bytes[2];
  file_.ReadExact(offset, bytes, 2);
  if (scrambled_) tiled::KeyedScramble(bytes, key_, 2);
  return LoadLe16(bytes);
}

TiledOpenStatus TiledReader::ReadHeaders(std::string& message) {
  std::uint8_t header[tiled::kFileHeaderBytes];
  file_.ReadExact(0, header, sizeof header);
  const std::uint16_t magic = LoadLe16(header);
  if (magic != tiled::kPlainMagic && magic != tiled::kRetiredMagic && magic != tiled::kScrambledMagic) {
    message = kNotRecognised;
    return TiledOpenStatus::Unrecognised;
  }
  if (magic == tiled::kRetiredMagic) return TiledOpenStatus::Unrecognised;
  std::uint64_t infoPosition = tiled::kFileHeaderBytes;
  if (magic == tiled::kScrambledMagic) {
    scrambled_ = true;
    std::uint8_t fillerLength = 0;
    file_.ReadExact(tiled::kFileHeaderBytes, &fillerLength, 1);
    if (fillerLength < tiled::kMinFillerLength) {
      message = kNotRecognised;
      return TiledOpenStatus::Unrecognised;
    }
    std::uint8_t filler[256];
    file_.ReadExact(tiled::kFileHeaderBytes + 1, filler, fillerLength);
    const std::uint8_t rawKey = filler[tiled::kKeyFillerIndex];
    tiled::KeyedScramble(header, rawKey, sizeof header);
    if (LoadLe16(header + 8) > 1) {
      message = kNotRecognised;
      return TiledOpenStatus::Unrecognised;
    }
    const std::uint64_t markerPosition = tiled::kFileHeaderBytes + 1 + fillerLength;
    std::uint8_t markerBytes[4];
    file_.ReadExact(markerPosition, markerBytes, 4);
    tiled::KeyedScramble(markerBytes, rawKey, 4);
    const tiled::SchemeMarker* marker = tiled::FindSchemeMarker(markerBytes);
    if (marker == nullptr) return TiledOpenStatus::UnknownScheme;
    if (marker->schemeVersion > tiled::kHighestReadableScheme) return TiledOpenStatus::NewerScheme;
    key_ = static_cast<std::uint8_t>(rawKey + marker->keyAdjustment);
    schemeVersion_ = marker->schemeVersion;
    wholeTileScramble_ = marker->wholeTileScramble;
    infoPosition = markerPosition + 4;
  }
  headerVersion_ = LoadLe16(header + 8);

  std::uint8_t info[tiled::kInfoHeaderBytes];
  file_.ReadExact(infoPosition, info, sizeof info);
  if (scrambled_) tiled::KeyedScramble(info, key_, sizeof info);
  width_ = AsI32(LoadLe32(info + 4));
  height_ = AsI32(LoadLe32(info + 8));
  if (width_ <= 0 || height_ <= 0 || width_ > kMaxSide || height_ > kMaxSide) {
    throw QuiltorError("tiled image header holds an impossible size");
  }
  std::uint8_t countBytes[2];
  file_.ReadExact(infoPosition + 44, countBytes, 2);
  zoomCount_ = AsI16(LoadLe16(countBytes));
  if (zoomCount_ >= 0) {
    std::vector<std::uint8_t> raw(4 * static_cast<std::size_t>(zoomCount_ + 1));
    const std::size_t got = file_.ReadAt(infoPosition + 46, raw.data(), raw.size());
    for (std::size_t i = 0; i + 4 <= got; i += 4) {
      const std::uint32_t bits = LoadLe32(raw.data() + i);
      float value;
      std::memcpy(&value, &bits, 4);
      zoomPercent_.push_back(value);
    }
  }
  if (file_.size() < 8) throw QuiltorError("tiled image has no level table");
  const std::uint32_t tablePosition = ReadU32(file_.size() - 4);
  levelCount_ = tablePosition < file_.size() - 4 ? static_cast<int>((file_.size() - 4 - tablePosition) / 4) : 0;

  LoadZoomLevel(0);
  if (levelWidth_ != width_ || levelHeight_ != height_) {
    throw QuiltorError("tiled image full-size level does not match its header");
  }
  pixelMode_ = 1;
  palette_ = levelPalette_;
  return TiledOpenStatus::Opened;
}

void TiledReader::LoadZoomLevel(int level) {
  const std::uint64_t size = file_.size();
  std::uint64_t headerPosition = 0;
  if (level == kLastLevel) {
    headerPosition = ReadU32(size - 8);
  } else {
    if (level < 0 || level >= tiled::kMaxReaderLevels || level >= levelCount_) {
      throw QuiltorError("tiled image has no zoom level " + std::to_string(level));
    }
    headerPosition = ReadU32(static_cast<std::uint64_t>(ReadU32(size - 4)) + 4 * static_cast<std::uint64_t>(level));
  }
  const int width = AsI32(ReadU32(headerPosition));
  const int height = AsI32(ReadU32(headerPosition + 4));
  const int across = AsI16(ReadU16(headerPosition + 8));
  const int down = AsI16(ReadU16(headerPosition + 10));
  if (width <= 0 || height <= 0 || across != tiled::TilesAcross(width) || down != tiled::TilesDown(height)) {
    throw QuiltorError("tiled image zoom level header is damaged");
  }
  const std::uint64_t offsetCount = static_cast<std::uint64_t>(across) * static_cast<std::uint64_t>(down) + 1;
  const std::uint64_t offsetsPosition = headerPosition + tiled::kLevelHeaderFixedBytes;
  if (offsetsPosition + 4 * offsetCount > size) throw QuiltorError("tiled image tile table runs past the end of the file");

  std::uint8_t paletteBytes[1024];
  file_.ReadExact(headerPosition + 12, paletteBytes, sizeof paletteBytes);
  if (scrambled_) tiled::KeyedScramble(paletteBytes, key_, sizeof paletteBytes);
  std::vector<std::uint8_t> offsetBytes(4 * offsetCount);
  file_.ReadExact(offsetsPosition, offsetBytes.data(), offsetBytes.size());
  if (scrambled_) tiled::OffsetTableScramble(offsetBytes.data(), key_, offsetBytes.size());

  for (int i = 0; i < 256; ++i) {
    levelPalette_[i] = Rgbquad{paletteBytes[4 * i], paletteBytes[4 * i + 1], paletteBytes[4 * i + 2], paletteBytes[4 * i + 3]};
  }
  tileOffsets_.resize(offsetCount);
  for (std::uint64_t i = 0; i < offsetCount; ++i) tileOffsets_[i] = LoadLe32(offsetBytes.data() + 4 * i);
  levelWidth_ = width;
  levelHeight_ = height;
  tilesX_ = across;
  tilesY_ = down;
  // Cached tiles belong to the level they came from.
  tileCache_.Clear();
  scratchIndex_ = -1;
}

bool TiledReader::DecodeTile(int index, std::uint8_t* buffer) {
  if (index < 0 || index >= tilesX_ * tilesY_) return false;
  const std::uint32_t start = tileOffsets_[index];
  const std::uint32_t end = tileOffsets_[index + 1];
  if (end < start || end > file_.size()) return false;
  const std::uint32_t length = end - start;
  if (headerVersion_ == 0) {
    if (length != tiled::kTileBytes) return false;
    Tile raw;
    if (file_.ReadAt(start, raw.data(), raw.size()) != raw.size()) return false;
    std::memcpy(buffer, raw.data(), raw.size());
    return true;
  }
  if (length == 0 || length > kMaxStoredTileBytes) return false;
  stored_.resize(length);
  if (file_.ReadAt(start, stored_.data(), length) != length) return false;
  if (scrambled_) {
    const std::size_t head = wholeTileScramble_ ? length : std::min<std::uint32_t>(length, tiled::kScrambledTileHeadBytes);
    tiled::KeyedScramble(stored_.data(), key_, head);
  }
  Tile inflated;
  if (!inflater_.Inflate(stored_.data(), length, inflated.data(), inflated.size())) return false;
  std::memcpy(buffer, inflated.data(), inflated.size());
  return true;
}

const std::uint8_t* TiledReader::CachedTile(int index) {
  if (index < 0 || index >= tilesX_ * tilesY_) return nullptr;
  if (static_cast<std::size_t>(index) >= tileCache_.blockCount()) {
    // Uncached reader, or a level with more tiles than the full-size level
    // the cache was laid out for: one tile of scratch serves neighbouring
    // reads.
    if (scratchIndex_ != index) {
      scratch_.fill(0);
      DecodeTile(index, scratch_.data());
      scratchIndex_ = index;
    }
    return scratch_.data();
  }
  if (const std::uint8_t* cached = tileCache_.Find(static_cast<std::size_t>(index))) return cached;
  std::uint8_t* tile = tileCache_.Insert(static_cast<std::size_t>(index), tiled::kTileBytes);
  DecodeTile(index, tile);
  return tile;
}

void TiledReader::ReadRow(int y, std::uint8_t* buffer) {
  const int tileRow = y / tiled::kTileSide;
  const int rowInTile = y % tiled::kTileSide;
  for (int tx = 0; tx < tilesX_; ++tx) {
    const int first = tx * tiled::kTileSide;
    const int last = std::min(first + tiled::kTileSide - 1, levelWidth_ - 1);
    if (last < first) break;
    const std::uint8_t* tile = CachedTile(tileRow * tilesX_ + tx);
    if (tile == nullptr) continue;
    std::memcpy(buffer + first, tile + tiled::TileByteIndex(rowInTile, 0), static_cast<std::size_t>(last - first + 1));
  }
}

void TiledReader::FetchPixel(int x, int y, std::uint8_t* out) {
  const std::uint8_t* tile = CachedTile(x / tiled::kTileSide + (y / tiled::kTileSide) * tilesX_);
  if (tile == nullptr) return;
  const Rgbquad& colour = levelPalette_[tile[tiled::TileByteIndex(y % tiled::kTileSide, x % tiled::kTileSide)]];
  out[0] = colour.blue;
  out[1] = colour.green;
  out[2] = colour.red;
}

void TiledReader::ChooseThumbnailLevel() {
  if (zoomCount_ <= 1) {
    LoadZoomLevel(kLastLevel);
    return;
  }
  for (int n = zoomCount_ - 1; n >= 1; --n) {
    LoadZoomLevel(n);
    if (levelWidth_ >= 500 || levelHeight_ >= 500) {
      if (levelWidth_ > 3000 || levelHeight_ > 3000) LoadZoomLevel(kLastLevel);
      return;
    }
  }
  LoadZoomLevel(kLastLevel);
}

bool QueryTiledInfo(const std::filesystem::path& path, ImageInfo& info) {
  info = ImageInfo{};
  TiledReader::Opening opening = TiledReader::Open(path, false);
  if (opening.status == TiledOpenStatus::NewerScheme || opening.status == TiledOpenStatus::UnknownScheme) {
    info.schemeVersion = tiled::kNewerSchemeVersion;
    return false;
  }
  if (!opening.reader) return false;
  info.width = opening.reader->width();
  info.height = opening.reader->height();
  info.schemeVersion = opening.reader->schemeVersion();
  return true;
}

std::optional<Bitmap> DecodeTiledImage(const std::filesystem::path& path, int level) {
  TiledReader::Opening opening = TiledReader::Open(path, false);
  if (!opening.reader) return std::nullopt;
  TiledReader& reader = *opening.reader;
  if (level == kThumbnailLevel) {
    reader.ChooseThumbnailLevel();
  } else if (level != 0) {
    reader.LoadZoomLevel(level);
  }
  std::optional<Bitmap> image;
  try {
    image.emplace(reader.levelWidth(), reader.levelHeight(), 8);
  } catch (const QuiltorError&) {
    return std::nullopt;  // too large to hold in memory
  }
  image->palette() = reader.levelPalette();
  TiledReader::Tile tile;
  for (int ty = 0; ty < reader.tilesY(); ++ty) {
    for (int tx = 0; tx < reader.tilesX(); ++tx) {
      tile.fill(0);
      reader.DecodeTile(tx + ty * reader.tilesX(), tile.data());
      const int first = tx * tiled::kTileSide;
      const int last = std::min(first + tiled::kTileSide - 1, reader.levelWidth() - 1);
      if (last < first) continue;
      for (int j = 0; j < tiled::kTileSide; ++j) {
        const int y = ty * tiled::kTileSide + j;
        if (y >= reader.levelHeight()) break;
        std::memcpy(image->row(y) + first, tile.data() + tiled::TileByteIndex(j, 0), static_cast<std::size_t>(last - first + 1));
      }
    }
  }
  return image;
}

std::string DescribeTiledRefusal(const std::filesystem::path& path) {
  try {
    TiledReader::Opening opening = TiledReader::Open(path, false);
    switch (opening.status) {
      case TiledOpenStatus::Opened: return "the tiled image opens now; it could not be opened before";
      case TiledOpenStatus::UnknownScheme:
        return "Protected Map Image (scheme version 99): scrambled with a scheme this program does not know";
      case TiledOpenStatus::NewerScheme:
        return "Protected Map Image (scheme version 99): scrambled with a scheme newer than this program reads";
      case TiledOpenStatus::Unrecognised:
        return opening.message.empty() ? "not a tiled image this program reads" : opening.message;
    }
  } catch (const std::exception& e) {
    return std::string("damaged tiled image: ") + e.what();
  }
  return "not a tiled image this program reads";
}

namespace {

std::unique_ptr<RasterReader> OpenCachedTiled(const std::filesystem::path& path, std::string& refusal) {
  TiledReader::Opening opening = TiledReader::Open(path, true);
  refusal = opening.message;
  return std::move(opening.reader);
}

std::optional<Bitmap> DecodeFullSize(const std::filesystem::path& path) { return DecodeTiledImage(path, 0); }
std::optional<Bitmap> DecodeThumbnailLevel(const std::filesystem::path& path) {
  return DecodeTiledImage(path, kThumbnailLevel);
}

constexpr std::string_view kWholeTiledExtensions[] = {".qtx"};
constexpr std::string_view kTiledExtensions[] = {".qtx2"};
constexpr std::string_view kProtectedTiledExtensions[] = {".qtxx3"};

// Plain and scrambled tiled files read tile by tile through the tile cache.
constexpr RasterFormat StreamedTiledFormat(std::span<const std::string_view> extensions, bool refusesNewerScheme) {
  return {.extensions = extensions,
          .mapImage = true,
          .openStreamed = OpenCachedTiled,
          .queryHeader = QueryTiledInfo,
          .thumbnail = ThumbnailRoute::StretchSmallImage,
          .decodeSmall = DecodeThumbnailLevel,
          .zoomLevels = true,
          .refusesNewerScheme = refusesNewerScheme,
          .describeRefusal = DescribeTiledRefusal};
}

}  // namespace

// The older extension: the tiled file decoded whole at full size.
extern const RasterFormat kWholeTiledFormat{.extensions = kWholeTiledExtensions,
                                            .mapImage = true,
                                            .decodeWhole = DecodeFullSize,
                                            .queryHeader = QueryTiledInfo,
                                            .zoomLevels = true,
                                            .describeRefusal = DescribeTiledRefusal};

// Only the scrambled extension is checked for a scheme this program cannot
// read before a map names it.
extern const RasterFormat kTiledFormat = StreamedTiledFormat(kTiledExtensions, false);
extern const RasterFormat kProtectedTiledFormat = StreamedTiledFormat(kProtectedTiledExtensions, true);

}  // namespace quiltor
