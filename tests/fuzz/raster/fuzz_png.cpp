// Fuzzes the reader of PNG images (palette, grey, RGB, alpha, interlaced, 16-bit) through the image dispatch.
#include "image_fuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  quiltor::fuzz::ExerciseImage(data, size, ".png");
  return 0;
}
