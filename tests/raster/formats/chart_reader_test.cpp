// The chart reader against charts made by a small writer of the layout: a
// text header ended by Ctrl-Z, run-length rows, a big-endian row index and
// its position in the last four bytes.
#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "raster/formats/format_readers.h"
#include "support/file_bytes.h"
#include "support/temp_folder.h"

namespace quiltor {
namespace {

using Bytes = std::vector<std::uint8_t>;

void PutBe32(Bytes& out, std::uint32_t v) {
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<std::uint8_t>(v >> shift));
}

// One run: colour in the high bits of the first byte, run length - 1 spread
// over the rest of that byte and 7-bit continuation bytes.
void PutRun(Bytes& out, int colour, std::uint32_t length, int bitsPerPixel) {
  const int shift = 7 - bitsPerPixel;
  const std::uint32_t countMask = (1u << shift) - 1;
  const std::uint32_t count = length - 1;
  int extra = 0;
  while ((count >> (7 * extra)) > countMask) ++extra;
  out.push_back(static_cast<std::uint8_t>((colour << shift) | (count >> (7 * extra)) | (extra > 0 ? 0x80 : 0)));
  for (int i = extra - 1; i >= 0; --i) {
    out.push_back(static_cast<std::uint8_t>(((count >> (7 * i)) & 0x7F) | (i > 0 ? 0x80 : 0)));
  }
}

Bytes EncodeRow(int rowNumber, const Bytes& pixels, int bitsPerPixel) {
  Bytes out;
  if (rowNumber >= 128) out.push_back(static_cast<std::uint8_t>(0x80 | (rowNumber >> 7)));
  out.push_back(static_cast<std::uint8_t>(rowNumber & 0x7F));
  for (std::size_t x = 0; x < pixels.size();) {
    std::size_t end = x;
    while (end < pixels.size() && pixels[end] == pixels[x]) ++end;
    PutRun(out, pixels[x], static_cast<std::uint32_t>(end - x), bitsPerPixel);
    x = end;
  }
  out.push_back(0);  // row terminator, as chart encoders write it
  return out;
}

struct ChartFile {
  std::string header;          // text before Ctrl-Z
  std::vector<Bytes> rowData;  // encoded rows, top first
};

// Header, Ctrl-Z, rows, row index (row positions, then the index's own
// position as the end of the last row), and the index position.
Bytes Assemble(const ChartFile& chart) {
  Bytes out(chart.header.begin(), chart.header.end());
  out.push_back(0x1A);
  out.push_back(0);
  std::vector<std::uint32_t> positions;
  for (const Bytes& row : chart.rowData) {
    positions.push_back(static_cast<std::uint32_t>(out.size()));
    out.insert(out.end(), row.begin(), row.end());
  }
  const auto indexAt = static_cast<std::uint32_t>(out.size());
  positions.push_back(indexAt);
  for (std::uint32_t p : positions) PutBe32(out, p);
  PutBe32(out, indexAt);
  return out;
}

using testing::WriteFileBytes;

std::string Header(int width, int rows, int bitsPerPixel) {
  return "! test chart\r\nVER/3.0\r\nBSB/NA=Test Chart,NU=1,RA=" + std::to_string(width) + "," + std::to_string(rows) +
         ",DU=254\r\nKNP/SC=50000,GD=WGS84\r\nRGB/1,255,0,0\r\nRGB/2,0,255,0\r\nRGB/3,0,0,255\r\nRGB/4,10,20,30\r\n"
         "OST/1\r\nIFM/" + std::to_string(bitsPerPixel) + "\r\n";
}

// A chart of `rows` encoded rows whose pixel (x, y) is colour(x, y); RA
// names one row more, since the last RA row is never decoded.
ChartFile MakeChart(int width, int rows, int bitsPerPixel, const std::function<int(int, int)>& colour) {
  ChartFile chart{Header(width, rows + 1, bitsPerPixel), {}};
  for (int y = 0; y < rows; ++y) {
    Bytes pixels(static_cast<std::size_t>(width));
    for (int x = 0; x < width; ++x) pixels[x] = static_cast<std::uint8_t>(colour(x, y));
    chart.rowData.push_back(EncodeRow(y + 1, pixels, bitsPerPixel));
  }
  return chart;
}

int Stripes(int x, int y) { return ((x / 37 + y) % 4) + 1; }

class ChartReaderTest : public ::testing::Test {
 protected:
  std::filesystem::path Write(const ChartFile& chart, const std::string& name = "chart.kap") {
    const auto path = folder_ / name;
    WriteFileBytes(path, Assemble(chart));
    return path;
  }
  testing::TempFolder folder_;
};

TEST_F(ChartReaderTest, RowsPixelsAndPaletteFollowTheRuns) {
  for (int bits : {3, 4, 7}) {
    const auto reader = OpenChartReader(Write(MakeChart(300, 20, bits, Stripes)));
    ASSERT_NE(reader, nullptr) << bits;
    ASSERT_EQ(reader->width(), 300);
    ASSERT_EQ(reader->height(), 20);
    EXPECT_EQ(reader->pixelMode(), 1);
    EXPECT_EQ(reader->palette()[0], (Rgbquad{0, 0, 0, 0}));
    EXPECT_EQ(reader->palette()[1], (Rgbquad{0, 0, 255, 0}));
    EXPECT_EQ(reader->palette()[4], (Rgbquad{30, 20, 10, 0}));
    Bytes row(300);
    for (int y = 0; y < 20; ++y) {
      reader->ReadRow(y, row.data());
      for (int x = 0; x < 300; ++x) ASSERT_EQ(row[x], Stripes(x, y)) << bits << " " << x << "," << y;
    }
    std::uint8_t bgr[3];
    reader->FetchPixel(40, 0, bgr);  // colour 2: green
    EXPECT_EQ(bgr[0], 0);
    EXPECT_EQ(bgr[1], 255);
    EXPECT_EQ(bgr[2], 0);
  }
}

TEST_F(ChartReaderTest, ContinuationLineJoinsTheRasterSize) {
  ChartFile chart = MakeChart(1000, 799, 4, [](int, int) { return 1; });
  chart.header = "VER/2.0\nBSB/NA=Split,NU=7,RA=1000\n    800,DU=254\nIFM/4\n";
  ImageInfo info;
  ASSERT_TRUE(QueryChartInfo(Write(chart), info));
  EXPECT_EQ(info.width, 1000);
  EXPECT_EQ(info.height, 799);
  EXPECT_EQ(info.pixelMode, 1);
}

TEST_F(ChartReaderTest, NosChartsTakeTheSizeFromTheThirdAndFourthFields) {
  ChartFile chart = MakeChart(50, 4, 4, Stripes);
  chart.header = "NOS/NA=Old,RA=0,0,50,5\nBSB/RA=999,999\nIFM/4\n";
  const auto reader = OpenChartReader(Write(chart, "old.nos"));
  ASSERT_NE(reader, nullptr);
  EXPECT_EQ(reader->width(), 50);
  EXPECT_EQ(reader->height(), 4);
}

TEST_F(ChartReaderTest, LongRunCountsSpanContinuationBytes) {
  // With IFM 4, 0x93 0x05 is colour 2 for (3 * 128 + 5) + 1 = 390 pixels.
  ChartFile chart{Header(400, 2, 4), {Bytes{0x01, 0x93, 0x05, 0x18}}};
  const auto reader = OpenChartReader(Write(chart));
  ASSERT_NE(reader, nullptr);
  Bytes row(400, 9);
  reader->ReadRow(0, row.data());
  for (int x = 0; x < 390; ++x) ASSERT_EQ(row[x], 2) << x;
  for (int x = 390; x < 391; ++x) EXPECT_EQ(row[x], 3);  // 0x18: colour 3, one pixel
  for (int x = 391; x < 400; ++x) EXPECT_EQ(row[x], 0);
}

TEST_F(ChartReaderTest, RunsBeyondTheRowAreCutAndBackwardRowsStayBlank) {
  // Row 0 claims far more pixels than the row holds.
  ChartFile chart{Header(10, 3, 4), {Bytes{0x01, 0xFF, 0xFF, 0xFF, 0x7F}, Bytes{0x02, 0x08}}};
  Bytes file = Assemble(chart);
  // Row 1 now starts past the start of the index, where it ends.
  const std::size_t entry1 = file.size() - 4 - 8;
  const std::uint32_t indexAt = (std::uint32_t{file[file.size() - 4]} << 24) | (file[file.size() - 3] << 16) |
                                (file[file.size() - 2] << 8) | file[file.size() - 1];
  for (int i = 0; i < 4; ++i) file[entry1 + i] = static_cast<std::uint8_t>((indexAt + 2) >> (24 - 8 * i));
  const auto path = folder_ / "cut.kap";
  WriteFileBytes(path, file);
  const auto reader = OpenChartReader(path);
  ASSERT_NE(reader, nullptr);
  Bytes row(10, 9);
  reader->ReadRow(0, row.data());
  EXPECT_EQ(row, Bytes(10, 15));
  reader->ReadRow(1, row.data());
  EXPECT_EQ(row, Bytes(10, 0));
}

TEST_F(ChartReaderTest, RowsEvictedFromTheCacheDecodeAgain) {
  // 100000 pixels a row: the 12 MiB cache holds 125 rows of the 400.
  const int width = 100000;
  const auto colour = [](int x, int y) { return ((x / 5000 + y) % 7) + 1; };
  const auto reader = OpenChartReader(Write(MakeChart(width, 400, 3, colour)));
  ASSERT_NE(reader, nullptr);
  Bytes row(width);
  for (int pass = 0; pass < 2; ++pass) {
    for (int i = 0; i < 400; ++i) {
      const int y = pass == 0 ? i : 399 - i;
      reader->ReadRow(y, row.data());
      ASSERT_EQ(row[0], colour(0, y));
      ASSERT_EQ(row[width - 1], colour(width - 1, y));
    }
  }
}

// Every damaged chart is refused by open and by the header query.
TEST_F(ChartReaderTest, DamagedChartsAreRefused) {
  const Bytes good = Assemble(MakeChart(64, 8, 4, Stripes));
  const auto withHeader = [](const std::string& header) {
    ChartFile chart = MakeChart(64, 8, 4, Stripes);
    chart.header = header;
    return Assemble(chart);
  };
  struct Case {
    const char* name;
    Bytes bytes;
  };
  Bytes noEnd(good.begin(), good.end());
  std::erase(noEnd, std::uint8_t{0x1A});
  Bytes pointerBeyond = good;
  pointerBeyond[pointerBeyond.size() - 4] = 0x7F;
  Bytes indexCut(good.begin(), good.end() - 12);
  indexCut.insert(indexCut.end(), good.end() - 4, good.end());
  Bytes rowBeyond = good;
  rowBeyond[rowBeyond.size() - 4 - 9 * 4] = 0x40;  // first row position
  const Case cases[] = {
      {"empty file", {}},
      {"three bytes", {0x1A, 0, 0}},
      {"no Ctrl-Z", noEnd},
      {"no raster size", withHeader("VER/3\nBSB/NA=x\nIFM/4\n")},
      {"zero width", withHeader("BSB/RA=0,9\nIFM/4\n")},
      {"one row only", withHeader("BSB/RA=64,1\nIFM/4\n")},
      {"absurd width", withHeader("BSB/RA=2000000000,9\nIFM/4\n")},
      {"IFM 0", withHeader("BSB/RA=64,9\nIFM/0\n")},
      {"IFM 8", withHeader("BSB/RA=64,9\nIFM/8\n")},
      {"OST 0", withHeader("BSB/RA=64,9\nIFM/4\nOST/0\n")},
      {"more rows than the index", withHeader("BSB/RA=64,5000\nIFM/4\n")},
      {"index position beyond the file", pointerBeyond},
      {"row index cut short", indexCut},
      {"row position beyond the file", rowBeyond},
  };
  for (const Case& c : cases) {
    const auto path = folder_ / "damaged.kap";
    WriteFileBytes(path, c.bytes);
    EXPECT_EQ(OpenChartReader(path), nullptr) << c.name;
    ImageInfo info;
    EXPECT_FALSE(QueryChartInfo(path, info)) << c.name;
  }
}

}  // namespace
}  // namespace quiltor
