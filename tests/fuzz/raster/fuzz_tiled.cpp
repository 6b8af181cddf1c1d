// Fuzzes the tiled chart image reader: the first input byte picks the kind
// (".qtx" decoded whole, ".qtx2" or ".qtxx3" read through the tile cache),
// the rest is the file. The streamed kinds also make a thumbnail, which
// decodes the small level the reader picks.
#include "image_fuzz.h"
#include "raster/thumbnail.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  static const char* const kKinds[] = {".qtx", ".qtx2", ".qtxx3"};
  const std::string kind = kKinds[data[0] % 3];
  const std::filesystem::path path = quiltor::fuzz::WriteInputFile(data + 1, size - 1, kind);
  quiltor::fuzz::ExerciseImageFile(path);
  if (kind != ".qtx") quiltor::MakeThumbnail(path.string(), 130, 100);
  return 0;
}
