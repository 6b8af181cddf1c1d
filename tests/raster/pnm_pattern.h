#pragma once
// The source patterns of the raster fixtures, read from the plain-text
// PPM (P3) and PGM (P2) files that make-fixtures.sh handed to the encoders.
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "support/file_bytes.h"

namespace quiltor::testing {

struct Rgb {
  int red = 0;
  int green = 0;
  int blue = 0;
};

struct Pattern {
  int width = 0;
  int height = 0;
  std::vector<Rgb> pixels;  // row by row from the top

  const Rgb& at(int x, int y) const { return pixels[static_cast<std::size_t>(y) * width + x]; }
};

inline std::filesystem::path RasterFixture(const std::string& name) {
  return std::filesystem::path(QUILTOR_SOURCE_DIR) / "tests" / "fixtures" / "raster" / name;
}

inline std::vector<std::uint8_t> ReadFixture(const std::string& name) { return ReadFileBytes(RasterFixture(name)); }

// Test-side reading of the encoders' input; std::stringstream is fine here.
inline Pattern LoadPattern(const std::string& name) {
  std::ifstream in(RasterFixture(name));
  std::stringstream text;
  text << in.rdbuf();
  std::string magic;
  int maxValue = 0;
  Pattern pattern;
  text >> magic >> pattern.width >> pattern.height >> maxValue;
  if ((magic != "P3" && magic != "P2") || maxValue != 255) throw std::runtime_error("not a plain PPM/PGM: " + name);
  const bool grey = magic == "P2";
  pattern.pixels.resize(static_cast<std::size_t>(pattern.width) * pattern.height);
  for (Rgb& p : pattern.pixels) {
    if (grey) {
      text >> p.red;
      p.green = p.blue = p.red;
    } else {
      text >> p.red >> p.green >> p.blue;
    }
  }
  if (!text) throw std::runtime_error("short pattern file: " + name);
  return pattern;
}

}  // namespace quiltor::testing
