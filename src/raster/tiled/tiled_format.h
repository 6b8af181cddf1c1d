#pragma once
// Layout of the tiled multi-zoom chart image (".qtx2" plain, ".qtxx3"
// scrambled, ".qtx" read whole). The reader and the writer of the program
// both take every constant from here.
//
// The scramble tables and the nine scheme markers below are this program's
// own values. Files scrambled with them round-trip through this program, but
// the host navigation application uses tables of its own, so files meant for
// it are written in the plain variant.
#include <array>
#include <cstddef>
#include <cstdint>

namespace quiltor::tiled {

inline constexpr std::uint16_t kPlainMagic = 0x7778;
inline constexpr std::uint16_t kRetiredMagic = 0x7779;  // refused without a message
inline constexpr std::uint16_t kScrambledMagic = 0x7780;

inline constexpr int kTileSide = 64;
inline constexpr int kTileBytes = kTileSide * kTileSide;
inline constexpr int kFileHeaderBytes = 14;
inline constexpr int kInfoHeaderBytes = 40;
inline constexpr std::uint16_t kWrittenHeaderVersion = 1;  // 0: raw tiles, 1: zlib tiles
inline constexpr std::uint32_t kWrittenDataOffset = 1078;
inline constexpr std::uint8_t kLevelMarkerByte = 0x77;  // four of them open every level
inline constexpr int kLevelHeaderFixedBytes = 4 + 4 + 2 + 2 + 1024;  // before the tile offsets

// Scrambled variant: filler length byte at 14, filler, then the marker.
inline constexpr int kMinFillerLength = 150;
inline constexpr int kMaxFillerLength = 254;
inline constexpr int kKeyFillerIndex = 147;
inline constexpr int kScrambledTileHeadBytes = 16;

// The reader reads at most this many entries of the level-header table.
inline constexpr int kMaxReaderLevels = 20;

// 26-byte table of KeyedScramble; the tile-offset table is descrambled in one
// pass with its first four bytes.
inline constexpr std::array<std::uint8_t, 26> kScrambleTable = {
    0x3b, 0xa7, 0x11, 0xe4, 0x5c, 0x90, 0x2f, 0xd8, 0x66, 0x0b, 0xc3, 0x79, 0x4e,
    0xb2, 0x15, 0x8a, 0xf1, 0x37, 0x6d, 0xa0, 0x24, 0xdb, 0x58, 0x9e, 0x03, 0xc6};
inline constexpr std::array<std::uint8_t, 4> kOffsetScrambleTable = {kScrambleTable[0], kScrambleTable[1],
                                                                   kScrambleTable[2], kScrambleTable[3]};

struct SchemeMarker {
  std::array<std::uint8_t, 4> bytes;
  std::uint8_t keyAdjustment;
  int schemeVersion;       // 99: a scheme newer than this reader
  bool wholeTileScramble;  // every stored tile byte is scrambled, not only the first 16
};

inline constexpr int kNewerSchemeVersion = 99;
inline constexpr int kHighestReadableScheme = 2;

inline constexpr std::array<SchemeMarker, 9> kSchemeMarkers = {{
    {{0x51, 0x54, 0x30, 0x41}, 0x00, kNewerSchemeVersion, false},
    {{0x51, 0x30, 0x9a, 0x12}, 0x1d, 0, false},
    {{0x51, 0x30, 0x4c, 0xe7}, 0x42, 0, false},
    {{0x51, 0x31, 0x7f, 0x08}, 0x5b, 1, false},
    {{0x51, 0x31, 0xb6, 0x93}, 0x87, 1, true},
    {{0x51, 0x32, 0x2e, 0xc5}, 0xa9, 2, false},
    {{0x51, 0x33, 0xd4, 0x61}, 0xc4, 3, false},
    {{0x51, 0x33, 0x0f, 0x7a}, 0xe2, 3, false},
    {{0x51, 0x34, 0x93, 0x3c}, 0xf7, 4, false},
}};

// The marker the writer puts in every scrambled file: scheme 1, first 16
// bytes of each tile scrambled.
inline constexpr int kWriterMarkerIndex = 3;

// XOR with (key + table[i mod 26]) mod 256; its own inverse. `i` restarts at
// 0 for every item scrambled on its own.
void KeyedScramble(std::uint8_t* buffer, std::uint8_t key, std::size_t count);
// The same with the 4-byte table: a whole run of u32 tile offsets at once.
void OffsetTableScramble(std::uint8_t* buffer, std::uint8_t key, std::size_t count);

// The known marker equal to `bytes` (already descrambled), or nullptr.
const SchemeMarker* FindSchemeMarker(const std::uint8_t* bytes);

// Tile grid of a level: one more column and row than width div 64, also at
// an exact multiple of 64.
inline int TilesAcross(int levelWidth) { return levelWidth / kTileSide + 1; }
inline int TilesDown(int levelHeight) { return levelHeight / kTileSide + 1; }

// Byte of a decoded tile that holds the pixel in tile row r (0 = top) and
// column c: tiles are stored bottom row first.
inline int TileByteIndex(int row, int column) { return (kTileSide - 1 - row) * kTileSide + column; }

}  // namespace quiltor::tiled
