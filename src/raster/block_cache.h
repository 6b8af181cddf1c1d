#pragma once
// Decoded rows, strips or tiles of a streamed reader kept within a budget of
// blocks. When the cache is full before a new load, blocks are dropped in
// bulk (a tenth or a twentieth of the capacity at a time, at least one) so
// that eviction runs rarely: the oldest loads first, or, for the tiled
// reader, the lowest block numbers first whatever their age.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace quiltor {

enum class Eviction { OldestFirst, LowestIndexFirst };

class BlockCache {
 public:
  BlockCache() = default;
  // `capacity` blocks (at least 1) out of `blockCount`; a bulk eviction frees
  // down to capacity - capacity / evictDivisor.
  BlockCache(std::size_t blockCount, std::size_t capacity, std::size_t evictDivisor,
             Eviction order = Eviction::OldestFirst)
      : bufferOf_(blockCount, nullptr), capacity_(std::max<std::size_t>(capacity, 1)), order_(order) {
    const std::size_t bulk = std::max<std::size_t>(capacity_ / std::max<std::size_t>(evictDivisor, 1), 1);
    keepAfterEviction_ = capacity_ - std::min(bulk, capacity_);
  }
  // Moving keeps every buffer where it is; a copy would point into the
  // original's buffers.
  BlockCache(BlockCache&&) noexcept = default;
  BlockCache& operator=(BlockCache&&) noexcept = default;
  BlockCache(const BlockCache&) = delete;
  BlockCache& operator=(const BlockCache&) = delete;

  // The buffer of block `index` when it is cached, else nullptr.
  const std::uint8_t* Find(std::size_t index) const { return bufferOf_[index]; }

  // Makes room, then returns a zeroed buffer of `bytes` for block `index`,
  // stamped as the newest load. Buffers of blocks that stay cached keep
  // their addresses.
  std::uint8_t* Insert(std::size_t index, std::size_t bytes) {
    if (slots_.size() >= capacity_) Evict();
    slots_.push_back(Slot{index, ++clock_, std::vector<std::uint8_t>(bytes, 0)});
    std::uint8_t* buffer = slots_.back().data.data();
    bufferOf_[index] = buffer;
    return buffer;
  }

  void Clear() {
    for (const Slot& slot : slots_) bufferOf_[slot.block] = nullptr;
    slots_.clear();
    slots_.shrink_to_fit();
  }

  // Number of blocks the cache was laid out for; 0 for a default cache.
  std::size_t blockCount() const { return bufferOf_.size(); }
  std::size_t cachedCount() const { return slots_.size(); }
  std::size_t capacity() const { return capacity_; }

 private:
  struct Slot {
    std::size_t block = 0;
    std::uint64_t stamp = 0;
    std::vector<std::uint8_t> data;
  };

  void Evict() {
    if (order_ == Eviction::OldestFirst) {
      std::sort(slots_.begin(), slots_.end(), [](const Slot& a, const Slot& b) { return a.stamp < b.stamp; });
    } else {
      std::sort(slots_.begin(), slots_.end(), [](const Slot& a, const Slot& b) { return a.block < b.block; });
    }
    const std::size_t drop = slots_.size() - std::min(slots_.size(), keepAfterEviction_);
    for (std::size_t i = 0; i < drop; ++i) bufferOf_[slots_[i].block] = nullptr;
    // The buffers that stay move with their slots but keep their addresses.
    slots_.erase(slots_.begin(), slots_.begin() + static_cast<std::ptrdiff_t>(drop));
  }

  std::vector<std::uint8_t*> bufferOf_;  // per block: its cached buffer, or nullptr
  std::vector<Slot> slots_;              // the cached blocks
  std::size_t capacity_ = 1;
  std::size_t keepAfterEviction_ = 0;
  Eviction order_ = Eviction::OldestFirst;
  std::uint64_t clock_ = 0;
};

}  // namespace quiltor
