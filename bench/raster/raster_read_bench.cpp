// Read side of the raster sources: pixel fetches on cached tiled images and
// TIFFs, row throughput of every streamed kind, the temporary images' row
// write and read rates, and the peak memory of reading every pixel of a
// large tiled file and TIFF, which must stay near the reader's cache budget
// whatever the image size.
//
// The images are generated once per run into a temporary folder: tiled files
// by the program's own tiled writer, TIFFs by libtiff, charts by a small
// writer of the chart layout below, temporary images by their writers.
// QUILTOR_BENCH_LARGE_SIDE (default 20000) sets the side of the large
// images of the peak-memory case.
#include <benchmark/benchmark.h>
#include <tiffio.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "common/error.h"
#include "common/worker_host.h"
#include "raster/byte_file.h"
#include "raster/raster_source.h"
#include "raster/scratch/temp_image.h"
#include "raster/tiled/tiled_writer.h"
#include "peak_memory.h"

namespace quiltor {
namespace {

namespace fs = std::filesystem;

constexpr int kPixelSide = 2048;   // images of the pixel-fetch cases
constexpr int kStreamSide = 4000;  // images of the row-throughput cases
constexpr int kSmallPeakSide = 5000;

int LargePeakSide() {
  const char* side = std::getenv("QUILTOR_BENCH_LARGE_SIDE");
  return side ? std::max(kSmallPeakSide, std::atoi(side)) : 20000;
}

// Shaded relief with flat water areas and thin roads, as a scanned map looks
// to a compressor: long smooth stretches, some sharp edges.
double Relief(int x, int y) { return 0.5 + 0.5 * std::sin(x * 0.0031) * std::cos(y * 0.0027); }
bool Water(int x, int y) { return (x / 700 + y / 500) % 5 == 0; }
bool Road(int x, int y) { return (x + 2 * y) % 997 < 3 || (3 * x - y + 100000) % 1499 < 2; }

void PaintBgr(int y, int width, std::uint8_t* row) {
  for (int x = 0; x < width; ++x) {
    std::uint8_t* p = row + std::size_t(x) * 3;
    if (Road(x, y)) {
      p[0] = 30, p[1] = 60, p[2] = 200;
    } else if (Water(x, y)) {
      p[0] = 230, p[1] = 200, p[2] = 150;
    } else {
      const double r = Relief(x, y);
      p[0] = std::uint8_t(120 + 80 * r), p[1] = std::uint8_t(170 + 60 * r), p[2] = std::uint8_t(150 + 90 * r);
    }
  }
}

// The same picture as palette indices: 0 road, 1 water, 2..253 relief.
void PaintIndices(int y, int width, std::uint8_t* row) {
  for (int x = 0; x < width; ++x) {
    row[x] = Road(x, y) ? 0 : Water(x, y) ? 1 : std::uint8_t(2 + 251 * Relief(x, y));
  }
}

Palette MapPalette() {
  Palette palette{};
  palette[0] = Rgbquad{30, 60, 200, 0};
  palette[1] = Rgbquad{230, 200, 150, 0};
  for (int i = 2; i < 256; ++i) {
    const double r = (i - 2) / 251.0;
    palette[i] = Rgbquad{std::uint8_t(120 + 80 * r), std::uint8_t(170 + 60 * r), std::uint8_t(150 + 90 * r), 0};
  }
  return palette;
}

// ---- writers of the benchmark images ------------------------------------

void WriteTiledImage(const fs::path& path, int side) {
  QuietHost host;
  std::atomic<bool> abort{false};
  ByteFile file(path, "wb");
  TiledImageWriter writer(file, false, abort, host);
  writer.WriteHeader(side, side, {100, 50});
  writer.WriteZoomLevel({side, side, MapPalette(), [side](int y, std::uint8_t* row) { PaintIndices(y, side, row); }});
  writer.WriteTrailer();
  file.Close();
}

enum class TiffLayout { Strips, Tiles, LzwStrips };

struct TiffCloser {
  void operator()(TIFF* tiff) const { TIFFClose(tiff); }
};

// 8-bit RGB: strips of 16 rows, or tiles of 256 x 256.
void WriteTiff(const fs::path& path, int side, TiffLayout layout) {
  std::unique_ptr<TIFF, TiffCloser> tiff(TIFFOpen(path.c_str(), "w"));
  if (!tiff) throw QuiltorError("cannot create " + path.string());
  TIFF* t = tiff.get();
  TIFFSetField(t, TIFFTAG_IMAGEWIDTH, std::uint32_t(side));
  TIFFSetField(t, TIFFTAG_IMAGELENGTH, std::uint32_t(side));
  TIFFSetField(t, TIFFTAG_BITSPERSAMPLE, 8);
  TIFFSetField(t, TIFFTAG_SAMPLESPERPIXEL, 3);
  TIFFSetField(t, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_RGB);
  TIFFSetField(t, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
  TIFFSetField(t, TIFFTAG_COMPRESSION, layout == TiffLayout::LzwStrips ? COMPRESSION_LZW : COMPRESSION_NONE);
  const std::size_t rowBytes = std::size_t(side) * 3;
  std::vector<std::uint8_t> row(rowBytes);
  auto paintRgb = [&](int y, std::uint8_t* out) {
    PaintBgr(y, side, out);
    for (std::size_t x = 0; x < rowBytes; x += 3) std::swap(out[x], out[x + 2]);
  };
  if (layout != TiffLayout::Tiles) {
    TIFFSetField(t, TIFFTAG_ROWSPERSTRIP, 16);
    for (int y = 0; y < side; ++y) {
      paintRgb(y, row.data());
      if (TIFFWriteScanline(t, row.data(), std::uint32_t(y), 0) < 0) throw QuiltorError("TIFF write failed");
    }
    return;
  }
  constexpr int kTile = 256;
  TIFFSetField(t, TIFFTAG_TILEWIDTH, kTile);
  TIFFSetField(t, TIFFTAG_TILELENGTH, kTile);
  const int tilesAcross = (side + kTile - 1) / kTile;
  std::vector<std::uint8_t> band(std::size_t(tilesAcross) * kTile * 3 * kTile, 0);
  std::vector<std::uint8_t> tile(std::size_t(kTile) * kTile * 3);
  const std::size_t bandRowBytes = std::size_t(tilesAcross) * kTile * 3;
  for (int y0 = 0; y0 < side; y0 += kTile) {
    for (int r = 0; r < kTile && y0 + r < side; ++r) paintRgb(y0 + r, band.data() + r * bandRowBytes);
    for (int across = 0; across < tilesAcross; ++across) {
      for (int r = 0; r < kTile; ++r) {
        std::copy_n(band.data() + r * bandRowBytes + std::size_t(across) * kTile * 3, kTile * 3,
                    tile.data() + std::size_t(r) * kTile * 3);
      }
      if (TIFFWriteTile(t, tile.data(), std::uint32_t(across * kTile), std::uint32_t(y0), 0, 0) < 0) {
        throw QuiltorError("TIFF write failed");
      }
    }
  }
}

// A 4-bit chart: text header ended by Ctrl-Z and a zero, rows of runs (row
// number, then colour and length - 1 in the high and low bits with 7-bit
// continuation bytes, then a zero), the big-endian row index (each row's
// start, then the index's own start) and the index position last.
void PutBe32(std::vector<std::uint8_t>& out, std::uint32_t v) {
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(std::uint8_t(v >> shift));
}

void PutSevenBitGroups(std::vector<std::uint8_t>& out, std::uint32_t value, std::uint8_t firstHighBits, int firstBits) {
  int extra = 0;
  while ((value >> (7 * extra)) >= (1u << firstBits)) ++extra;
  out.push_back(std::uint8_t(firstHighBits | (value >> (7 * extra)) | (extra > 0 ? 0x80 : 0)));
  for (int i = extra - 1; i >= 0; --i) out.push_back(std::uint8_t(((value >> (7 * i)) & 0x7F) | (i > 0 ? 0x80 : 0)));
}

void WriteChart(const fs::path& path, int side) {
  constexpr int kBits = 4;
  std::string header = "! benchmark chart\r\nVER/3.0\r\nBSB/NA=Bench,NU=1,RA=" + std::to_string(side) + "," +
                       std::to_string(side + 1) + ",DU=254\r\nKNP/SC=50000,GD=WGS84\r\n";
  for (int i = 1; i < 16; ++i) {
    header += "RGB/" + std::to_string(i) + "," + std::to_string(i * 16) + "," + std::to_string(255 - i * 12) + ",128\r\n";
  }
  header += "OST/1\r\nIFM/4\r\n";
  std::vector<std::uint8_t> out(header.begin(), header.end());
  out.push_back(0x1A);
  out.push_back(0);
  std::vector<std::uint32_t> starts;
  std::vector<std::uint8_t> pixels(static_cast<std::size_t>(side));
  for (int y = 0; y < side; ++y) {
    starts.push_back(std::uint32_t(out.size()));
    PaintIndices(y, side, pixels.data());
    for (auto& p : pixels) p = std::uint8_t(1 + p % 15);
    PutSevenBitGroups(out, std::uint32_t(y + 1), 0, 7);
    for (int x = 0; x < side;) {
      int end = x;
      while (end < side && pixels[end] == pixels[x]) ++end;
      PutSevenBitGroups(out, std::uint32_t(end - x - 1), std::uint8_t(pixels[x] << (7 - kBits)), 7 - kBits);
      x = end;
    }
    out.push_back(0);
  }
  const auto indexAt = std::uint32_t(out.size());
  starts.push_back(indexAt);
  for (std::uint32_t s : starts) PutBe32(out, s);
  PutBe32(out, indexAt);
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(out.data()), std::streamsize(out.size()));
}

void WriteTrueColourTemp(const fs::path& path, int side) {
  TrueColourTempWriter writer(path, side, side);
  std::vector<std::uint8_t> row(std::size_t(side) * 3);
  for (int y = 0; y < side; ++y) {
    PaintBgr(y, side, row.data());
    writer.WriteRow(row.data());
  }
  writer.Finish();
}

void WritePaletteTemp(const fs::path& path, int side) {
  PaletteTempWriter writer(path, side, side, MapPalette());
  std::vector<std::uint8_t> row(static_cast<std::size_t>(side));
  for (int y = 0; y < side; ++y) {
    PaintIndices(y, side, row.data());
    writer.WriteRow(row.data());
  }
  writer.Finish();
}

// ---- the image kinds and their files --------------------------------------

enum Kind { kTiled, kTiffStrips, kTiffTiles, kTiffLzw, kChart, kTrueColourTemp, kPaletteTemp };

const char* KindName(int kind) {
  static const char* const names[] = {"tiled",        "tiff_strips",  "tiff_tiles", "tiff_lzw_strips",
                                      "chart",        "temp_qtxx0",   "temp_qtx0"};
  return names[kind];
}

const char* KindExtension(int kind) {
  static const char* const extensions[] = {".qtx2", ".tif", ".tif", ".tif", ".kap", ".qtxx0", ".qtx0"};
  return extensions[kind];
}

void WriteImage(int kind, const fs::path& path, int side) {
  switch (kind) {
    case kTiled: return WriteTiledImage(path, side);
    case kTiffStrips: return WriteTiff(path, side, TiffLayout::Strips);
    case kTiffTiles: return WriteTiff(path, side, TiffLayout::Tiles);
    case kTiffLzw: return WriteTiff(path, side, TiffLayout::LzwStrips);
    case kChart: return WriteChart(path, side);
    case kTrueColourTemp: return WriteTrueColourTemp(path, side);
    default: return WritePaletteTemp(path, side);
  }
}

fs::path BenchFolder() {
  static const fs::path folder = [] {
    const fs::path f = fs::temp_directory_path() / ("quiltor-read-bench-" + std::to_string(::getpid()));
    fs::create_directories(f);
    return f;
  }();
  return folder;
}

// Each image is written at its first use, so that a filtered run builds only
// what it reads.
fs::path Image(int kind, int side) {
  static std::map<std::pair<int, int>, fs::path> written;
  const auto key = std::make_pair(kind, side);
  if (auto found = written.find(key); found != written.end()) return found->second;
  const fs::path path = BenchFolder() / (std::string(KindName(kind)) + "-" + std::to_string(side) + KindExtension(kind));
  WriteImage(kind, path, side);
  written.emplace(key, path);
  return path;
}

// What a reader must give for row y of an image written above: palette
// indices for tiled and ".qtx0" images, chart colours 1..15, blue, green,
// red for the rest.
std::vector<std::uint8_t> ExpectedRow(int kind, int y, int side) {
  const bool indexed = kind == kTiled || kind == kChart || kind == kPaletteTemp;
  std::vector<std::uint8_t> row(std::size_t(side) * (indexed ? 1 : 3));
  if (!indexed) {
    PaintBgr(y, side, row.data());
    return row;
  }
  PaintIndices(y, side, row.data());
  if (kind == kChart) {
    for (auto& p : row) p = std::uint8_t(1 + p % 15);
  }
  return row;
}

std::unique_ptr<RasterSource> OpenOrSkip(benchmark::State& state, const fs::path& path) {
  std::unique_ptr<RasterSource> source;
  try {
    source = OpenRaster(path);
  } catch (const QuiltorError& e) {
    state.SkipWithError(e.what());
    return nullptr;
  }
  if (!source) state.SkipWithError(("not opened: " + path.string()).c_str());
  return source;
}

// ---- pixel fetch ---------------------------------------------------------

bool PixelAsPainted(RasterSource& source, int kind, int x, int y) {
  std::uint8_t pixel[3] = {0, 0, 0};
  source.FetchPixel(x, y, pixel);
  const std::vector<std::uint8_t> row = ExpectedRow(kind, y, x + 1);
  std::uint8_t expected[3];
  if (kind == kTiled) {
    const Rgbquad entry = MapPalette()[row[x]];
    expected[0] = entry.blue, expected[1] = entry.green, expected[2] = entry.red;
  } else {
    std::copy_n(row.data() + std::size_t(x) * 3, 3, expected);
  }
  return std::equal(pixel, pixel + 3, expected);
}

// Cached pixel access as the map view and the creation's sampling use it,
// after one row-order pass has filled the cache. Arg 0: row order; arg 1:
// random pixels (a fixed-seed linear congruential walk over the image).
void PixelFetch(benchmark::State& state, int kind) {
  const bool random = state.range(0) == 1;
  auto source = OpenOrSkip(state, Image(kind, kPixelSide));
  if (!source) return;
  std::uint8_t pixel[3];
  for (int y = 0; y < kPixelSide; ++y) {
    for (int x = 0; x < kPixelSide; ++x) source->FetchPixel(x, y, pixel);
  }
  if (!PixelAsPainted(*source, kind, 1234, kPixelSide - 1)) {
    state.SkipWithError("pixel differs from the painting");
    return;
  }
  const std::int64_t count = std::int64_t(kPixelSide) * kPixelSide;
  std::uint32_t walk = 12345;
  unsigned checksum = 0;
  for (auto _ : state) {
    if (random) {
      for (std::int64_t i = 0; i < count; ++i) {
        walk = walk * 1664525u + 1013904223u;
        const int x = int((walk >> 8) % kPixelSide);
        walk = walk * 1664525u + 1013904223u;
        const int y = int((walk >> 8) % kPixelSide);
        source->FetchPixel(x, y, pixel);
        checksum += pixel[0];
      }
    } else {
      for (int y = 0; y < kPixelSide; ++y) {
        for (int x = 0; x < kPixelSide; ++x) {
          source->FetchPixel(x, y, pixel);
          checksum += pixel[0];
        }
      }
    }
  }
  benchmark::DoNotOptimize(checksum);
  state.SetItemsProcessed(state.iterations() * count);
  state.counters["Mpx/s"] = benchmark::Counter(double(count) / 1e6 * state.iterations(), benchmark::Counter::kIsRate);
}

void BM_FetchPixelTiled(benchmark::State& state) { PixelFetch(state, kTiled); }
void BM_FetchPixelTiff(benchmark::State& state) { PixelFetch(state, kTiffStrips); }

// ---- row throughput ------------------------------------------------------

// Every row top to bottom through ReadRasterLine, from a freshly opened
// source each time (the first pass decodes everything; nothing is served
// from an earlier iteration's cache except what the reader keeps).
void BM_ReadRasterLine(benchmark::State& state) {
  const int kind = int(state.range(0));
  state.SetLabel(KindName(kind));
  const fs::path path = Image(kind, kStreamSide);
  std::int64_t rowBytes = 0;
  for (auto _ : state) {
    auto source = OpenOrSkip(state, path);
    if (!source) return;
    rowBytes = std::int64_t(source->width()) * source->pixelMode();
    std::vector<std::uint8_t> row(static_cast<std::size_t>(rowBytes));
    for (int y = 0; y < source->height(); ++y) ReadRasterLine(source.get(), y, row.data());
    benchmark::DoNotOptimize(row.data());
    if (row != ExpectedRow(kind, kStreamSide - 1, kStreamSide)) state.SkipWithError("last row differs from the painting");
    CloseRaster(source);
  }
  const double pixels = double(kStreamSide) * kStreamSide * state.iterations();
  state.counters["Mpx/s"] = benchmark::Counter(pixels / 1e6, benchmark::Counter::kIsRate);
  state.counters["MB/s"] = benchmark::Counter(double(rowBytes) * kStreamSide * state.iterations() / 1e6, benchmark::Counter::kIsRate);
}

// ---- temporary images ----------------------------------------------------

// Row write and read of the temporary images, in MB/s of row bytes (3 per
// pixel for ".qtxx0", 1 for ".qtx0"). Arg: the kind.
void BM_TempRowWrite(benchmark::State& state) {
  const int kind = int(state.range(0));
  state.SetLabel(KindName(kind));
  const fs::path path = BenchFolder() / (std::string("write-") + KindName(kind) + KindExtension(kind));
  const int side = kStreamSide;
  const std::size_t rowBytes = std::size_t(side) * (kind == kTrueColourTemp ? 3 : 1);
  // The rows are painted before the clock starts: the figure is the writer's.
  std::vector<std::uint8_t> rows(rowBytes * side);
  for (int y = 0; y < side; ++y) {
    if (kind == kTrueColourTemp) {
      PaintBgr(y, side, rows.data() + rowBytes * y);
    } else {
      PaintIndices(y, side, rows.data() + rowBytes * y);
    }
  }
  for (auto _ : state) {
    if (kind == kTrueColourTemp) {
      TrueColourTempWriter writer(path, side, side);
      for (int y = 0; y < side; ++y) writer.WriteRow(rows.data() + rowBytes * y);
      writer.Finish();
    } else {
      PaletteTempWriter writer(path, side, side, MapPalette());
      for (int y = 0; y < side; ++y) writer.WriteRow(rows.data() + rowBytes * y);
      writer.Finish();
    }
  }
  state.counters["MB/s"] = benchmark::Counter(double(rowBytes) * side * state.iterations() / 1e6, benchmark::Counter::kIsRate);
  state.counters["file_MB"] = double(fs::file_size(path)) / 1e6;
  fs::remove(path);
}

void BM_TempRowRead(benchmark::State& state) {
  const int kind = int(state.range(0));
  state.SetLabel(KindName(kind));
  const fs::path path = Image(kind, kStreamSide);
  const bool trueColour = kind == kTrueColourTemp;
  const std::size_t rowBytes = std::size_t(kStreamSide) * (trueColour ? 3 : 1);
  std::vector<std::uint8_t> row(rowBytes);
  for (auto _ : state) {
    auto reader = TempImageReader::Open(path, trueColour);
    for (int y = 0; y < reader->height(); ++y) {
      if (!reader->ReadTempRow(y, row.data())) state.SkipWithError("short temporary row");
    }
    benchmark::DoNotOptimize(row.data());
  }
  state.counters["MB/s"] = benchmark::Counter(double(rowBytes) * kStreamSide * state.iterations() / 1e6, benchmark::Counter::kIsRate);
}

// ---- peak memory ---------------------------------------------------------

// Peak resident memory of a fresh process that opens the image and reads every pixel row by row, next to that of
// one that only opens it: the difference is what reading costs, and it must
// be bounded by the reader's cache (tiled: 3072 tiles of 4 KiB; TIFF: 25 MiB
// of decoded blocks), not by the image. Args: kind, 0 small / 1 large side.
long ReadingPeakKiB(const fs::path& image, bool readAll) {
  return bench::ChildPeakKiB({{"QUILTOR_BENCH_READ_IMAGE", image.string()}, {"QUILTOR_BENCH_READ_ALL", readAll ? "1" : "0"}});
}

void BM_ReadPeakMemory(benchmark::State& state) {
  const int kind = int(state.range(0));
  const int side = state.range(1) == 0 ? kSmallPeakSide : LargePeakSide();
  state.SetLabel(KindName(kind));
  const fs::path image = Image(kind, side);
  long openKiB = 0, readKiB = 0;
  for (auto _ : state) {
    openKiB = ReadingPeakKiB(image, false);
    readKiB = ReadingPeakKiB(image, true);
    if (openKiB < 0 || readKiB < 0) state.SkipWithError("reading child failed");
  }
  state.counters["side"] = side;
  state.counters["file_MiB"] = double(fs::file_size(image)) / (1024.0 * 1024.0);
  state.counters["open_MiB"] = double(openKiB) / 1024.0;
  state.counters["peak_MiB"] = double(readKiB) / 1024.0;
  state.counters["read_cost_MiB"] = double(readKiB - openKiB) / 1024.0;
  // These images are not read again; the disk is shared.
  fs::remove(image);
}

BENCHMARK(BM_FetchPixelTiled)->ArgName("random")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_FetchPixelTiff)->ArgName("random")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ReadRasterLine)
    ->ArgName("kind")
    ->DenseRange(kTiled, kPaletteTemp)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(2);
BENCHMARK(BM_TempRowWrite)
    ->ArgName("kind")
    ->Arg(kTrueColourTemp)
    ->Arg(kPaletteTemp)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(2);
BENCHMARK(BM_TempRowRead)
    ->ArgName("kind")
    ->Arg(kTrueColourTemp)
    ->Arg(kPaletteTemp)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(2);
BENCHMARK(BM_ReadPeakMemory)
    ->ArgNames({"kind", "large"})
    ->ArgsProduct({{kTiled, kTiffStrips, kTiffTiles}, {0, 1}})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);

struct Cleanup {
  ~Cleanup() {
    std::error_code ignored;
    fs::remove_all(fs::temp_directory_path() / ("quiltor-read-bench-" + std::to_string(::getpid())), ignored);
  }
} cleanup;

// The child of BM_ReadPeakMemory: open the image, read every row if asked.
int ReadImageInChild(const char* image, bool readAll) {
  try {
    auto source = OpenRaster(image);
    if (!source) return 1;
    if (readAll) {
      std::vector<std::uint8_t> row(std::size_t(source->width()) * source->pixelMode());
      for (int y = 0; y < source->height(); ++y) ReadRasterLine(source.get(), y, row.data());
    }
    CloseRaster(source);
    bench::ReportPeakToParent();
    return 0;
  } catch (const QuiltorError&) {
    return 1;
  }
}

}  // namespace
}  // namespace quiltor

int main(int argc, char** argv) {
  if (const char* image = std::getenv("QUILTOR_BENCH_READ_IMAGE")) {
    const char* all = std::getenv("QUILTOR_BENCH_READ_ALL");
    return quiltor::ReadImageInChild(image, all != nullptr && all[0] == '1');
  }
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
