#include "pipeline/colour_quantizer.h"

#include "common/error.h"

namespace quiltor {
namespace {

void ExportLeaves(const TOctreeNode& node, Palette& palette, int& next) {
  if (node.isLeaf) {
    if (next >= static_cast<int>(palette.size())) return;
    Rgbquad& entry = palette[static_cast<std::size_t>(next++)];
    if (node.pixelCount == 0) {
      entry = Rgbquad{};
    } else {
      entry.blue = static_cast<std::uint8_t>(node.blueSum / node.pixelCount);
      entry.green = static_cast<std::uint8_t>(node.greenSum / node.pixelCount);
      entry.red = static_cast<std::uint8_t>(node.redSum / node.pixelCount);
      entry.reserved = 0;
    }
    return;
  }
  for (const auto& child : node.children) {
    if (child) ExportLeaves(*child, palette, next);
  }
}

}  // namespace

TColorQuantizer::TColorQuantizer(int maxColours, int colourBits) : maxColours_(maxColours), colourBits_(colourBits) {
  if (colourBits > 8) throw QuiltorError("ColorBits must be 8 or less");
}

std::unique_ptr<TOctreeNode> TColorQuantizer::CreateNode(int level) {
  auto node = std::make_unique<TOctreeNode>();
  node->isLeaf = level == colourBits_;
  if (node->isLeaf) {
    ++leafCount_;
  } else {
    node->nextReducible = reducible_[static_cast<std::size_t>(level)];
    reducible_[static_cast<std::size_t>(level)] = node.get();
  }
  return node;
}

void TColorQuantizer::InsertColour(std::uint8_t red, std::uint8_t green, std::uint8_t blue, std::int64_t times) {
  std::unique_ptr<TOctreeNode>* slot = &root_;
  for (int level = 0;; ++level) {
    if (!*slot) *slot = CreateNode(level);
    TOctreeNode& node = **slot;
    if (node.isLeaf) {
      node.pixelCount += times;
      node.redSum += red * times;
      node.greenSum += green * times;
      node.blueSum += blue * times;
      return;
    }
    const int shift = 7 - level;
    const int index = (((red >> shift) & 1) << 2) | (((green >> shift) & 1) << 1) | ((blue >> shift) & 1);
    slot = &node.children[static_cast<std::size_t>(index)];
  }
}

void TColorQuantizer::AddColour(std::uint8_t red, std::uint8_t green, std::uint8_t blue, std::int64_t times) {
  InsertColour(red, green, blue, times);
  while (leafCount_ > maxColours_ && ReduceOneNode()) {
  }
}

bool TColorQuantizer::ReduceOneNode() {
  int level = colourBits_ - 1;
  while (level > 0 && reducible_[static_cast<std::size_t>(level)] == nullptr) --level;
  if (level < 0) return false;
  TOctreeNode* node = reducible_[static_cast<std::size_t>(level)];
  if (node == nullptr) return false;
  reducible_[static_cast<std::size_t>(level)] = node->nextReducible;
  node->nextReducible = nullptr;
  std::int64_t red = 0, green = 0, blue = 0;
  int children = 0;
  for (auto& child : node->children) {
    if (!child) continue;
    node->pixelCount += child->pixelCount;
    red += child->redSum;
    green += child->greenSum;
    blue += child->blueSum;
    ++children;
    child.reset();
  }
  node->redSum = red;
  node->greenSum = green;
  node->blueSum = blue;
  node->isLeaf = true;
  leafCount_ = leafCount_ - children + 1;
  return true;
}

void TColorQuantizer::ExportPalette(Palette& palette) const {
  if (!root_) return;
  int next = 0;
  ExportLeaves(*root_, palette, next);
}

}  // namespace quiltor
