#include "raster/zlib_stream.h"

#include <libdeflate.h>
#include <zlib.h>

#include "common/error.h"

namespace quiltor {

void ZlibDeflater::Free::operator()(libdeflate_compressor* c) const { libdeflate_free_compressor(c); }
void ZlibInflater::Free::operator()(libdeflate_decompressor* d) const { libdeflate_free_decompressor(d); }

void ZlibDeflater::Free::operator()(z_stream_s* s) const {
  deflateEnd(s);
  delete s;
}

ZlibDeflater::ZlibDeflater(int level, DeflateEngine engine) {
  if (engine == DeflateEngine::Libdeflate) {
    compressor_.reset(libdeflate_alloc_compressor(level));
  } else {
    // The settings of zlib's compress2: each block is the same stream it makes.
    auto stream = std::make_unique<z_stream_s>();
    if (deflateInit(stream.get(), level) == Z_OK) zlib_.reset(stream.release());
  }
  if (!compressor_ && !zlib_) throw QuiltorError("cannot set up deflate at level " + std::to_string(level));
}

std::size_t ZlibDeflater::Deflate(const std::uint8_t* data, std::size_t count, std::vector<std::uint8_t>& packed) {
  if (zlib_) return DeflateWithZlib(data, count, packed);
  const std::size_t bound = libdeflate_zlib_compress_bound(compressor_.get(), count);
  if (packed.size() < bound) packed.resize(bound);
  const std::size_t length = libdeflate_zlib_compress(compressor_.get(), data, count, packed.data(), packed.size());
  // With room for the worst case the stream always fits.
  if (length == 0) throw QuiltorError("deflate failed");
  return length;
}

std::size_t ZlibDeflater::DeflateWithZlib(const std::uint8_t* data, std::size_t count,
                                          std::vector<std::uint8_t>& packed) {
  z_stream_s& s = *zlib_;
  if (count > 0xffffffffu) throw QuiltorError("deflate block too large");
  const std::size_t bound = deflateBound(&s, static_cast<uLong>(count));
  if (packed.size() < bound) packed.resize(bound);
  // Reset instead of a new stream per block: the working memory stays.
  if (deflateReset(&s) != Z_OK) throw QuiltorError("deflate failed");
  s.next_in = const_cast<Bytef*>(data);
  s.avail_in = static_cast<uInt>(count);
  s.next_out = packed.data();
  s.avail_out = static_cast<uInt>(packed.size());
  if (deflate(&s, Z_FINISH) != Z_STREAM_END) throw QuiltorError("deflate failed");
  return packed.size() - s.avail_out;
}

BlockDeflater::BlockDeflater(int level, int threads, DeflateEngine engine) : pool_(threads) {
  deflaters_.reserve(static_cast<std::size_t>(pool_.workers()));
  for (int w = 0; w < pool_.workers(); ++w) deflaters_.emplace_back(level, engine);
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
