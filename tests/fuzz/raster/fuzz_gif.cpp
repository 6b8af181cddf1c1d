// Fuzzes the reader of GIF images (first image, interlaced, local and global tables) through the image dispatch.
#include "image_fuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  quiltor::fuzz::ExerciseImage(data, size, ".gif");
  return 0;
}
