#pragma once
// Decoded rows, strips or tiles of a streamed reader kept within a byte
// budget. Each load is stamped; when the cache is full before a new load, the
// oldest loads are dropped in bulk (a tenth or a twentieth of the capacity at
// a time, at least one) so that eviction runs rarely.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace quiltor {

class BlockCache {
 public:
  BlockCache() = default;
  // `capacity` blocks (at least 1) out of `blockCount`; a bulk eviction frees
  // down to capacity - capacity / evictDivisor.
  BlockCache(std::size_t blockCount, std::size_t capacity, std::size_t evictDivisor)
      : entries_(blockCount), capacity_(std::max<std::size_t>(capacity, 1)) {
    const std::size_t bulk = std::max<std::size_t>(capacity_ / std::max<std::size_t>(evictDivisor, 1), 1);
    keepAfterEviction_ = capacity_ - std::min(bulk, capacity_);
  }

  // The buffer of block `index` when it is cached, else nullptr.
  const std::uint8_t* Find(std::size_t index) const {
    const Entry& entry = entries_[index];
    return entry.present ? entry.data.data() : nullptr;
  }

  // Makes room, then returns a zeroed buffer of `bytes` for block `index`,
  // stamped as the newest load.
  std::uint8_t* Insert(std::size_t index, std::size_t bytes) {
    if (loaded_.size() >= capacity_) EvictOldest();
    Entry& entry = entries_[index];
    entry.data.assign(bytes, 0);
    entry.present = true;
    entry.stamp = ++clock_;
    loaded_.push_back(index);
    return entry.data.data();
  }

  void Clear() {
    for (std::size_t index : loaded_) Drop(entries_[index]);
    loaded_.clear();
  }

  std::size_t cachedCount() const { return loaded_.size(); }
  std::size_t capacity() const { return capacity_; }

 private:
  struct Entry {
    std::uint64_t stamp = 0;
    bool present = false;
    std::vector<std::uint8_t> data;
  };

  static void Drop(Entry& entry) {
    entry.present = false;
    std::vector<std::uint8_t>().swap(entry.data);
  }

  void EvictOldest() {
    std::sort(loaded_.begin(), loaded_.end(),
              [this](std::size_t a, std::size_t b) { return entries_[a].stamp < entries_[b].stamp; });
    const std::size_t drop = loaded_.size() - std::min(loaded_.size(), keepAfterEviction_);
    for (std::size_t i = 0; i < drop; ++i) Drop(entries_[loaded_[i]]);
    loaded_.erase(loaded_.begin(), loaded_.begin() + static_cast<std::ptrdiff_t>(drop));
  }

  std::vector<Entry> entries_;
  std::vector<std::size_t> loaded_;
  std::size_t capacity_ = 1;
  std::size_t keepAfterEviction_ = 0;
  std::uint64_t clock_ = 0;
};

}  // namespace quiltor
