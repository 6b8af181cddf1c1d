#pragma once
// The intermediate files of the zoom pipeline inside a conversion's work
// folder: row streams of true-colour rows ("temp.qtx0", "temp2s.qtx0") read
// strictly in order, and palette level images (".qtx0": size, palette, rows
// of indices, row table) read back by row. Every row is one zlib stream at
// level 9, lightly scrambled. These files never leave the work folder.
#include <cstdint>
#include <filesystem>
#include <memory>
#include <vector>

#include "raster/bitmap.h"
#include "raster/byte_file.h"
#include "raster/raster_reader.h"

namespace quiltor::level_files {

// XOR with a fixed 8-byte table; its own inverse.
void FixedScramble(std::uint8_t* buffer, std::size_t count);

class RowStreamWriter {
 public:
  RowStreamWriter(const std::filesystem::path& path, int width);
  void WriteRow(const std::uint8_t* row);  // width * 3 bytes
  void Finish();

 private:
  ByteFile file_;
  int width_;
  std::vector<std::uint8_t> packed_;
};

class RowStreamReader {
 public:
  RowStreamReader(const std::filesystem::path& path, int width);
  void ReadRow(std::uint8_t* row);  // the next row; QuiltorError past the end

 private:
  ByteFile file_;
  int width_;
  std::uint64_t position_ = 0;
  std::vector<std::uint8_t> packed_;
};

class PaletteImageWriter {
 public:
  PaletteImageWriter(const std::filesystem::path& path, int width, int height, const Palette& palette);
  void WriteRow(const std::uint8_t* indices);  // width bytes
  void Finish();                               // appends the row table

 private:
  ByteFile file_;
  int width_;
  int height_;
  std::uint64_t position_ = 0;
  std::vector<std::uint64_t> rowStarts_;
  std::vector<std::uint8_t> packed_;
};

// Opens a palette level image; QuiltorError when it is damaged.
std::unique_ptr<RasterReader> OpenPaletteImage(const std::filesystem::path& path);

}  // namespace quiltor::level_files
