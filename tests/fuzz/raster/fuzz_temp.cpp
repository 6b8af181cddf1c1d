// Fuzzes the temporary image readers. The first input byte picks the kind:
// the true-colour ".qtxx0" and the palette ".qtx0" are opened through the
// image dispatch; the row stream (no header, its width known to the reader)
// takes its width from the next two bytes and is read to its end.
#include "image_fuzz.h"
#include "raster/scratch/temp_image.h"

namespace {

void ReadRowStream(const std::uint8_t* data, std::size_t size) {
  if (size < 2) return;
  const int width = 1 + ((data[0] | (data[1] << 8)) % 4096);
  const std::filesystem::path path = quiltor::fuzz::WriteInputFile(data + 2, size - 2, ".stream");
  try {
    quiltor::RowStreamReader stream(path, width);
    std::vector<std::uint8_t> row(static_cast<std::size_t>(width) * 3);
    for (int rows = 0; rows < 100000 && stream.ReadRow(row.data()); ++rows) {
    }
  } catch (const quiltor::QuiltorError&) {
    // a clean refusal
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  switch (data[0] % 3) {
    case 0:
      quiltor::fuzz::ExerciseImage(data + 1, size - 1, ".qtxx0");
      break;
    case 1:
      quiltor::fuzz::ExerciseImage(data + 1, size - 1, ".qtx0");
      break;
    default:
      ReadRowStream(data + 1, size - 1);
      break;
  }
  return 0;
}
