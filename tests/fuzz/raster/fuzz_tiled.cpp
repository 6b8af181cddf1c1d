// Fuzzes the tiled chart image reader: the first input byte picks the kind
// (".qtx" decoded whole, ".qtx2" or ".qtxx3" read through the tile cache),
// the rest is the file. The streamed kinds also make a thumbnail, which
// decodes the small level the reader picks, and have every zoom level the
// reader reaches loaded and read, cached and uncached, as the level preview
// and the image info do.
#include "image_fuzz.h"
#include "pipeline/thumbnail.h"
#include "raster/tiled/tiled_format.h"
#include "raster/tiled/tiled_reader.h"

namespace {

void ReadLevel(quiltor::TiledReader& reader) {
  const int width = reader.levelWidth();
  const int height = reader.levelHeight();
  if (width <= 0 || height <= 0 || static_cast<std::size_t>(width) > quiltor::fuzz::kMaxRowBytes) return;
  std::vector<std::uint8_t> row(static_cast<std::size_t>(width));
  const int step = std::max(1, height / quiltor::fuzz::kMaxRowsRead);
  for (int y = 0; y < height; y += step) reader.ReadRow(y, row.data());
  reader.ReadRow(height - 1, row.data());
  std::uint8_t pixel[3];
  for (int y : {0, height / 2, height - 1}) {
    for (int x : {0, width / 2, width - 1}) reader.FetchPixel(x, y, pixel);
  }
}

void ReadEveryLevel(const std::filesystem::path& path, bool cached) {
  try {
    quiltor::TiledReader::Opening opening = quiltor::TiledReader::Open(path, cached);
    if (!opening.reader) return;
    quiltor::TiledReader& reader = *opening.reader;
    const int count = std::min(reader.LevelCount(), quiltor::tiled::kMaxReaderLevels);
    for (int level = 0; level < count; ++level) {
      try {
        reader.LoadZoomLevel(level);
      } catch (const quiltor::QuiltorError&) {
        continue;  // a damaged level is refused; the others stay readable
      }
      ReadLevel(reader);
    }
  } catch (const quiltor::QuiltorError&) {
    // a clean refusal of the file
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  static const char* const kKinds[] = {".qtx", ".qtx2", ".qtxx3"};
  const std::string kind = kKinds[data[0] % 3];
  const std::filesystem::path path = quiltor::fuzz::WriteInputFile(data + 1, size - 1, kind);
  quiltor::fuzz::ExerciseImageFile(path);
  if (kind != ".qtx") {
    quiltor::MakeThumbnail(path.string(), 130, 100);
    ReadEveryLevel(path, true);
    ReadEveryLevel(path, false);
  }
  return 0;
}
