// Fuzzes the reader of Windows bitmaps (every depth, RLE, bit fields) through the image dispatch.
#include "image_fuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  quiltor::fuzz::ExerciseImage(data, size, ".bmp");
  return 0;
}
