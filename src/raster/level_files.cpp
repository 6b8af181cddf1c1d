#include "raster/level_files.h"

#include <zlib.h>

#include <array>
#include <string>

#include "common/error.h"

namespace quiltor::level_files {
namespace {

constexpr std::array<std::uint8_t, 8> kRowScramble = {0x5a, 0xc1, 0x37, 0x9e, 0x04, 0xeb, 0x72, 0x28};
constexpr std::uint64_t kPaletteImageRowsStart = 8 + 1024;

// Deflates `count` bytes at level 9 into `packed` (grown as needed) and
// scrambles the result; returns its length.
std::size_t PackRow(const std::uint8_t* row, std::size_t count, std::vector<std::uint8_t>& packed) {
  uLongf length = compressBound(static_cast<uLong>(count));
  if (packed.size() < length) packed.resize(length);
  if (compress2(packed.data(), &length, row, static_cast<uLong>(count), 9) != Z_OK) {
    throw QuiltorError("row compression failed");
  }
  FixedScramble(packed.data(), length);
  return length;
}

void UnpackRow(std::uint8_t* packed, std::size_t length, std::uint8_t* row, std::size_t count) {
  FixedScramble(packed, length);
  uLongf out = static_cast<uLongf>(count);
  if (uncompress(row, &out, packed, static_cast<uLong>(length)) != Z_OK || out != count) {
    throw QuiltorError("damaged row in a work file");
  }
}

class PaletteImageReader : public RasterReader {
 public:
  explicit PaletteImageReader(const std::filesystem::path& path) : file_(path, "rb") {
    std::uint8_t head[kPaletteImageRowsStart];
    file_.ReadExact(0, head, sizeof head);
    width_ = static_cast<int>(LoadLe32(head));
    height_ = static_cast<int>(LoadLe32(head + 4));
    if (width_ <= 0 || height_ <= 0) throw QuiltorError("damaged level image " + path.string());
    pixelMode_ = 1;
    for (int i = 0; i < 256; ++i) {
      palette_[static_cast<std::size_t>(i)] = Rgbquad{head[8 + i * 4], head[9 + i * 4], head[10 + i * 4], head[11 + i * 4]};
    }
    const std::uint64_t tableBytes = 8 * (static_cast<std::uint64_t>(height_) + 1);
    if (file_.size() < kPaletteImageRowsStart + tableBytes) throw QuiltorError("damaged level image " + path.string());
    std::vector<std::uint8_t> table(tableBytes);
    file_.ReadExact(file_.size() - tableBytes, table.data(), table.size());
    FixedScramble(table.data(), table.size());
    rowStarts_.resize(static_cast<std::size_t>(height_) + 1);
    for (std::size_t i = 0; i < rowStarts_.size(); ++i) rowStarts_[i] = LoadLe64(table.data() + i * 8);
  }

  void ReadRow(int y, std::uint8_t* buffer) override {
    const std::uint64_t start = rowStarts_[static_cast<std::size_t>(y)];
    const std::uint64_t end = rowStarts_[static_cast<std::size_t>(y) + 1];
    if (end < start || end > file_.size()) throw QuiltorError("damaged row table in a level image");
    packed_.resize(static_cast<std::size_t>(end - start));
    file_.ReadExact(start, packed_.data(), packed_.size());
    UnpackRow(packed_.data(), packed_.size(), buffer, static_cast<std::size_t>(width_));
  }
  void FetchPixel(int, int, std::uint8_t*) override {}  // rows only

 private:
  ByteFile file_;
  std::vector<std::uint64_t> rowStarts_;
  std::vector<std::uint8_t> packed_;
};

}  // namespace

void FixedScramble(std::uint8_t* buffer, std::size_t count) {
  for (std::size_t i = 0; i < count; ++i) buffer[i] ^= kRowScramble[i % kRowScramble.size()];
}

RowStreamWriter::RowStreamWriter(const std::filesystem::path& path, int width) : file_(path, "wb"), width_(width) {}

void RowStreamWriter::WriteRow(const std::uint8_t* row) {
  const std::size_t length = PackRow(row, static_cast<std::size_t>(width_) * 3, packed_);
  std::uint8_t prefix[4];
  StoreLe32(prefix, static_cast<std::uint32_t>(length));
  file_.Write(prefix, 4);
  file_.Write(packed_.data(), length);
}

void RowStreamWriter::Finish() { file_.Close(); }

RowStreamReader::RowStreamReader(const std::filesystem::path& path, int width) : file_(path, "rb"), width_(width) {}

void RowStreamReader::ReadRow(std::uint8_t* row) {
  std::uint8_t prefix[4];
  file_.ReadExact(position_, prefix, 4);
  const std::uint32_t length = LoadLe32(prefix);
  if (length > file_.size() - position_ - 4) throw QuiltorError("damaged row stream");
  packed_.resize(length);
  file_.ReadExact(position_ + 4, packed_.data(), length);
  position_ += 4 + static_cast<std::uint64_t>(length);
  UnpackRow(packed_.data(), length, row, static_cast<std::size_t>(width_) * 3);
}

PaletteImageWriter::PaletteImageWriter(const std::filesystem::path& path, int width, int height,
                                       const Palette& palette)
    : file_(path, "wb"), width_(width), height_(height) {
  std::uint8_t head[kPaletteImageRowsStart];
  StoreLe32(head, static_cast<std::uint32_t>(width));
  StoreLe32(head + 4, static_cast<std::uint32_t>(height));
  for (int i = 0; i < 256; ++i) {
    const Rgbquad& e = palette[static_cast<std::size_t>(i)];
    head[8 + i * 4] = e.blue;
    head[9 + i * 4] = e.green;
    head[10 + i * 4] = e.red;
    head[11 + i * 4] = e.reserved;
  }
  file_.Write(head, sizeof head);
  position_ = sizeof head;
  rowStarts_.reserve(static_cast<std::size_t>(height) + 1);
}

void PaletteImageWriter::WriteRow(const std::uint8_t* indices) {
  if (static_cast<int>(rowStarts_.size()) >= height_) throw QuiltorError("level image written past its last row");
  const std::size_t length = PackRow(indices, static_cast<std::size_t>(width_), packed_);
  rowStarts_.push_back(position_);
  file_.Write(packed_.data(), length);
  position_ += length;
}

void PaletteImageWriter::Finish() {
  if (static_cast<int>(rowStarts_.size()) != height_) throw QuiltorError("level image finished before its last row");
  rowStarts_.push_back(position_);
  std::vector<std::uint8_t> table(rowStarts_.size() * 8);
  for (std::size_t i = 0; i < rowStarts_.size(); ++i) StoreLe64(table.data() + i * 8, rowStarts_[i]);
  FixedScramble(table.data(), table.size());
  file_.Write(table.data(), table.size());
  file_.Close();
}

std::unique_ptr<RasterReader> OpenPaletteImage(const std::filesystem::path& path) {
  return std::make_unique<PaletteImageReader>(path);
}

}  // namespace quiltor::level_files
