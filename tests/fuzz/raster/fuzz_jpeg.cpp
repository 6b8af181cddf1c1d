// Fuzzes the reader of JPEG images (decoded with two-pass colour quantisation) through the image dispatch.
#include "image_fuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  quiltor::fuzz::ExerciseImage(data, size, ".jpg");
  return 0;
}
