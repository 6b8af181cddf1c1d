#pragma once
// A 24-bit Windows bitmap written straight from its layout, for tests that
// need a source image of their own drawing.
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <vector>

namespace quiltor::testing {

// `pixels` holds the rows top first, width * 3 bytes each (blue, green, red).
inline void WriteBmp24(const std::filesystem::path& path, int width, int height,
                       const std::vector<std::uint8_t>& pixels) {
  const std::size_t rowBytes = (static_cast<std::size_t>(width) * 3 + 3) / 4 * 4;
  std::vector<unsigned char> file(54 + rowBytes * static_cast<std::size_t>(height), 0);
  auto put32 = [&](std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) file[at + static_cast<std::size_t>(i)] = static_cast<unsigned char>(v >> (8 * i));
  };
  file[0] = 'B';
  file[1] = 'M';
  put32(2, static_cast<std::uint32_t>(file.size()));
  put32(10, 54);
  put32(14, 40);
  put32(18, static_cast<std::uint32_t>(width));
  put32(22, static_cast<std::uint32_t>(height));
  file[26] = 1;
  file[28] = 24;
  // Stored bottom row first.
  for (int y = 0; y < height; ++y) {
    const std::uint8_t* row = pixels.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(width) * 3;
    std::copy(row, row + static_cast<std::size_t>(width) * 3,
              file.begin() + static_cast<std::ptrdiff_t>(54 + static_cast<std::size_t>(height - 1 - y) * rowBytes));
  }
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(file.data()),
                                              static_cast<std::streamsize>(file.size()));
}

}  // namespace quiltor::testing
