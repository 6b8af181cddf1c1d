#pragma once
// Temporary images of the map creation pipeline, compressed row by row so
// that images far larger than memory pass through sharpening, resizing and
// colour mapping one row at a time:
//   ".qtxx0"  true-colour rows (blue, green, red), keyed scramble;
//   ".qtx0"   palette rows with a 256-entry palette, fixed scramble;
//   row stream  bare compressed true-colour rows, read strictly in order.
// These files never leave the program; the scramble tables are its own.
#include <array>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <random>
#include <vector>

#include "raster/bitmap.h"
#include "raster/byte_file.h"
#include "raster/raster_reader.h"
#include "raster/zlib_stream.h"

namespace quiltor {

inline constexpr int kTrueColourHeaderBytes = 270;
inline constexpr int kPaletteHeaderBytes = 1032;
inline constexpr int kMaxTempRows = 500000;
inline constexpr int kTrueColourKeyIndex = 63;  // in the 256-byte filler

void FixedScramble(std::uint8_t* buffer, std::size_t count);
void KeyedScramble16(std::uint8_t* buffer, std::uint8_t key, std::size_t count);

// Rows handed to a writer wait here until there are enough to deflate side
// by side on the writer's threads; they reach the file in row order, and
// each row is its own stream, so the file is the same for any number of
// threads.
class PendingRows {
 public:
  PendingRows(std::size_t rowBytes, int threads);
  // Copies the row in; true when the batch is full and must be flushed.
  bool Add(const std::uint8_t* row);
  // Deflates the waiting rows and hands their streams, in row order, to
  // `put` (which may scramble them in place).
  void Flush(const std::function<void(std::uint8_t* stream, std::size_t length)>& put);

 private:
  std::size_t rowBytes_;
  BlockDeflater deflater_;
  int capacity_;
  int count_ = 0;
  std::vector<std::uint8_t> rows_;
};

// Writes a ".qtxx0" file: construct, WriteRow height times top to bottom,
// Finish. Rows are deflated on `threads` threads (0: one per core), a few
// rows at a time. Several writers may be open at once. Errors throw
// QuiltorError.
class TrueColourTempWriter {
 public:
  TrueColourTempWriter(const std::filesystem::path& path, int width, int height, int threads = 1);
  void WriteRow(const std::uint8_t* bgr);  // width * 3 bytes
  // Writes the waiting rows and the row table and closes the file. A writer
  // destroyed without Finish leaves an incomplete file.
  void Finish();

 private:
  void Put(std::uint8_t* stream, std::size_t length);

  ByteFile file_;
  int width_;
  int height_;
  std::uint8_t key_;
  std::uint64_t position_ = kTrueColourHeaderBytes;
  int rowsAdded_ = 0;
  std::vector<std::uint64_t> rowStarts_;
  PendingRows pending_;
};

// Writes a ".qtx0" file of palette indices with its palette.
class PaletteTempWriter {
 public:
  PaletteTempWriter(const std::filesystem::path& path, int width, int height, const Palette& palette,
                    int threads = 1);
  void WriteRow(const std::uint8_t* indices);  // width bytes
  void Finish();

 private:
  void Put(std::uint8_t* stream, std::size_t length);

  ByteFile file_;
  int width_;
  int height_;
  std::uint64_t position_ = kPaletteHeaderBytes;
  int rowsAdded_ = 0;
  std::vector<std::uint64_t> rowStarts_;
  PendingRows pending_;
};

// The reader of both kinds, chosen by `trueColour` (".qtxx0") or not
// (".qtx0"). Open throws QuiltorError for a file whose structure is damaged.
class TempImageReader : public RasterReader {
 public:
  static std::unique_ptr<TempImageReader> Open(const std::filesystem::path& path, bool trueColour);

  // False for a row outside the image (buffer untouched) and for a row whose
  // stored bytes are incomplete (the row reads as zeros). A stored row that
  // does not inflate to a whole row throws QuiltorError.
  bool ReadTempRow(int row, std::uint8_t* buffer);

  void ReadRow(int y, std::uint8_t* buffer) override { ReadTempRow(y, buffer); }
  void FetchPixel(int, int, std::uint8_t*) override {}  // rows only

 private:
  TempImageReader(ByteFile file, bool trueColour) : file_(std::move(file)), trueColour_(trueColour) {}
  ByteFile file_;
  bool trueColour_;
  std::uint8_t key_ = 0;
  std::vector<std::uint64_t> rowTable_;
  std::vector<std::uint8_t> packed_;
  ZlibInflater inflater_;
};

// The bare row stream between resizing and sharpening.
class RowStreamWriter {
 public:
  RowStreamWriter(const std::filesystem::path& path, int width, int threads = 1);
  void WriteRow(const std::uint8_t* bgr);
  void Finish();

 private:
  void Put(std::uint8_t* stream, std::size_t length);

  ByteFile file_;
  int width_;
  PendingRows pending_;
};

class RowStreamReader {
 public:
  RowStreamReader(const std::filesystem::path& path, int width);
  // Next row into `bgr` (width * 3 bytes); false at the end of the stream.
  // A damaged row throws QuiltorError.
  bool ReadRow(std::uint8_t* bgr);

 private:
  ByteFile file_;
  int width_;
  std::uint64_t position_ = 0;
  std::vector<std::uint8_t> packed_;
  ZlibInflater inflater_;
};

}  // namespace quiltor
