#pragma once
// What every raster fuzz target does with one input: store it as a file of
// the kind under test (the dispatch chooses the reader by extension alone),
// then drive it the way the program does: header info, open, rows, pixels,
// cache release. A reader may refuse the input (nullptr or QuiltorError);
// anything else that goes wrong (a crash, a leak, a sanitizer report, a
// source that breaks the raster contract) is a finding.
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "common/error.h"
#include "raster/raster_source.h"

namespace quiltor::fuzz {

// The input files of this process, removed when the run ends normally.
struct InputFiles {
  std::vector<std::filesystem::path> paths;
  ~InputFiles() {
    std::error_code ignored;
    for (const auto& path : paths) std::filesystem::remove(path, ignored);
  }
};

// One file per process and extension, rewritten for every input.
inline std::filesystem::path WriteInputFile(const std::uint8_t* data, std::size_t size, const std::string& extension) {
  static InputFiles files;
  const std::filesystem::path path =
      std::filesystem::temp_directory_path() / ("quiltor-fuzz-" + std::to_string(::getpid()) + extension);
  if (std::find(files.paths.begin(), files.paths.end(), path) == files.paths.end()) files.paths.push_back(path);
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) __builtin_trap();
  if (size != 0 && std::fwrite(data, 1, size, file) != size) __builtin_trap();
  std::fclose(file);
  return path;
}

// Rows beyond this many are sampled evenly, so that a header claiming a
// huge (but refused-by-nobody) image keeps each input quick.
inline constexpr int kMaxRowsRead = 4096;
// The harness's own row buffer limit.
inline constexpr std::size_t kMaxRowBytes = std::size_t{64} << 20;

inline void ReadEverything(RasterSource& source) {
  const int width = source.width();
  const int height = source.height();
  if (source.pixelMode() != 1 && source.pixelMode() != 3) __builtin_trap();
  if (width <= 0 || height <= 0) return;
  const std::size_t rowBytes = static_cast<std::size_t>(width) * static_cast<std::size_t>(source.pixelMode());
  if (rowBytes > kMaxRowBytes) return;
  std::vector<std::uint8_t> row(rowBytes);
  const int step = std::max(1, height / kMaxRowsRead);
  for (int y = 0; y < height; y += step) ReadRasterLine(&source, y, row.data());
  ReadRasterLine(&source, height - 1, row.data());
  ReadRasterLine(&source, height, row.data());  // outside: left as it was
  ReadRasterLine(&source, -1, row.data());

  const int xs[] = {0, width / 2, width - 1, -1, width};
  const int ys[] = {0, height / 3, height - 1, -1, height};
  std::uint8_t pixel[3] = {0, 0, 0};
  for (int y : ys) {
    for (int x : xs) source.FetchPixel(x, y, pixel);
  }
  ReleaseRasterCaches(&source);
  source.FetchPixel(width - 1, height - 1, pixel);
}

inline void ExerciseImageFile(const std::filesystem::path& path) {
  std::int32_t width = 0, height = 0, scheme = 0, mode = 0;
  QueryRasterInfo(path, width, height, scheme, mode);
  CheckRasterExtension(path);
  try {
    std::unique_ptr<RasterSource> source = OpenRaster(path);
    if (source) ReadEverything(*source);
    CloseRaster(source);
  } catch (const QuiltorError&) {
    // a clean refusal
  }
}

inline void ExerciseImage(const std::uint8_t* data, std::size_t size, const std::string& extension) {
  ExerciseImageFile(WriteInputFile(data, size, extension));
}

}  // namespace quiltor::fuzz
