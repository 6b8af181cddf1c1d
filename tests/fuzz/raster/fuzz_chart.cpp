// Fuzzes the reader of nautical charts (text header, run-length rows, row index) through the image dispatch.
#include "image_fuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  quiltor::fuzz::ExerciseImage(data, size, ".kap");
  return 0;
}
