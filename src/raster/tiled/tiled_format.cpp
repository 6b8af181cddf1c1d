#include "raster/tiled/tiled_format.h"

#include <algorithm>

namespace quiltor::tiled {

void KeyedScramble(std::uint8_t* buffer, std::uint8_t key, std::size_t count) {
  for (std::size_t i = 0; i < count; ++i) {
    buffer[i] ^= static_cast<std::uint8_t>(key + kScrambleTable[i % kScrambleTable.size()]);
  }
}

void OffsetTableScramble(std::uint8_t* buffer, std::uint8_t key, std::size_t count) {
  for (std::size_t i = 0; i < count; ++i) {
    buffer[i] ^= static_cast<std::uint8_t>(key + kOffsetScrambleTable[i % kOffsetScrambleTable.size()]);
  }
}

const SchemeMarker* FindSchemeMarker(const std::uint8_t* bytes) {
  for (const SchemeMarker& marker : kSchemeMarkers) {
    if (std::equal(marker.bytes.begin(), marker.bytes.end(), bytes)) return &marker;
  }
  return nullptr;
}

}  // namespace quiltor::tiled
