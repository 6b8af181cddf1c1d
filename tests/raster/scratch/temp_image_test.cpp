// Temporary row images of the creation pipeline: the true-colour and the
// palette kinds read back through the dispatch, their byte layout, the
// 64-bit row table, incomplete and damaged files, and the row stream.
#include <gtest/gtest.h>
#include <zlib.h>

#include <fstream>
#include <functional>
#include <iterator>
#include <vector>

#include "common/error.h"
#include "raster/byte_file.h"
#include "raster/raster_source.h"
#include "raster/scratch/temp_image.h"
#include "support/file_bytes.h"
#include "support/temp_folder.h"

namespace quiltor {
namespace {

using Bytes = std::vector<std::uint8_t>;

using testing::ReadFileBytes;
using testing::WriteFileBytes;

Bytes TrueColourRow(int width, int y, int seed) {
  Bytes row(static_cast<std::size_t>(width) * 3);
  for (std::size_t i = 0; i < row.size(); ++i) row[i] = static_cast<std::uint8_t>(i * 5 + y * 17 + seed);
  return row;
}

Bytes IndexRow(int width, int y) {
  Bytes row(static_cast<std::size_t>(width));
  for (int x = 0; x < width; ++x) row[x] = static_cast<std::uint8_t>(x * 3 + y);
  return row;
}

Palette TestPalette() {
  Palette p{};
  for (int i = 0; i < 256; ++i) p[i] = Rgbquad{static_cast<std::uint8_t>(i), static_cast<std::uint8_t>(i ^ 0x55), 7, 0};
  return p;
}

void WriteTrueColour(const std::filesystem::path& path, int width, int height, int seed) {
  TrueColourTempWriter writer(path, width, height);
  for (int y = 0; y < height; ++y) writer.WriteRow(TrueColourRow(width, y, seed).data());
  writer.Finish();
}

void WritePalette(const std::filesystem::path& path, int width, int height) {
  PaletteTempWriter writer(path, width, height, TestPalette());
  for (int y = 0; y < height; ++y) writer.WriteRow(IndexRow(width, y).data());
  writer.Finish();
}

// The row table as stored: the last 8 x (height + 1) bytes, descrambled.
std::vector<std::uint64_t> StoredRowTable(const Bytes& file, int height, bool trueColour) {
  Bytes table(file.end() - 8 * (height + 1), file.end());
  if (trueColour) {
    KeyedScramble16(table.data(), file[6 + kTrueColourKeyIndex], table.size());
  } else {
    FixedScramble(table.data(), table.size());
  }
  std::vector<std::uint64_t> entries;
  for (std::size_t i = 0; i < table.size(); i += 8) entries.push_back(LoadLe64(table.data() + i));
  return entries;
}

TEST(TempImageTest, BothKindsReadBackThroughTheDispatch) {
  testing::TempFolder folder;
  WriteTrueColour(folder / "merged.qtxx0", 37, 5, 0);
  WritePalette(folder / "level.qtx0", 37, 5);

  auto merged = OpenRaster(folder / "merged.qtxx0");
  ASSERT_NE(merged, nullptr);
  EXPECT_EQ(merged->width(), 37);
  EXPECT_EQ(merged->height(), 5);
  EXPECT_EQ(merged->pixelMode(), 3);
  auto level = OpenRaster(folder / "level.qtx0");
  ASSERT_NE(level, nullptr);
  EXPECT_EQ(level->pixelMode(), 1);
  EXPECT_EQ(level->palette(), TestPalette());
  for (int y = 0; y < 5; ++y) {
    Bytes row(37 * 3);
    ReadRasterLine(merged.get(), y, row.data());
    EXPECT_EQ(row, TrueColourRow(37, y, 0)) << y;
    Bytes indices(37);
    ReadRasterLine(level.get(), y, indices.data());
    EXPECT_EQ(indices, IndexRow(37, y)) << y;
  }
  // Rows only: a pixel fetch writes nothing, a row past the end neither.
  std::uint8_t out[3] = {1, 2, 3};
  merged->FetchPixel(0, 0, out);
  level->FetchPixel(0, 0, out);
  EXPECT_EQ(Bytes(out, out + 3), (Bytes{1, 2, 3}));
  Bytes untouched(37 * 3, 0xEE);
  ReadRasterLine(merged.get(), 5, untouched.data());
  EXPECT_EQ(untouched, Bytes(37 * 3, 0xEE));
  // Not map images.
  EXPECT_EQ(CheckRasterExtension(folder / "merged.qtxx0"), 1);
  EXPECT_EQ(CheckRasterExtension(folder / "level.qtx0"), 1);
}

TEST(TempImageTest, ScramblePatternRepeatsFromTheStartAtAnyLength) {
  // Long rows are scrambled a block at a time, short ones byte by byte:
  // both must lay the same 8- or 16-byte pattern from the first byte on.
  Bytes fixed(8, 0);
  FixedScramble(fixed.data(), fixed.size());
  Bytes keyed(16, 0);
  KeyedScramble16(keyed.data(), 77, keyed.size());
  EXPECT_EQ(fixed[0], 0xa5);
  EXPECT_EQ(keyed[0], (77 + 0x17) & 0xFF);
  for (std::size_t length : {0u, 1u, 9u, 63u, 64u, 65u, 127u, 128u, 200u}) {
    Bytes a(length, 0), b(length, 0);
    FixedScramble(a.data(), length);
    KeyedScramble16(b.data(), 77, length);
    for (std::size_t i = 0; i < length; ++i) {
      ASSERT_EQ(a[i], fixed[i % 8]) << "length " << length << " byte " << i;
      ASSERT_EQ(b[i], keyed[i % 16]) << "length " << length << " byte " << i;
    }
  }
}

TEST(TempImageTest, StoredLayout) {
  testing::TempFolder folder;
  WriteTrueColour(folder / "one.qtxx0", 1, 1, 9);
  const Bytes one = ReadFileBytes(folder / "one.qtxx0");
  ASSERT_GT(one.size(), 270u + 16u);
  EXPECT_EQ(std::string(one.begin(), one.begin() + 6), "QTXX01");
  Bytes size(one.begin() + 262, one.begin() + 270);
  KeyedScramble16(size.data(), one[6 + 63], 4);
  KeyedScramble16(size.data() + 4, one[6 + 63], 4);
  EXPECT_EQ(LoadLe32(size.data()), 1u);
  EXPECT_EQ(LoadLe32(size.data() + 4), 1u);
  // 270 bytes of header, the row, then 16 bytes of row table.
  EXPECT_EQ(StoredRowTable(one, 1, true), (std::vector<std::uint64_t>{270, one.size() - 16}));
  Bytes row(one.begin() + 270, one.end() - 16);
  KeyedScramble16(row.data(), one[6 + 63], row.size());
  Bytes pixel(3);
  uLongf produced = 3;
  ASSERT_EQ(uncompress(pixel.data(), &produced, row.data(), row.size()), Z_OK);
  EXPECT_EQ(pixel, TrueColourRow(1, 0, 9));

  WritePalette(folder / "level.qtx0", 20, 3);
  const Bytes level = ReadFileBytes(folder / "level.qtx0");
  EXPECT_EQ(LoadLe32(level.data()), 20u);
  EXPECT_EQ(LoadLe32(level.data() + 4), 3u);
  EXPECT_EQ(level[8 + 4 * 200 + 1], 200 ^ 0x55);
  const auto table = StoredRowTable(level, 3, false);
  ASSERT_EQ(table.size(), 4u);
  EXPECT_EQ(table[0], 1032u);
  EXPECT_LT(table[0], table[1]);
  EXPECT_LT(table[2], table[3]);
  EXPECT_EQ(table[3], level.size() - 32);
}

TEST(TempImageTest, RowBeyondFourGibibytesIsFound) {
  // A sparse palette image whose one row starts past 2^32: only a 64-bit row
  // table reaches it.
  testing::TempFolder folder;
  const auto path = folder / "far.qtx0";
  const std::uint64_t rowAt = (std::uint64_t{1} << 32) + 100;
  const Bytes indices = IndexRow(16, 2);
  Bytes packed(compressBound(indices.size()));
  uLongf packedLength = packed.size();
  ASSERT_EQ(compress2(packed.data(), &packedLength, indices.data(), indices.size(), 9), Z_OK);
  packed.resize(packedLength);
  FixedScramble(packed.data(), packed.size());
  Bytes header(1032, 0);
  StoreLe32(header.data(), 16);
  StoreLe32(header.data() + 4, 1);
  Bytes table(16);
  StoreLe64(table.data(), rowAt);
  StoreLe64(table.data() + 8, rowAt + packed.size());
  FixedScramble(table.data(), table.size());
  {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(header.data()), static_cast<std::streamsize>(header.size()));
    out.seekp(static_cast<std::streamoff>(rowAt));
    out.write(reinterpret_cast<const char*>(packed.data()), static_cast<std::streamsize>(packed.size()));
    out.write(reinterpret_cast<const char*>(table.data()), static_cast<std::streamsize>(table.size()));
    ASSERT_TRUE(out.good()) << "no sparse file here";
  }
  auto reader = TempImageReader::Open(path, false);
  Bytes row(16);
  ASSERT_TRUE(reader->ReadTempRow(0, row.data()));
  EXPECT_EQ(row, indices);
}

TEST(TempImageTest, TwoWritersOpenAtOnce) {
  testing::TempFolder folder;
  TrueColourTempWriter first(folder / "a.qtxx0", 10, 4);
  TrueColourTempWriter second(folder / "b.qtxx0", 7, 4);
  for (int y = 0; y < 4; ++y) {
    first.WriteRow(TrueColourRow(10, y, 1).data());
    second.WriteRow(TrueColourRow(7, y, 2).data());
  }
  second.Finish();
  first.Finish();
  auto a = TempImageReader::Open(folder / "a.qtxx0", true);
  auto b = TempImageReader::Open(folder / "b.qtxx0", true);
  for (int y = 0; y < 4; ++y) {
    Bytes rowA(30), rowB(21);
    ASSERT_TRUE(a->ReadTempRow(y, rowA.data()));
    ASSERT_TRUE(b->ReadTempRow(y, rowB.data()));
    EXPECT_EQ(rowA, TrueColourRow(10, y, 1));
    EXPECT_EQ(rowB, TrueColourRow(7, y, 2));
  }
}

TEST(TempImageTest, RowsNeverWrittenAndRowsPastTheTableReadAsZeros) {
  testing::TempFolder folder;
  const auto path = folder / "short.qtxx0";
  {
    TrueColourTempWriter writer(path, 6, 4);
    writer.WriteRow(TrueColourRow(6, 0, 3).data());
    writer.WriteRow(TrueColourRow(6, 1, 3).data());
    writer.Finish();
    EXPECT_THROW(TrueColourTempWriter(folder / "over.qtxx0", 6, 0), QuiltorError);
  }
  auto reader = TempImageReader::Open(path, true);
  Bytes row(18, 0xEE);
  EXPECT_TRUE(reader->ReadTempRow(1, row.data()));
  EXPECT_EQ(row, TrueColourRow(6, 1, 3));
  for (int y : {2, 3}) {
    row.assign(18, 0xEE);
    EXPECT_FALSE(reader->ReadTempRow(y, row.data())) << y;
    EXPECT_EQ(row, Bytes(18, 0)) << y;
  }
  row.assign(18, 0xEE);
  EXPECT_FALSE(reader->ReadTempRow(4, row.data()));
  EXPECT_EQ(row, Bytes(18, 0xEE)) << "a row outside the image leaves the buffer";

  TrueColourTempWriter full(folder / "full.qtxx0", 2, 1);
  full.WriteRow(TrueColourRow(2, 0, 0).data());
  EXPECT_THROW(full.WriteRow(TrueColourRow(2, 1, 0).data()), QuiltorError);
  full.Finish();
}

enum class Outcome { OpenThrows, LastRowZeros, LastRowThrows };

struct DamageCase {
  const char* name;
  Bytes bytes;
  Outcome outcome;
};

TEST(TempImageTest, DamagedPaletteImages) {
  testing::TempFolder folder;
  WritePalette(folder / "good.qtx0", 12, 3);
  const Bytes good = ReadFileBytes(folder / "good.qtx0");
  const std::vector<std::uint64_t> table = StoredRowTable(good, 3, false);
  // Rewrites the table with one entry changed.
  const auto withEntry = [&](std::size_t entry, std::uint64_t value) {
    Bytes b = good;
    Bytes stored(32);
    for (std::size_t i = 0; i < 4; ++i) StoreLe64(stored.data() + 8 * i, i == entry ? value : table[i]);
    FixedScramble(stored.data(), stored.size());
    std::copy(stored.begin(), stored.end(), b.end() - 32);
    return b;
  };
  const auto with = [&good](const std::function<void(Bytes&)>& change) {
    Bytes b = good;
    change(b);
    return b;
  };
  const DamageCase cases[] = {
      {"empty", {}, Outcome::OpenThrows},
      {"cut inside the palette", Bytes(good.begin(), good.begin() + 500), Outcome::OpenThrows},
      {"header only, no room for the table", Bytes(good.begin(), good.begin() + 1040), Outcome::OpenThrows},
      {"zero height", with([](Bytes& b) { StoreLe32(b.data() + 4, 0); }), Outcome::OpenThrows},
      {"negative width", with([](Bytes& b) { StoreLe32(b.data(), 0xFFFFFFF0); }), Outcome::OpenThrows},
      {"2^31 pixels claimed", with([](Bytes& b) { StoreLe32(b.data(), 0x10000); StoreLe32(b.data() + 4, 0x8000); }), Outcome::OpenThrows},
      {"table larger than the file", with([](Bytes& b) { StoreLe32(b.data() + 4, 400000); }), Outcome::OpenThrows},
      {"end of the last row beyond the file", withEntry(3, good.size() + 1000), Outcome::LastRowZeros},
      {"last row starts beyond the file", withEntry(2, std::uint64_t{1} << 40), Outcome::LastRowZeros},
      {"last row ends before it starts", withEntry(3, table[2] - 1), Outcome::LastRowZeros},
      {"last row is not a zlib stream", with([&table](Bytes& b) { b[table[2]] ^= 0xFF; b[table[2] + 1] ^= 0xFF; }), Outcome::LastRowThrows},
      {"last row inflates short", withEntry(3, table[3] - 3), Outcome::LastRowThrows},
  };
  for (const DamageCase& c : cases) {
    SCOPED_TRACE(c.name);
    const auto path = folder / "damaged.qtx0";
    WriteFileBytes(path, c.bytes);
    if (c.outcome == Outcome::OpenThrows) {
      EXPECT_THROW(TempImageReader::Open(path, false), QuiltorError);
      RasterOpenResult failure{};
      EXPECT_THROW(OpenRaster(path, failure), QuiltorError);
      continue;
    }
    auto reader = TempImageReader::Open(path, false);
    Bytes row(12, 0xEE);
    ASSERT_TRUE(reader->ReadTempRow(0, row.data()));
    EXPECT_EQ(row, IndexRow(12, 0));
    row.assign(12, 0xEE);
    if (c.outcome == Outcome::LastRowZeros) {
      EXPECT_FALSE(reader->ReadTempRow(2, row.data()));
      EXPECT_EQ(row, Bytes(12, 0));
    } else {
      EXPECT_THROW(reader->ReadTempRow(2, row.data()), QuiltorError);
    }
  }
  // The true-colour kind checks its header the same way.
  WriteTrueColour(folder / "good.qtxx0", 4, 2, 0);
  const Bytes colour = ReadFileBytes(folder / "good.qtxx0");
  WriteFileBytes(folder / "cut.qtxx0", Bytes(colour.begin(), colour.begin() + 200));
  EXPECT_THROW(TempImageReader::Open(folder / "cut.qtxx0", true), QuiltorError);
  WriteFileBytes(folder / "table.qtxx0", Bytes(colour.begin(), colour.begin() + 280));
  EXPECT_THROW(TempImageReader::Open(folder / "table.qtxx0", true), QuiltorError);
}

// Rows are deflated a batch at a time on several threads: a height that
// leaves a part batch for Finish, every row in its place, and the same
// bytes as on one thread wherever the file holds no random key.
TEST(TempImageTest, RowsDeflatedOnSeveralThreadsLandInOrder) {
  testing::TempFolder folder;
  const int width = 45, height = 37;
  for (const int threads : {1, 3}) {
    const std::string n = std::to_string(threads);
    {
      TrueColourTempWriter colour(folder / (n + ".qtxx0"), width, height, threads);
      PaletteTempWriter level(folder / (n + ".qtx0"), width, height, TestPalette(), threads);
      RowStreamWriter stream(folder / (n + ".stream"), width, threads);
      for (int y = 0; y < height; ++y) {
        colour.WriteRow(TrueColourRow(width, y, 2).data());
        level.WriteRow(IndexRow(width, y).data());
        stream.WriteRow(TrueColourRow(width, y, 3).data());
      }
      colour.Finish();
      level.Finish();
      stream.Finish();
    }
    const auto colour = TempImageReader::Open(folder / (n + ".qtxx0"), true);
    RowStreamReader stream(folder / (n + ".stream"), width);
    Bytes row(std::size_t(width) * 3);
    for (int y = 0; y < height; ++y) {
      ASSERT_TRUE(colour->ReadTempRow(y, row.data()));
      EXPECT_EQ(row, TrueColourRow(width, y, 2)) << threads << " threads, row " << y;
      ASSERT_TRUE(stream.ReadRow(row.data()));
      EXPECT_EQ(row, TrueColourRow(width, y, 3)) << threads << " threads, row " << y;
    }
    EXPECT_FALSE(stream.ReadRow(row.data()));
  }
  EXPECT_EQ(ReadFileBytes(folder / "3.qtx0"), ReadFileBytes(folder / "1.qtx0"));
  EXPECT_EQ(ReadFileBytes(folder / "3.stream"), ReadFileBytes(folder / "1.stream"));
}

TEST(RowStreamTest, RowsInOrderThenTheEnd) {
  testing::TempFolder folder;
  const auto path = folder / "temp.qtx0";
  {
    RowStreamWriter writer(path, 9);
    for (int y = 0; y < 3; ++y) writer.WriteRow(TrueColourRow(9, y, 4).data());
    writer.Finish();
  }
  RowStreamReader reader(path, 9);
  Bytes row(27);
  for (int y = 0; y < 3; ++y) {
    ASSERT_TRUE(reader.ReadRow(row.data()));
    EXPECT_EQ(row, TrueColourRow(9, y, 4));
  }
  EXPECT_FALSE(reader.ReadRow(row.data()));

  const Bytes stream = ReadFileBytes(path);
  const std::uint32_t first = LoadLe32(stream.data());
  const Bytes cases[] = {
      Bytes(stream.begin(), stream.end() - 5),                           // last row cut
      Bytes(stream.begin(), stream.begin() + 2),                         // length cut
      [&] { Bytes b = stream; StoreLe32(b.data(), 0); return b; }(),     // zero length
      [&] { Bytes b = stream; b[4 + first / 2] ^= 0xFF; return b; }(),   // damaged row
  };
  for (const Bytes& damaged : cases) {
    WriteFileBytes(path, damaged);
    RowStreamReader again(path, 9);
    EXPECT_THROW(
        {
          while (again.ReadRow(row.data())) {
          }
        },
        QuiltorError);
  }
}

}  // namespace
}  // namespace quiltor
