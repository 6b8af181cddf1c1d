#include "raster/scratch/temp_image.h"

#include <cstring>

#include "common/error.h"
#include "raster/raster_format.h"
#include "raster/zlib_stream.h"

namespace quiltor {

namespace {

constexpr std::array<std::uint8_t, 8> kFixedTable = {0xa5, 0x3c, 0x96, 0x0f, 0x5a, 0xc3, 0x69, 0xf0};
constexpr std::array<std::uint8_t, 16> kKeyedTable = {0x17, 0x8e, 0x42, 0xd9, 0x6b, 0x30, 0xf5, 0xac,
                                                      0x04, 0x7d, 0xb1, 0x5e, 0xe8, 0x23, 0x9f, 0xc6};
constexpr std::uint8_t kTrueColourMagic[6] = {'Q', 'T', 'X', 'X', '0', '1'};
// Widest row a temporary image may have (the creation grid is far smaller).
constexpr int kMaxTempWidth = 1 << 22;

void CheckSize(int width, int height) {
  if (width <= 0 || height <= 0 || width > kMaxTempWidth || height > kMaxTempRows) {
    throw QuiltorError("temporary image size out of range");
  }
}

// Bytes of one row of a temporary image of that size, refused out of range.
std::size_t RowBytes(int width, int height, int bytesPerPixel) {
  CheckSize(width, height);
  return static_cast<std::size_t>(width) * static_cast<std::size_t>(bytesPerPixel);
}

// Rows of the temporary images are written once and read back once or
// twice within the same create: the fastest level, since only disk space
// (not the created map) depends on how well they pack.
constexpr int kRowDeflateLevel = 1;

void Inflate(ZlibInflater& inflater, const std::uint8_t* data, std::size_t count, std::uint8_t* out,
             std::size_t expected) {
  if (!inflater.Inflate(data, count, out, expected)) throw QuiltorError("temporary image row does not inflate");
}

std::vector<std::uint8_t> TableBytes(const std::vector<std::uint64_t>& table) {
  std::vector<std::uint8_t> bytes(8 * table.size());
  for (std::size_t i = 0; i < table.size(); ++i) StoreLe64(bytes.data() + 8 * i, table[i]);
  return bytes;
}

// Row table of `height` + 1 entries: entry rows written holds the end, later
// entries (rows never written) stay 0 and read as incomplete.
std::vector<std::uint64_t> FinishedTable(const std::vector<std::uint64_t>& starts, std::uint64_t end, int height) {
  std::vector<std::uint64_t> table(static_cast<std::size_t>(height) + 1, 0);
  std::copy(starts.begin(), starts.end(), table.begin());
  table[starts.size()] = end;
  return table;
}

// Rows deflated side by side per worker: enough to keep every worker busy,
// few enough that a wide true-colour image holds only a few megabytes.
constexpr int kRowsPerWorker = 4;

}  // namespace

PendingRows::PendingRows(std::size_t rowBytes, int threads)
    : rowBytes_(rowBytes),
      deflater_(kRowDeflateLevel, threads),
      capacity_(kRowsPerWorker * deflater_.workers()),
      rows_(rowBytes * static_cast<std::size_t>(capacity_)) {}

bool PendingRows::Add(const std::uint8_t* row) {
  std::memcpy(rows_.data() + static_cast<std::size_t>(count_) * rowBytes_, row, rowBytes_);
  return ++count_ == capacity_;
}

void PendingRows::Flush(const std::function<void(std::uint8_t* stream, std::size_t length)>& put) {
  deflater_.Deflate(rows_.data(), rowBytes_, count_);
  const int flushed = count_;
  count_ = 0;
  for (int i = 0; i < flushed; ++i) put(deflater_.stream(i), deflater_.length(i));
}

namespace {

// XORs `count` bytes with `pattern` repeated from its start. Every row of a
// temporary image passes through here on its way to and from the disk, so
// the pattern is widened to 64 bytes once and applied a block at a time,
// which the compiler turns into vector instructions.
template <std::size_t Period>
void XorRepeating(std::uint8_t* buffer, std::size_t count, const std::array<std::uint8_t, Period>& pattern) {
  constexpr std::size_t kBlock = 64;
  static_assert(kBlock % Period == 0);
  std::array<std::uint8_t, kBlock> block;
  for (std::size_t i = 0; i < kBlock; ++i) block[i] = pattern[i % Period];
  std::size_t i = 0;
  for (; i + kBlock <= count; i += kBlock) {
    for (std::size_t k = 0; k < kBlock; ++k) buffer[i + k] ^= block[k];
  }
  for (std::size_t k = 0; i < count; ++i, ++k) buffer[i] ^= block[k];
}

}  // namespace

void FixedScramble(std::uint8_t* buffer, std::size_t count) { XorRepeating(buffer, count, kFixedTable); }

void KeyedScramble16(std::uint8_t* buffer, std::uint8_t key, std::size_t count) {
  std::array<std::uint8_t, kKeyedTable.size()> keyed;
  for (std::size_t i = 0; i < keyed.size(); ++i) keyed[i] = static_cast<std::uint8_t>(key + kKeyedTable[i]);
  XorRepeating(buffer, count, keyed);
}

TrueColourTempWriter::TrueColourTempWriter(const std::filesystem::path& path, int width, int height, int threads)
    : width_(width), height_(height), pending_(RowBytes(width, height, 3), threads) {
  file_ = ByteFile(path, "wb");
  std::random_device seed;
  std::mt19937 random(seed());
  std::uniform_int_distribution<int> fillerByte(0, 254);
  std::uint8_t header[kTrueColourHeaderBytes];
  std::memcpy(header, kTrueColourMagic, 6);
  for (int i = 0; i < 256; ++i) header[6 + i] = static_cast<std::uint8_t>(fillerByte(random));
  key_ = header[6 + kTrueColourKeyIndex];
  StoreLe32(header + 262, static_cast<std::uint32_t>(width));
  KeyedScramble16(header + 262, key_, 4);
  StoreLe32(header + 266, static_cast<std::uint32_t>(height));
  KeyedScramble16(header + 266, key_, 4);
  file_.Write(header, sizeof header);
  rowStarts_.reserve(static_cast<std::size_t>(height));
}

void TrueColourTempWriter::WriteRow(const std::uint8_t* bgr) {
  if (rowsAdded_ >= height_) throw QuiltorError("more rows than the temporary image holds");
  ++rowsAdded_;
  if (pending_.Add(bgr)) pending_.Flush([this](std::uint8_t* stream, std::size_t length) { Put(stream, length); });
}

void TrueColourTempWriter::Put(std::uint8_t* stream, std::size_t length) {
  KeyedScramble16(stream, key_, length);
  file_.Write(stream, length);
  rowStarts_.push_back(position_);
  position_ += length;
}

void TrueColourTempWriter::Finish() {
  pending_.Flush([this](std::uint8_t* stream, std::size_t length) { Put(stream, length); });
  std::vector<std::uint8_t> table = TableBytes(FinishedTable(rowStarts_, position_, height_));
  KeyedScramble16(table.data(), key_, table.size());
  file_.Write(table.data(), table.size());
  file_.Close();
}

PaletteTempWriter::PaletteTempWriter(const std::filesystem::path& path, int width, int height, const Palette& palette,
                                     int threads)
    : width_(width), height_(height), pending_(RowBytes(width, height, 1), threads) {
  file_ = ByteFile(path, "wb");
  std::uint8_t header[kPaletteHeaderBytes];
  StoreLe32(header, static_cast<std::uint32_t>(width));
  StoreLe32(header + 4, static_cast<std::uint32_t>(height));
  for (int i = 0; i < 256; ++i) {
    header[8 + 4 * i] = palette[i].blue;
    header[9 + 4 * i] = palette[i].green;
    header[10 + 4 * i] = palette[i].red;
    header[11 + 4 * i] = palette[i].reserved;
  }
  file_.Write(header, sizeof header);
  rowStarts_.reserve(static_cast<std::size_t>(height));
}

void PaletteTempWriter::WriteRow(const std::uint8_t* indices) {
  if (rowsAdded_ >= height_) throw QuiltorError("more rows than the temporary image holds");
  ++rowsAdded_;
  if (pending_.Add(indices)) pending_.Flush([this](std::uint8_t* stream, std::size_t length) { Put(stream, length); });
}

void PaletteTempWriter::Put(std::uint8_t* stream, std::size_t length) {
  FixedScramble(stream, length);
  file_.Write(stream, length);
  rowStarts_.push_back(position_);
  position_ += length;
}

void PaletteTempWriter::Finish() {
  pending_.Flush([this](std::uint8_t* stream, std::size_t length) { Put(stream, length); });
  std::vector<std::uint8_t> table = TableBytes(FinishedTable(rowStarts_, position_, height_));
  FixedScramble(table.data(), table.size());
  file_.Write(table.data(), table.size());
  file_.Close();
}

std::unique_ptr<TempImageReader> TempImageReader::Open(const std::filesystem::path& path, bool trueColour) {
  std::unique_ptr<TempImageReader> reader(new TempImageReader(ByteFile(path, "rb"), trueColour));
  ByteFile& file = reader->file_;
  std::uint64_t headerBytes = kPaletteHeaderBytes;
  if (trueColour) {
    std::uint8_t header[kTrueColourHeaderBytes];
    file.ReadExact(0, header, sizeof header);
    reader->key_ = header[6 + kTrueColourKeyIndex];
    KeyedScramble16(header + 262, reader->key_, 4);
    KeyedScramble16(header + 266, reader->key_, 4);
    reader->width_ = static_cast<std::int32_t>(LoadLe32(header + 262));
    reader->height_ = static_cast<std::int32_t>(LoadLe32(header + 266));
    reader->pixelMode_ = 3;
    headerBytes = kTrueColourHeaderBytes;
  } else {
    std::uint8_t header[kPaletteHeaderBytes];
    file.ReadExact(0, header, sizeof header);
    reader->width_ = static_cast<std::int32_t>(LoadLe32(header));
    reader->height_ = static_cast<std::int32_t>(LoadLe32(header + 4));
    for (int i = 0; i < 256; ++i) {
      reader->palette_[i] = Rgbquad{header[8 + 4 * i], header[9 + 4 * i], header[10 + 4 * i], header[11 + 4 * i]};
    }
    reader->pixelMode_ = 1;
  }
  CheckSize(reader->width_, reader->height_);
  const std::uint64_t tableBytes = 8 * (static_cast<std::uint64_t>(reader->height_) + 1);
  if (file.size() < headerBytes + tableBytes) throw QuiltorError("temporary image is truncated");
  std::vector<std::uint8_t> table(tableBytes);
  file.ReadExact(file.size() - tableBytes, table.data(), table.size());
  if (trueColour) {
    KeyedScramble16(table.data(), reader->key_, table.size());
  } else {
    FixedScramble(table.data(), table.size());
  }
  reader->rowTable_.resize(static_cast<std::size_t>(reader->height_) + 1);
  for (std::size_t i = 0; i < reader->rowTable_.size(); ++i) reader->rowTable_[i] = LoadLe64(table.data() + 8 * i);
  return reader;
}

bool TempImageReader::ReadTempRow(int row, std::uint8_t* buffer) {
  if (row < 0 || row >= height_) return false;
  const std::size_t rowBytes = static_cast<std::size_t>(width_) * static_cast<std::size_t>(pixelMode_);
  const std::uint64_t start = rowTable_[row];
  const std::uint64_t end = rowTable_[row + 1];
  // Offsets beyond the file or out of order: the stored bytes cannot all
  // arrive, so the row is incomplete.
  if (end <= start || end > file_.size()) {
    std::memset(buffer, 0, rowBytes);
    return false;
  }
  const std::size_t length = static_cast<std::size_t>(end - start);
  packed_.resize(length);
  if (file_.ReadAt(start, packed_.data(), length) != length) {
    std::memset(buffer, 0, rowBytes);
    return false;
  }
  if (trueColour_) {
    KeyedScramble16(packed_.data(), key_, length);
  } else {
    FixedScramble(packed_.data(), length);
  }
  Inflate(inflater_, packed_.data(), length, buffer, rowBytes);
  return true;
}

RowStreamWriter::RowStreamWriter(const std::filesystem::path& path, int width, int threads)
    : width_(width), pending_(RowBytes(width, 1, 3), threads) {
  file_ = ByteFile(path, "wb");
}

void RowStreamWriter::WriteRow(const std::uint8_t* bgr) {
  if (pending_.Add(bgr)) pending_.Flush([this](std::uint8_t* stream, std::size_t length) { Put(stream, length); });
}

void RowStreamWriter::Put(std::uint8_t* stream, std::size_t length) {
  FixedScramble(stream, length);
  std::uint8_t prefix[4];
  StoreLe32(prefix, static_cast<std::uint32_t>(length));
  file_.Write(prefix, 4);
  file_.Write(stream, length);
}

void RowStreamWriter::Finish() {
  pending_.Flush([this](std::uint8_t* stream, std::size_t length) { Put(stream, length); });
  file_.Close();
}

RowStreamReader::RowStreamReader(const std::filesystem::path& path, int width) : file_(path, "rb"), width_(width) {
  CheckSize(width, 1);
}

bool RowStreamReader::ReadRow(std::uint8_t* bgr) {
  if (position_ >= file_.size()) return false;
  std::uint8_t prefix[4];
  file_.ReadExact(position_, prefix, 4);
  const std::uint32_t length = LoadLe32(prefix);
  if (length == 0 || position_ + 4 + length > file_.size()) throw QuiltorError("row stream is truncated");
  packed_.resize(length);
  file_.ReadExact(position_ + 4, packed_.data(), length);
  FixedScramble(packed_.data(), length);
  Inflate(inflater_, packed_.data(), length, bgr, static_cast<std::size_t>(width_) * 3);
  position_ += 4 + static_cast<std::uint64_t>(length);
  return true;
}

namespace {

std::unique_ptr<RasterReader> OpenPaletteTemp(const std::filesystem::path& path, std::string&) {
  return TempImageReader::Open(path, false);
}
std::unique_ptr<RasterReader> OpenTrueColourTemp(const std::filesystem::path& path, std::string&) {
  return TempImageReader::Open(path, true);
}

constexpr std::string_view kPaletteTempExtensions[] = {".qtx0"};
constexpr std::string_view kTrueColourTempExtensions[] = {".qtxx0"};

}  // namespace

// Work files of the pipeline: rows only, never a map's image.
extern const RasterFormat kTempImageFormat{
    .extensions = kPaletteTempExtensions, .openStreamed = OpenPaletteTemp, .pixelFetch = false};
extern const RasterFormat kTrueColourTempImageFormat{
    .extensions = kTrueColourTempExtensions, .openStreamed = OpenTrueColourTemp, .pixelFetch = false};

}  // namespace quiltor
