// Fuzzes the reader of TIFF images (strips and tiles through the strip and tile caches) through the image dispatch.
#include "image_fuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  quiltor::fuzz::ExerciseImage(data, size, ".tif");
  return 0;
}
