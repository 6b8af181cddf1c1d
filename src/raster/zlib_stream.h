#pragma once
// The one place the program deflates and inflates: zlib streams (the
// wrapper of every tile of the tiled image and every row of the temporary
// images). Every stream is read with libdeflate; it makes them too, except
// where zlib's own deflate is the better tool (see DeflateEngine). A
// deflater or inflater keeps its working memory between calls; give each
// thread its own.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "common/parallel.h"

struct libdeflate_compressor;
struct libdeflate_decompressor;
struct z_stream_s;

namespace quiltor {

// Both engines write the same zlib stream format. libdeflate is by far the
// faster at its quick levels (the temporary rows); on small blocks of grainy
// imagery (the 4096-byte tiles) zlib's best level is both faster than
// libdeflate's levels that match its size and no larger than any level that
// is faster.
enum class DeflateEngine { Libdeflate, Zlib };

class ZlibDeflater {
 public:
  // `level` 1 (fastest) to 12 (smallest) for libdeflate, 1 to 9 for zlib.
  explicit ZlibDeflater(int level, DeflateEngine engine = DeflateEngine::Libdeflate);
  // Deflates `count` bytes into `packed`, which grows to the worst case the
  // stream may need; returns the stream's length.
  std::size_t Deflate(const std::uint8_t* data, std::size_t count, std::vector<std::uint8_t>& packed);

 private:
  std::size_t DeflateWithZlib(const std::uint8_t* data, std::size_t count, std::vector<std::uint8_t>& packed);

  struct Free {
    void operator()(libdeflate_compressor* c) const;
    void operator()(z_stream_s* s) const;
  };
  std::unique_ptr<libdeflate_compressor, Free> compressor_;
  std::unique_ptr<z_stream_s, Free> zlib_;  // set instead of compressor_ for DeflateEngine::Zlib
};

// Deflates a batch of equally long blocks (the tiles of a tile row, a run
// of image rows) side by side, one deflater per worker. Each block is its
// own stream, so the streams are the same for any number of workers.
class BlockDeflater {
 public:
  // `threads` 0: one worker per core.
  BlockDeflater(int level, int threads, DeflateEngine engine = DeflateEngine::Libdeflate);
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
