// Nautical charts in the run-length chart layout (".kap", ".nos"): a text
// header ending at the first Ctrl-Z, then run-length coded rows found through
// a big-endian row index whose position the last four bytes of the file give.
// Rows are decoded at first use and kept in a 12 MiB row cache.
#include <array>
#include <string>
#include <string_view>
#include <vector>

#include "common/error.h"
#include "common/text.h"
#include "raster/block_cache.h"
#include "raster/formats/format_readers.h"
#include "raster/byte_file.h"

namespace quiltor {
namespace {

constexpr std::size_t kRowCacheBytes = 12582912;  // 12 MiB of decoded rows
constexpr std::size_t kEvictDivisor = 10;
constexpr std::size_t kMaxHeaderBytes = 4u << 20;
constexpr int kMaxChartWidth = 1 << 20;
constexpr char kEndOfText = 0x1A;

struct ChartHeader {
  std::string version;
  int width = 0;
  int height = 0;
  int rowIndexStep = 1;
  int bitsPerPixel = 1;
  int colourCount = 0;
  std::array<std::array<std::uint8_t, 3>, 256> colours{};  // red, green, blue
  std::uint64_t textBytes = 0;
};

// The header text up to the first Ctrl-Z; nullopt when there is none within
// the size a header can have (the file has no binary part then).
std::optional<std::string> ReadHeaderText(const ByteFile& file, std::uint64_t fileSize) {
  std::string text;
  std::vector<char> chunk(65536);
  std::uint64_t offset = 0;
  while (offset < fileSize && offset < kMaxHeaderBytes) {
    const std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(chunk.size(), fileSize - offset));
    if (!file.ReadAll(offset, chunk.data(), want)) return std::nullopt;
    const std::string_view piece(chunk.data(), want);
    const std::size_t end = piece.find(kEndOfText);
    if (end != std::string_view::npos) {
      text.append(piece.substr(0, end));
      return text;
    }
    text.append(piece);
    offset += want;
  }
  return std::nullopt;
}

// Physical lines joined into logical ones: a line that starts with four
// spaces continues the line before it, trimmed and after a ",".
std::vector<std::string> LogicalLines(std::string_view text) {
  std::vector<std::string> lines;
  while (!text.empty()) {
    const std::size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    text = end == std::string_view::npos ? std::string_view{} : text.substr(end + 1);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (line.substr(0, 4) == "    " && !lines.empty()) {
      lines.back() += ",";
      lines.back() += TrimSpaces(line);
    } else {
      lines.emplace_back(line);
    }
  }
  return lines;
}

void ReadRasterSize(std::string_view rest, int widthField, ChartHeader& header) {
  const std::size_t at = rest.find("RA=");
  if (at == std::string_view::npos) return;
  const std::string_view item = rest.substr(at + 3);
  header.width = CsvInt(item, widthField, 0);
  header.height = CsvInt(item, widthField + 1, 0) - 1;
}

void InterpretLine(std::string_view line, bool nosChart, ChartHeader& header) {
  const std::size_t slash = line.find('/');
  if (slash == std::string_view::npos || slash == 0) return;
  const std::string key = ToUpperAscii(TrimSpaces(line.substr(0, slash)));
  const std::string_view rest = line.substr(slash + 1);
  if (key == "BSB" && !nosChart) {
    ReadRasterSize(rest, 1, header);
  } else if (key == "NOS" && nosChart) {
    ReadRasterSize(rest, 3, header);
  } else if (key == "OST") {
    header.rowIndexStep = CsvInt(rest, 1, 1);
  } else if (key == "IFM") {
    header.bitsPerPixel = CsvInt(rest, 1, 1);
  } else if (key == "VER") {
    header.version = TrimSpaces(rest).substr(0, 4);
  } else if (key == "RGB") {
    const int index = CsvInt(rest, 1, -1);
    if (index >= 0 && index < 256) {
      for (int c = 0; c < 3; ++c) header.colours[index][c] = static_cast<std::uint8_t>(CsvInt(rest, c + 2, 0) & 0xFF);
    }
    ++header.colourCount;
  }
}

bool IsNosChart(const std::filesystem::path& path) {
  return ToUpperAscii(path.extension().string()).find(".NO") != std::string::npos;
}

std::optional<ChartHeader> ParseHeader(const std::filesystem::path& path, const ByteFile& file,
                                       std::uint64_t fileSize) {
  const auto text = ReadHeaderText(file, fileSize);
  if (!text) return std::nullopt;
  ChartHeader header;
  header.textBytes = text->size();
  const bool nosChart = IsNosChart(path);
  for (const std::string& line : LogicalLines(*text)) InterpretLine(line, nosChart, header);
  if (header.width <= 0 || header.width > kMaxChartWidth || header.height <= 0) return std::nullopt;
  if (header.bitsPerPixel < 1 || header.bitsPerPixel > 7 || header.rowIndexStep < 1) return std::nullopt;
  return header;
}

// The row positions, then the end of the last row; all inside the file.
std::optional<std::vector<std::uint32_t>> ReadRowIndex(const ByteFile& file, std::uint64_t fileSize,
                                                       const ChartHeader& header) {
  std::uint8_t tail[4];
  if (fileSize < 4 || !file.ReadAll(fileSize - 4, tail, 4)) return std::nullopt;
  const std::uint64_t indexAt = LoadBe32(tail);
  const std::uint64_t count = static_cast<std::uint64_t>(header.height / header.rowIndexStep) + 2;
  if (indexAt < header.textBytes || indexAt > fileSize || count * 4 > fileSize - indexAt) return std::nullopt;
  std::vector<std::uint8_t> raw(static_cast<std::size_t>(count * 4));
  if (!file.ReadAll(indexAt, raw.data(), raw.size())) return std::nullopt;
  std::vector<std::uint32_t> index(static_cast<std::size_t>(count));
  for (std::size_t i = 0; i < index.size(); ++i) {
    index[i] = LoadBe32(&raw[i * 4]);
    if (index[i] > fileSize) return std::nullopt;
  }
  return index;
}

// Decodes one row's bytes into `row` (width palette indices, zeroed).
void DecodeRuns(const std::vector<std::uint8_t>& bytes, int bitsPerPixel, int width, std::uint8_t* row) {
  const int shift = 7 - bitsPerPixel;
  const int colourMask = ((1 << bitsPerPixel) - 1) << shift;
  const int countMask = (1 << shift) - 1;
  std::size_t p = 0;
  while (p < bytes.size() && (bytes[p] & 0x80) != 0) ++p;  // the row number
  ++p;
  int x = 0;
  while (p < bytes.size()) {
    std::uint8_t byte = bytes[p++];
    const auto colour = static_cast<std::uint8_t>((byte & colourMask) >> shift);
    std::uint64_t count = byte & countMask;
    while ((byte & 0x80) != 0 && p < bytes.size()) {
      byte = bytes[p++];
      count = std::min<std::uint64_t>(count * 128 + (byte & 0x7F), static_cast<std::uint64_t>(width));
    }
    const int end = static_cast<int>(std::min<std::uint64_t>(static_cast<std::uint64_t>(x) + count + 1,
                                                             static_cast<std::uint64_t>(width)));
    for (; x < end; ++x) row[x] = colour;
  }
  if (x == width - 1) row[x] = 0;  // a single pixel left over is background
}

class ChartReader final : public RasterReader {
 public:
  ChartReader(ByteFile file, const ChartHeader& header, std::vector<std::uint32_t> rowIndex)
      : file_(std::move(file)), header_(header), rowIndex_(std::move(rowIndex)),
        cache_(static_cast<std::size_t>(header.height), kRowCacheBytes / static_cast<std::size_t>(header.width),
               kEvictDivisor) {
    width_ = header.width;
    height_ = header.height;
    pixelMode_ = 1;
    const int entries = std::min(header.colourCount, 255);
    for (int i = 1; i <= entries; ++i) {
      const auto& c = header.colours[i];
      palette_[i] = Rgbquad{c[2], c[1], c[0], 0};
    }
  }

  void ReadRow(int y, std::uint8_t* buffer) override {
    const std::uint8_t* row = Row(y);
    std::copy_n(row, width_, buffer);
  }

  void FetchPixel(int x, int y, std::uint8_t* out) override {
    const auto& c = header_.colours[Row(y)[x]];
    out[0] = c[2];
    out[1] = c[1];
    out[2] = c[0];
  }

  void ReleaseCaches() override { cache_.Clear(); }

 private:
  const std::uint8_t* Row(int y) {
    const auto index = static_cast<std::size_t>(y);
    if (const std::uint8_t* cached = cache_.Find(index)) return cached;
    std::uint8_t* row = cache_.Insert(index, static_cast<std::size_t>(width_));
    Decode(index, row);
    return row;
  }

  // A row without an index entry, or whose end lies before its start, stays
  // blank.
  void Decode(std::size_t y, std::uint8_t* row) {
    if (y + 1 >= rowIndex_.size() || rowIndex_[y + 1] < rowIndex_[y]) return;
    std::vector<std::uint8_t> bytes(rowIndex_[y + 1] - rowIndex_[y]);
    if (!bytes.empty() && !file_.ReadAll(rowIndex_[y], bytes.data(), bytes.size())) {
      throw QuiltorError("chart row could not be read");
    }
    DecodeRuns(bytes, header_.bitsPerPixel, width_, row);
  }

  ByteFile file_;
  ChartHeader header_;
  std::vector<std::uint32_t> rowIndex_;
  BlockCache cache_;
};

}  // namespace

std::unique_ptr<RasterReader> OpenChartReader(const std::filesystem::path& path) {
  ByteFile file = ByteFile::TryOpen(path, "rb");
  if (!file) return nullptr;
  const auto header = ParseHeader(path, file, file.size());
  if (!header) return nullptr;
  auto rowIndex = ReadRowIndex(file, file.size(), *header);
  if (!rowIndex) return nullptr;
  return std::make_unique<ChartReader>(std::move(file), *header, std::move(*rowIndex));
}

bool QueryChartInfo(const std::filesystem::path& path, ImageInfo& info) {
  const auto reader = OpenChartReader(path);
  if (!reader) return false;
  info.width = reader->width();
  info.height = reader->height();
  info.pixelMode = 1;
  return true;
}

namespace {
constexpr std::string_view kChartExtensions[] = {".kap", ".nos"};
std::unique_ptr<RasterReader> OpenChart(const std::filesystem::path& path, std::string&) { return OpenChartReader(path); }
}  // namespace

extern const RasterFormat kChartFormat{.extensions = kChartExtensions,
                                       .mapImage = true,
                                       .openStreamed = OpenChart,
                                       .cacheRelease = true,
                                       .queryHeader = QueryChartInfo};

}  // namespace quiltor
