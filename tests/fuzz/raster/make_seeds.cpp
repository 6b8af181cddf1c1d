// Writes a small seed corpus for every raster fuzz target into OUT/<target>:
// the encoder-made fixtures of each outside format, and for the formats this
// program writes itself (tiled, temporary images, row stream) small files
// made by its own writers; a chart made from the layout. Inputs of the
// targets that pick a kind by their first byte get that byte in front.
//   raster_fuzz_seeds OUT
#include <atomic>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "common/worker_host.h"
#include "raster/byte_file.h"
#include "raster/scratch/temp_image.h"
#include "raster/tiled/tiled_writer.h"

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;
using quiltor::Palette;
using quiltor::Rgbquad;

namespace {

Bytes ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteSeed(const fs::path& path, const Bytes& prefix, const Bytes& body) {
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(prefix.data()), static_cast<std::streamsize>(prefix.size()));
  out.write(reinterpret_cast<const char*>(body.data()), static_cast<std::streamsize>(body.size()));
}

std::uint8_t Shade(int x, int y) { return static_cast<std::uint8_t>((x / 9 + y / 7) % 5); }

Bytes TiledFile(const fs::path& scratch, bool scrambled) {
  const int width = 70, height = 66;
  Palette palette{};
  for (int i = 0; i < 5; ++i) palette[i] = Rgbquad{std::uint8_t(i * 60), std::uint8_t(200 - i * 40), 90, 0};
  palette[5] = Rgbquad{255, 255, 255, 0};
  std::atomic<bool> abort{false};
  quiltor::QuietHost host;
  {
    quiltor::ByteFile file(scratch, "wb");
    quiltor::TiledImageWriter writer(file, scrambled, abort, host);
    writer.WriteHeader(width, height, {100, 50});
    for (int divisor : {1, 2}) {
      const int w = width / divisor, h = height / divisor;
      writer.WriteZoomLevel({w, h, palette, [w, divisor](int row, std::uint8_t* buffer) {
                               for (int x = 0; x < w; ++x) buffer[x] = Shade(x * divisor, row * divisor);
                             }});
    }
    writer.WriteTrailer();
    file.Close();
  }
  return ReadFile(scratch);
}

Bytes TrueColourTemp(const fs::path& scratch) {
  quiltor::TrueColourTempWriter writer(scratch, 20, 12);
  Bytes row(60);
  for (int y = 0; y < 12; ++y) {
    for (int x = 0; x < 60; ++x) row[x] = static_cast<std::uint8_t>(x * 4 + y * 9);
    writer.WriteRow(row.data());
  }
  writer.Finish();
  return ReadFile(scratch);
}

Bytes PaletteTemp(const fs::path& scratch) {
  Palette palette{};
  for (int i = 0; i < 5; ++i) palette[i] = Rgbquad{std::uint8_t(i * 50), 30, std::uint8_t(250 - i * 50), 0};
  quiltor::PaletteTempWriter writer(scratch, 20, 12, palette);
  Bytes row(20);
  for (int y = 0; y < 12; ++y) {
    for (int x = 0; x < 20; ++x) row[x] = Shade(x, y);
    writer.WriteRow(row.data());
  }
  writer.Finish();
  return ReadFile(scratch);
}

Bytes RowStream(const fs::path& scratch, int width) {
  quiltor::RowStreamWriter writer(scratch, width);
  Bytes row(static_cast<std::size_t>(width) * 3);
  for (int y = 0; y < 8; ++y) {
    for (std::size_t i = 0; i < row.size(); ++i) row[i] = static_cast<std::uint8_t>(i + y * 17);
    writer.WriteRow(row.data());
  }
  writer.Finish();
  return ReadFile(scratch);
}

void PutBe32(Bytes& out, std::uint32_t v) {
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<std::uint8_t>(v >> shift));
}

// A 3-bit chart of 40 x 6 pixels: header, Ctrl-Z, rows numbered from 1 made
// of single-byte runs (colour in the top bits, run length - 1 below), the
// big-endian row index and its position.
Bytes Chart() {
  const int width = 40, rows = 6;
  const std::string header = "! seed chart\r\nVER/3.0\r\nBSB/NA=Seed,NU=1,RA=" + std::to_string(width) + "," +
                             std::to_string(rows + 1) +
                             ",DU=254\r\nKNP/SC=50000,GD=WGS84\r\nRGB/1,255,0,0\r\nRGB/2,0,255,0\r\n"
                             "RGB/3,0,0,255\r\nRGB/4,200,200,200\r\nOST/1\r\nIFM/3\r\n";
  Bytes out(header.begin(), header.end());
  out.push_back(0x1A);
  out.push_back(0);
  std::vector<std::uint32_t> positions;
  for (int y = 0; y < rows; ++y) {
    positions.push_back(static_cast<std::uint32_t>(out.size()));
    out.push_back(static_cast<std::uint8_t>(y + 1));
    for (int x = 0; x < width; x += 10) out.push_back(static_cast<std::uint8_t>(((1 + (x / 10 + y) % 4) << 4) | 9));
    out.push_back(0);
  }
  const auto indexAt = static_cast<std::uint32_t>(out.size());
  positions.push_back(indexAt);
  for (std::uint32_t p : positions) PutBe32(out, p);
  PutBe32(out, indexAt);
  return out;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: raster_fuzz_seeds OUT\n");
    return 2;
  }
  const fs::path out = argv[1];
  const std::map<std::string, std::string> fixtureTargets = {
      {".bmp", "bmp"}, {".jpg", "jpeg"}, {".png", "png"}, {".gif", "gif"}, {".tif", "tiff"}};
  for (const auto& [extension, target] : fixtureTargets) fs::create_directories(out / target);
  for (const char* target : {"tiled", "temp", "chart"}) fs::create_directories(out / target);

  for (const auto& entry : fs::directory_iterator(fs::path(QUILTOR_SOURCE_DIR) / "tests/fixtures/raster")) {
    const auto it = fixtureTargets.find(entry.path().extension().string());
    if (it != fixtureTargets.end()) fs::copy_file(entry.path(), out / it->second / entry.path().filename(),
                                                  fs::copy_options::overwrite_existing);
  }

  const fs::path scratch = out / "scratch.tmp";
  const Bytes plain = TiledFile(scratch, false);
  WriteSeed(out / "tiled/whole-qtx", {0}, plain);
  WriteSeed(out / "tiled/plain-qtx2", {1}, plain);
  WriteSeed(out / "tiled/scrambled-qtxx3", {2}, TiledFile(scratch, true));
  WriteSeed(out / "temp/true-colour-qtxx0", {0}, TrueColourTemp(scratch));
  WriteSeed(out / "temp/palette-qtx0", {1}, PaletteTemp(scratch));
  WriteSeed(out / "temp/row-stream", {2, 24, 0}, RowStream(scratch, 25));  // width 1 + 24
  WriteSeed(out / "chart/seed.kap", {}, Chart());
  fs::remove(scratch);
  return 0;
}
