#include "raster/zlib_stream.h"

#include <libdeflate.h>

#include "common/error.h"

namespace quiltor {

void ZlibDeflater::Free::operator()(libdeflate_compressor* c) const { libdeflate_free_compressor(c); }
void ZlibInflater::Free::operator()(libdeflate_decompressor* d) const { libdeflate_free_decompressor(d); }

ZlibDeflater::ZlibDeflater(int level) : compressor_(libdeflate_alloc_compressor(level)) {
  if (!compressor_) throw QuiltorError("cannot set up deflate at level " + std::to_string(level));
}

std::size_t ZlibDeflater::Deflate(const std::uint8_t* data, std::size_t count, std::vector<std::uint8_t>& packed) {
  const std::size_t bound = libdeflate_zlib_compress_bound(compressor_.get(), count);
  if (packed.size() < bound) packed.resize(bound);
  const std::size_t length = libdeflate_zlib_compress(compressor_.get(), data, count, packed.data(), packed.size());
  // With room for the worst case the stream always fits.
  if (length == 0) throw QuiltorError("deflate failed");
  return length;
}

BlockDeflater::BlockDeflater(int level, int threads) : pool_(threads) {
  deflaters_.reserve(static_cast<std::size_t>(pool_.workers()));
  for (int w = 0; w < pool_.workers(); ++w) deflaters_.emplace_back(level);
}

void BlockDeflater::Deflate(const std::uint8_t* blocks, std::size_t blockBytes, int count) {
  if (packed_.size() < static_cast<std::size_t>(count)) {
    packed_.resize(static_cast<std::size_t>(count));
    lengths_.resize(static_cast<std::size_t>(count));
  }
  pool_.ForEach(count, [&](int i, int worker) {
    const auto b = static_cast<std::size_t>(i);
    lengths_[b] = deflaters_[static_cast<std::size_t>(worker)].Deflate(blocks + b * blockBytes, blockBytes, packed_[b]);
  });
}

ZlibInflater::ZlibInflater() : decompressor_(libdeflate_alloc_decompressor()) {
  if (!decompressor_) throw QuiltorError("cannot set up inflate");
}

bool ZlibInflater::Inflate(const std::uint8_t* data, std::size_t count, std::uint8_t* out, std::size_t expected) {
  std::size_t produced = 0;
  const libdeflate_result rc = libdeflate_zlib_decompress(decompressor_.get(), data, count, out, expected, &produced);
  return rc == LIBDEFLATE_SUCCESS && produced == expected;
}

}  // namespace quiltor
