#pragma once
// Octree colour quantiser: builds a palette of at most maxColours entries
// from the pixels fed to it. Colours are inserted one by one; after each
// insertion the caller merges nodes while there are too many leaves.
#include <array>
#include <cstdint>
#include <memory>

#include "raster/bitmap.h"

namespace quiltor {

struct TOctreeNode {
  bool isLeaf = false;
  std::int64_t pixelCount = 0;
  std::int64_t redSum = 0;
  std::int64_t greenSum = 0;
  std::int64_t blueSum = 0;
  TOctreeNode* nextReducible = nullptr;  // next node of the same level's list
  // Child i stands for the colour bits (red, green, blue) = (bit 2, 1, 0) of i.
  std::array<std::unique_ptr<TOctreeNode>, 8> children;
};

class TColorQuantizer {
 public:
  // colourBits above 8 throws QuiltorError("ColorBits must be 8 or less").
  TColorQuantizer(int maxColours, int colourBits = 8);
  TColorQuantizer(const TColorQuantizer&) = delete;
  TColorQuantizer& operator=(const TColorQuantizer&) = delete;

  // Counts `times` pixels of the colour into its leaf.
  void InsertColour(std::uint8_t red, std::uint8_t green, std::uint8_t blue, std::int64_t times = 1);
  // Inserts and then merges while there are more leaves than maxColours.
  // Adding a colour `times` times at once gives the same tree as adding it
  // that many times in a row: after the first, its path ends at a leaf, so
  // the others neither create nodes nor merge any.
  void AddColour(std::uint8_t red, std::uint8_t green, std::uint8_t blue, std::int64_t times = 1);
  // Merges the most recently created reducible node of the deepest non-empty
  // level into a leaf. False when no node is left to merge.
  bool ReduceOneNode();
  // Writes one entry per leaf, depth first with children in index order,
  // starting at entry 0; entries beyond the leaf count are left as they are.
  void ExportPalette(Palette& palette) const;

  int leafCount() const { return leafCount_; }
  int maxColours() const { return maxColours_; }
  const TOctreeNode* root() const { return root_.get(); }

 private:
  std::unique_ptr<TOctreeNode> CreateNode(int level);

  std::unique_ptr<TOctreeNode> root_;
  int leafCount_ = 0;
  std::array<TOctreeNode*, 8> reducible_{};
  int maxColours_;
  int colourBits_;
};

}  // namespace quiltor
