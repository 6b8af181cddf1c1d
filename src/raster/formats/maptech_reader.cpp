// Maptech charts through the outside chart library: the chart is a grid of
// 640 x 480 tiles of 4-bit pixels, which this reader assembles into one
// image widened to 8 bits with the chart's 16 colours. ".rml" charts come
// whole from the library; ".hdr" charts keep each tile in its own file.
#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstring>
#include <fstream>

#include "raster/formats/plugin_readers.h"

namespace quiltor {
namespace {

constexpr int kTileWidth = 640;
constexpr int kTileHeight = 480;
constexpr std::size_t kTileRowBytes = kTileWidth / 2;
// Bitmap information header and 16 colours ahead of the rows of a ".rml" tile.
constexpr std::size_t kRmlTileHeader = 104;
// The first tile file of a ".hdr" chart starts with a PCX header whose 16
// colour triplets (red, green, blue) sit at this offset.
constexpr std::size_t kPcxPaletteOffset = 16;
constexpr std::size_t kPcxHeaderBytes = 66;

struct FreeBlock {
  void operator()(void* block) const { std::free(block); }
};
using TileBlock = std::unique_ptr<void, FreeBlock>;

bool IsHdr(const std::filesystem::path& path) { return RasterKind(path) == ".hdr"; }

// The chart's tile columns and rows; false when either is not positive.
bool TileCounts(const MaptechLibrary& library, const std::filesystem::path& path, int& columns, int& rows) {
  const std::string file = IsHdr(path) ? std::filesystem::absolute(path).string() : path.string();
  columns = IsHdr(path) ? library.hdrColumns(file.c_str()) : library.rmlColumns(file.c_str());
  rows = IsHdr(path) ? library.hdrRows(file.c_str()) : library.rmlRows(file.c_str());
  return columns > 0 && rows > 0;
}

// The library gives red, green, blue, 0: exchanged into blue, green, red.
Palette RmlPalette(const MaptechLibrary& library, const std::filesystem::path& path) {
  std::array<std::uint8_t, 16 * 4> entries{};
  library.rmlPalette(path.string().c_str(), entries.data());
  Palette palette{};
  for (std::size_t i = 0; i < 16; ++i) {
    palette[i] = Rgbquad{entries[i * 4 + 2], entries[i * 4 + 1], entries[i * 4], 0};
  }
  return palette;
}

std::optional<Palette> PcxPalette(const std::filesystem::path& firstTile) {
  std::array<char, kPcxHeaderBytes> header{};
  std::ifstream file(firstTile, std::ios::binary);
  if (!file.read(header.data(), header.size())) return std::nullopt;
  Palette palette{};
  for (std::size_t i = 0; i < 16; ++i) {
    const std::size_t at = kPcxPaletteOffset + i * 3;
    palette[i] = Rgbquad{static_cast<std::uint8_t>(header[at + 2]), static_cast<std::uint8_t>(header[at + 1]),
                         static_cast<std::uint8_t>(header[at]), 0};
  }
  return palette;
}

// Copies one tile's rows (bottom row first, two pixels a byte) into the
// image at tile (column, row), top row first.
void PlaceTile(const std::uint8_t* rows, int column, int row, Bitmap& image) {
  for (int line = 0; line < kTileHeight; ++line) {
    const std::uint8_t* packed = rows + static_cast<std::size_t>(kTileHeight - 1 - line) * kTileRowBytes;
    ExpandPackedRow(packed, 4, kTileWidth, image.row(row * kTileHeight + line) + column * kTileWidth);
  }
}

std::optional<Bitmap> DecodeMaptechFromTable(const std::filesystem::path& path) {
  const MaptechLibrary* library = MaptechDecoder();
  if (library == nullptr) return std::nullopt;
  return DecodeMaptech(*library, path);
}

bool QueryMaptechFromTable(const std::filesystem::path& path, ImageInfo& info) {
  const MaptechLibrary* library = MaptechDecoder();
  return library != nullptr && QueryMaptechInfo(*library, path, info);
}

bool MaptechLoaded() { return MaptechDecoder() != nullptr; }

constexpr std::string_view kMaptechExtensions[] = {".hdr", ".rml"};

}  // namespace

std::filesystem::path HdrTileFolder(const std::filesystem::path& hdrPath) {
  const std::filesystem::path folder = hdrPath.parent_path();
  const std::string chart = hdrPath.stem().string();
  std::error_code ec;
  if (std::filesystem::exists(folder / (chart + ".A01"), ec)) return folder;
  // The headers folder ("HEADERS/") sits beside one folder per chart.
  std::string cut = folder.string();
  if (cut.empty() || cut.back() != '/') cut += '/';
  cut = cut.size() < 9 ? std::string() : cut.substr(0, cut.size() - 8);
  return std::filesystem::path(cut + chart);
}

std::string MaptechTileName(const std::string& chartName, int column, int row) {
  const int number = row + 1;
  std::string name = chartName + "." + static_cast<char>('A' + column);
  if (number < 10) name += '0';
  return name + std::to_string(number);
}

bool QueryMaptechInfo(const MaptechLibrary& library, const std::filesystem::path& path, ImageInfo& info) {
  int columns = 0, rows = 0;
  if (!TileCounts(library, path, columns, rows)) return false;
  info.width = columns * kTileWidth;
  info.height = rows * kTileHeight;
  info.pixelMode = 1;
  return true;
}

std::optional<Bitmap> DecodeMaptech(const MaptechLibrary& library, const std::filesystem::path& path) {
  int columns = 0, rows = 0;
  // Tile files are named by one letter per column.
  if (!TileCounts(library, path, columns, rows) || (IsHdr(path) && columns > 26)) return std::nullopt;
  const bool hdr = IsHdr(path);
  const std::filesystem::path absolute = std::filesystem::absolute(path);
  const std::filesystem::path tiles = hdr ? HdrTileFolder(absolute) : std::filesystem::path();
  const std::string chart = path.stem().string();
  std::optional<Palette> palette =
      hdr ? PcxPalette(tiles / MaptechTileName(chart, 0, 0)) : RmlPalette(library, path);
  if (!palette) return std::nullopt;
  Bitmap image(columns * kTileWidth, rows * kTileHeight, 8);
  for (int row = 0; row < rows; ++row) {
    for (int column = 0; column < columns; ++column) {
      TileBlock block(hdr ? library.pcxTile((tiles / MaptechTileName(chart, column, row)).string().c_str())
                          : library.rmlTile(path.string().c_str(), column + 1, row + 1));
      if (!block) return std::nullopt;
      const auto* bytes = static_cast<const std::uint8_t*>(block.get());
      PlaceTile(hdr ? bytes : bytes + kRmlTileHeader, column, row, image);
    }
  }
  image.palette() = *palette;
  return image;
}

extern const RasterFormat kMaptechFormat{.extensions = kMaptechExtensions,
                                         .mapImage = true,
                                         .decodeWhole = DecodeMaptechFromTable,
                                         .queryHeader = QueryMaptechFromTable,
                                         .loaded = MaptechLoaded};

}  // namespace quiltor
