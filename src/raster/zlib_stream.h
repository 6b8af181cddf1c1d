#pragma once
// The one place the program deflates and inflates: zlib streams (the
// wrapper of every tile of the tiled image and every row of the temporary
// images), made and read with libdeflate. A deflater or inflater keeps its
// working memory between calls; give each thread its own.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "common/parallel.h"

struct libdeflate_compressor;
struct libdeflate_decompressor;

namespace quiltor {

class ZlibDeflater {
 public:
  // `level` 1 (fastest) to 12 (smallest).
  explicit ZlibDeflater(int level);
  // Deflates `count` bytes into `packed`, which grows to the worst case the
  // stream may need; returns the stream's length.
  std::size_t Deflate(const std::uint8_t* data, std::size_t count, std::vector<std::uint8_t>& packed);

 private:
  struct Free {
    void operator()(libdeflate_compressor* c) const;
  };
  std::unique_ptr<libdeflate_compressor, Free> compressor_;
};

// Deflates a batch of equally long blocks (the tiles of a tile row, a run
// of image rows) side by side, one deflater per worker. Each block is its
// own stream, so the streams are the same for any number of workers.
class BlockDeflater {
 public:
  // `threads` 0: one worker per core.
  BlockDeflater(int level, int threads);
  int workers() const { return pool_.workers(); }
  // Deflates `count` blocks of `blockBytes` each, stored one after the other
  // from `blocks`; stream(i) and length(i) then hold block i's stream.
  void Deflate(const std::uint8_t* blocks, std::size_t blockBytes, int count);
  std::uint8_t* stream(int i) { return packed_[static_cast<std::size_t>(i)].data(); }
  std::size_t length(int i) const { return lengths_[static_cast<std::size_t>(i)]; }

 private:
  WorkerPool pool_;
  std::vector<ZlibDeflater> deflaters_;  // one per worker
  std::vector<std::vector<std::uint8_t>> packed_;
  std::vector<std::size_t> lengths_;
};

class ZlibInflater {
 public:
  ZlibInflater();
  // True when `data` holds a whole, intact zlib stream of exactly `expected`
  // bytes, inflated into `out`; bytes after the stream's end are ignored.
  bool Inflate(const std::uint8_t* data, std::size_t count, std::uint8_t* out, std::size_t expected);

 private:
  struct Free {
    void operator()(libdeflate_decompressor* d) const;
  };
  std::unique_ptr<libdeflate_decompressor, Free> decompressor_;
};

}  // namespace quiltor
