// Damaged BMP, PNG, JPEG, GIF and TIFF files, each derived from a good
// fixture or built byte by byte from the format's layout: every reader must
// refuse them cleanly (no image, no crash, no huge allocation).
#include <gtest/gtest.h>
#include <zlib.h>

#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include "common/error.h"
#include "raster/formats/format_readers.h"
#include "raster/pnm_pattern.h"
#include "support/memory_probe.h"
#include "support/temp_folder.h"

namespace quiltor {
namespace {

using Bytes = std::vector<std::uint8_t>;
using testing::RasterFixture;
using testing::ReadFixture;

void PutLe(Bytes& b, std::size_t at, std::uint32_t v, int bytes) {
  for (int i = 0; i < bytes; ++i) b[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
}

void PutBe(Bytes& b, std::size_t at, std::uint32_t v, int bytes) {
  for (int i = 0; i < bytes; ++i) b[at + i] = static_cast<std::uint8_t>(v >> (8 * (bytes - 1 - i)));
}

Bytes Cut(const Bytes& b, std::size_t keep) { return Bytes(b.begin(), b.begin() + static_cast<std::ptrdiff_t>(keep)); }

struct DamageCase {
  const char* name;
  Bytes bytes;
};

class DamagedImages : public ::testing::Test {
 protected:
  std::filesystem::path Write(const Bytes& bytes, const std::string& name) {
    const auto path = folder_ / name;
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return path;
  }
  testing::TempFolder folder_;
};

// A BMP with a 40-byte header, a palette of `colours` grey entries and the
// given pixel bytes (RLE streams or rows).
Bytes MakeBmp(int width, int height, int bits, std::uint32_t compression, int colours, const Bytes& pixels) {
  const std::uint32_t offset = 54 + 4 * static_cast<std::uint32_t>(colours);
  Bytes b(offset, 0);
  b[0] = 'B';
  b[1] = 'M';
  PutLe(b, 2, offset + static_cast<std::uint32_t>(pixels.size()), 4);
  PutLe(b, 10, offset, 4);
  PutLe(b, 14, 40, 4);
  PutLe(b, 18, static_cast<std::uint32_t>(width), 4);
  PutLe(b, 22, static_cast<std::uint32_t>(height), 4);
  PutLe(b, 26, 1, 2);
  PutLe(b, 28, static_cast<std::uint32_t>(bits), 2);
  PutLe(b, 30, compression, 4);
  PutLe(b, 46, static_cast<std::uint32_t>(colours), 4);
  for (int i = 0; i < colours; ++i) b[54 + 4 * i] = b[55 + 4 * i] = b[56 + 4 * i] = static_cast<std::uint8_t>(i * 16);
  b.insert(b.end(), pixels.begin(), pixels.end());
  return b;
}

TEST_F(DamagedImages, Rle4RunsAbsoluteBlocksAndDeltasDecode) {
  // 6 x 3, stored bottom-up: runs alternate their two nibbles, a delta skips
  // pixels (left as index 0), an absolute block is padded to 16 bits.
  const Bytes stream = {0x05, 0x12, 0x01, 0x30, 0x00, 0x00,              // bottom: 1 2 1 2 1 3
                        0x00, 0x02, 0x02, 0x00, 0x04, 0x77, 0x00, 0x00,  // middle: skip 2, then 7 7 7 7
                        0x00, 0x06, 0xAB, 0xCD, 0xEF, 0x00,              // top: A B C D E F
                        0x00, 0x01};                                     // end of bitmap
  const auto bitmap = DecodeBmp(Write(MakeBmp(6, 3, 4, 2, 16, stream), "rle4.bmp"));
  ASSERT_TRUE(bitmap.has_value());
  EXPECT_EQ(bitmap->bitsPerPixel(), 8);
  EXPECT_EQ(Bytes(bitmap->row(0), bitmap->row(0) + 6), (Bytes{0xA, 0xB, 0xC, 0xD, 0xE, 0xF}));
  EXPECT_EQ(Bytes(bitmap->row(1), bitmap->row(1) + 6), (Bytes{0, 0, 7, 7, 7, 7}));
  EXPECT_EQ(Bytes(bitmap->row(2), bitmap->row(2) + 6), (Bytes{1, 2, 1, 2, 1, 3}));
  EXPECT_EQ(bitmap->palette()[15], (Rgbquad{240, 240, 240, 0}));
}

TEST_F(DamagedImages, BmpRefusals) {
  const Bytes good24 = ReadFixture("bmp-24bit.bmp");
  const Bytes good8 = ReadFixture("bmp-8bit.bmp");
  const Bytes rle8 = ReadFixture("bmp-rle8.bmp");
  const auto with = [](Bytes b, const std::function<void(Bytes&)>& change) {
    change(b);
    return b;
  };
  const DamageCase cases[] = {
      {"empty", {}},
      {"header only", Cut(good24, 20)},
      {"wrong magic", with(good24, [](Bytes& b) { b[0] = 'M'; b[1] = 'B'; })},
      {"pixel data truncated", Cut(good24, good24.size() - 200)},
      {"zero width", with(good24, [](Bytes& b) { PutLe(b, 18, 0, 4); })},
      {"zero height", with(good24, [](Bytes& b) { PutLe(b, 22, 0, 4); })},
      {"negative width", with(good24, [](Bytes& b) { PutLe(b, 18, 0xFFFFFFF0, 4); })},
      {"2^31 pixels claimed", with(good24, [](Bytes& b) { PutLe(b, 18, 0x10000, 4); PutLe(b, 22, 0x8000, 4); })},
      {"data offset beyond the file", with(good24, [](Bytes& b) { PutLe(b, 10, 0x100000, 4); })},
      {"unknown header size", with(good24, [](Bytes& b) { PutLe(b, 14, 30, 4); })},
      {"depth 7", with(good24, [](Bytes& b) { PutLe(b, 28, 7, 2); })},
      {"JPEG compression", with(good24, [](Bytes& b) { PutLe(b, 30, 4, 4); })},
      {"palette index beyond the palette", with(good8, [](Bytes& b) { PutLe(b, 46, 10, 4); })},
      {"palette beyond the file", with(MakeBmp(4, 1, 8, 0, 0, Bytes(4, 0)), [](Bytes& b) { PutLe(b, 46, 255, 4); })},
      {"RLE8 truncated", Cut(rle8, rle8.size() - 40)},
      {"RLE8 run beyond the row", MakeBmp(4, 1, 8, 1, 2, Bytes{0x05, 0x01, 0x00, 0x01})},
      {"RLE8 rows beyond the image", MakeBmp(4, 1, 8, 1, 2, Bytes{0x04, 0x01, 0x00, 0x00, 0x04, 0x01, 0x00, 0x01})},
      {"RLE8 delta beyond the image", MakeBmp(4, 2, 8, 1, 2, Bytes{0x00, 0x02, 0x09, 0x00, 0x00, 0x01})},
      {"RLE8 absolute block cut", MakeBmp(8, 1, 8, 1, 2, Bytes{0x00, 0x06, 0x01, 0x01})},
      {"RLE8 index beyond the palette", MakeBmp(4, 1, 8, 1, 2, Bytes{0x04, 0x05, 0x00, 0x01})},
      {"RLE8 without end marker", MakeBmp(4, 1, 8, 1, 2, Bytes{0x04, 0x01})},
      {"RLE top-down", MakeBmp(4, -1, 8, 1, 2, Bytes{0x04, 0x01, 0x00, 0x01})},
      {"RLE4 absolute block beyond the row", MakeBmp(6, 1, 4, 2, 16, Bytes{0x00, 0x07, 0x11, 0x11, 0x11, 0x10, 0x00, 0x01})},
      {"RLE4 with 8 bits", MakeBmp(4, 1, 8, 2, 2, Bytes{0x04, 0x11, 0x00, 0x01})},
  };
  for (const DamageCase& c : cases) {
    const auto path = Write(c.bytes, "damaged.bmp");
    std::optional<Bitmap> bitmap;
    EXPECT_NO_THROW(bitmap = DecodeBmp(path)) << c.name;
    EXPECT_FALSE(bitmap.has_value()) << c.name;
  }
  ImageInfo info;
  EXPECT_FALSE(QueryBmpInfo(Write(Cut(good24, 10), "short.bmp"), info));
  EXPECT_FALSE(QueryBmpInfo(Write(with(good24, [](Bytes& b) { b[0] = 'X'; }), "magic.bmp"), info));
}

Bytes PngChunk(const char* type, const Bytes& data) {
  Bytes chunk(8, 0);
  PutBe(chunk, 0, static_cast<std::uint32_t>(data.size()), 4);
  std::copy(type, type + 4, chunk.begin() + 4);
  chunk.insert(chunk.end(), data.begin(), data.end());
  const uLong crc = crc32(0, chunk.data() + 4, static_cast<uInt>(chunk.size() - 4));
  const std::size_t at = chunk.size();
  chunk.resize(at + 4);
  PutBe(chunk, at, static_cast<std::uint32_t>(crc), 4);
  return chunk;
}

// A 2 x 1 8-bit palette PNG with `entries` palette colours and the two
// given indices.
Bytes MakePalettePng(int entries, std::uint8_t first, std::uint8_t second) {
  Bytes png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  Bytes ihdr(13, 0);
  PutBe(ihdr, 0, 2, 4);
  PutBe(ihdr, 4, 1, 4);
  ihdr[8] = 8;
  ihdr[9] = 3;
  const Bytes plte(static_cast<std::size_t>(entries) * 3, 0x80);
  const Bytes raw = {0, first, second};
  Bytes packed(compressBound(raw.size()));
  uLongf packedSize = packed.size();
  compress(packed.data(), &packedSize, raw.data(), raw.size());
  packed.resize(packedSize);
  for (const Bytes& chunk : {PngChunk("IHDR", ihdr), PngChunk("PLTE", plte), PngChunk("IDAT", packed), PngChunk("IEND", {})}) {
    png.insert(png.end(), chunk.begin(), chunk.end());
  }
  return png;
}

TEST_F(DamagedImages, PngRefusals) {
  const Bytes rgb = ReadFixture("png-rgb.png");
  ASSERT_TRUE(DecodePng(Write(MakePalettePng(4, 3, 1), "control.png")).has_value()) << "the hand-made file is sound";
  const auto with = [](Bytes b, const std::function<void(Bytes&)>& change) {
    change(b);
    return b;
  };
  const DamageCase cases[] = {
      {"empty", {}},
      {"wrong signature", with(rgb, [](Bytes& b) { b[1] = 'Q'; })},
      {"truncated image data", Cut(rgb, rgb.size() / 2)},
      {"header checksum wrong", with(rgb, [](Bytes& b) { b[29] ^= 0xFF; })},
      {"zero width", with(rgb, [](Bytes& b) { PutBe(b, 16, 0, 4); })},
      {"2^31 pixels claimed", with(MakePalettePng(4, 0, 0), [](Bytes& b) {
         Bytes ihdr(b.begin() + 16, b.begin() + 29);
         PutBe(ihdr, 0, 0x10000, 4);
         PutBe(ihdr, 4, 0x8000, 4);
         const Bytes chunk = PngChunk("IHDR", ihdr);
         std::copy(chunk.begin(), chunk.end(), b.begin() + 8);
       })},
      {"palette index beyond the palette", MakePalettePng(4, 3, 9)},
  };
  for (const DamageCase& c : cases) {
    const auto path = Write(c.bytes, "damaged.png");
    try {
      const auto bitmap = DecodePng(path);
      ADD_FAILURE() << c.name << ": decoded";
    } catch (const QuiltorError& error) {
      EXPECT_STREQ(error.what(), "Error Reading File!") << c.name;
      // The window shows the fixed words; the command line adds why.
      EXPECT_FALSE(error.Reason().empty()) << c.name;
    }
  }
  const auto missing = folder_ / "missing.png";
  EXPECT_THROW(DecodePng(missing), QuiltorError);
  ImageInfo info;
  EXPECT_FALSE(QueryPngInfo(Write(Cut(rgb, 20), "short.png"), info));
  EXPECT_FALSE(QueryPngInfo(Write(with(rgb, [](Bytes& b) { b[12] = 'X'; }), "noihdr.png"), info));
}

// Position of the size fields of the first start-of-frame segment.
std::size_t JpegFrameSize(const Bytes& b) {
  for (std::size_t i = 2; i + 9 < b.size(); ++i) {
    if (b[i] == 0xFF && b[i + 1] == 0xC0) return i + 5;
  }
  return 0;
}

TEST_F(DamagedImages, JpegRefusals) {
  const Bytes colour = ReadFixture("jpeg-colour.jpg");
  const std::size_t frame = JpegFrameSize(colour);
  ASSERT_NE(frame, 0u);
  const auto with = [](Bytes b, const std::function<void(Bytes&)>& change) {
    change(b);
    return b;
  };
  const DamageCase cases[] = {
      {"empty", {}},
      {"wrong magic", with(colour, [](Bytes& b) { b[1] = 0x00; })},
      {"header only", Cut(colour, frame + 10)},
      {"truncated scan", Cut(colour, colour.size() - 120)},
      {"zero height", with(colour, [frame](Bytes& b) { PutBe(b, frame, 0, 2); })},
      {"zero width", with(colour, [frame](Bytes& b) { PutBe(b, frame + 2, 0, 2); })},
      {"absurd size", with(colour, [frame](Bytes& b) { PutBe(b, frame, 65500, 2); PutBe(b, frame + 2, 65500, 2); })},
  };
  for (const DamageCase& c : cases) {
    const auto path = Write(c.bytes, "damaged.jpg");
    std::optional<Bitmap> bitmap;
    EXPECT_NO_THROW(bitmap = DecodeJpeg(path)) << c.name;
    EXPECT_FALSE(bitmap.has_value()) << c.name;
  }
  ImageInfo info;
  EXPECT_FALSE(QueryJpegInfo(Write({}, "empty.jpg"), info));
  EXPECT_FALSE(QueryJpegInfo(Write(Cut(colour, 4), "short.jpg"), info));
}

// A 1 x 1 GIF; `tableBits` < 0 means no global colour table, else one of
// 2^(tableBits + 1) entries. The pixel is `index`, coded with 3-bit codes.
Bytes MakeGif(int tableBits, int index) {
  Bytes gif = {'G', 'I', 'F', '8', '9', 'a', 1, 0, 1, 0, 0, 0, 0};
  if (tableBits >= 0) {
    gif[10] = static_cast<std::uint8_t>(0x80 | tableBits);
    gif.insert(gif.end(), static_cast<std::size_t>(3) << (tableBits + 1), 0x40);
  }
  const Bytes image = {',', 0, 0, 0, 0, 1, 0, 1, 0, 0};
  gif.insert(gif.end(), image.begin(), image.end());
  // Clear code 4, the index, end code 5, packed from the low bits up.
  const std::uint32_t bits = 4u | (static_cast<std::uint32_t>(index) << 3) | (5u << 6);
  const Bytes data = {2, 2, static_cast<std::uint8_t>(bits & 0xFF), static_cast<std::uint8_t>(bits >> 8), 0, ';'};
  gif.insert(gif.end(), data.begin(), data.end());
  return gif;
}

TEST_F(DamagedImages, GifRefusals) {
  const Bytes plain = ReadFixture("gif-plain.gif");
  ASSERT_TRUE(DecodeGif(Write(MakeGif(1, 3), "control.gif")).has_value()) << "the hand-made file is sound";
  const auto with = [](Bytes b, const std::function<void(Bytes&)>& change) {
    change(b);
    return b;
  };
  // The image descriptor follows the 64-entry global table and extensions.
  std::size_t imageAt = 13 + 3 * 64;
  while (plain[imageAt] == '!') {
    imageAt += 2;
    while (plain[imageAt] != 0) imageAt += plain[imageAt] + 1u;
    ++imageAt;
  }
  ASSERT_EQ(plain[imageAt], ',');
  const DamageCase cases[] = {
      {"empty", {}},
      {"wrong magic", with(plain, [](Bytes& b) { b[0] = 'J'; })},
      {"header only", Cut(plain, 13)},
      {"truncated image data", Cut(plain, plain.size() - 60)},
      {"zero image width", with(plain, [imageAt](Bytes& b) { PutLe(b, imageAt + 5, 0, 2); })},
      {"image larger than its data", with(plain, [imageAt](Bytes& b) { PutLe(b, imageAt + 5, 60000, 2); PutLe(b, imageAt + 7, 60000, 2); })},
      {"no colour table at all", MakeGif(-1, 0)},
      {"index beyond the colour table", MakeGif(0, 3)},
      {"no image", Bytes{'G', 'I', 'F', '8', '9', 'a', 1, 0, 1, 0, 0, 0, 0, ';'}},
  };
  for (const DamageCase& c : cases) {
    const auto path = Write(c.bytes, "damaged.gif");
    std::optional<Bitmap> bitmap;
    EXPECT_NO_THROW(bitmap = DecodeGif(path)) << c.name;
    EXPECT_FALSE(bitmap.has_value()) << c.name;
  }
  ImageInfo info;
  EXPECT_FALSE(QueryGifInfo(Write(MakeGif(-1, 0), "notable.gif"), info)) << "no global colour table";
  EXPECT_FALSE(QueryGifInfo(Write(with(plain, [](Bytes& b) { PutLe(b, 6, 0, 2); PutLe(b, 8, 0, 2); }), "zero.gif"), info));
  ASSERT_TRUE(QueryGifInfo(Write(MakeGif(1, 0), "one.gif"), info));
  EXPECT_EQ(info.width, 1);
}

// Rewrites the inline value of a one-valued tag of a little-endian TIFF.
void SetTiffTag(Bytes& b, std::uint16_t tag, std::uint32_t value) {
  const std::uint32_t ifd = b[4] | (b[5] << 8) | (b[6] << 16) | (static_cast<std::uint32_t>(b[7]) << 24);
  const int count = b[ifd] | (b[ifd + 1] << 8);
  for (int i = 0; i < count; ++i) {
    const std::size_t entry = ifd + 2 + 12 * static_cast<std::size_t>(i);
    if ((b[entry] | (b[entry + 1] << 8)) != tag) continue;
    const int type = b[entry + 2] | (b[entry + 3] << 8);
    PutLe(b, entry + 8, value, type == 3 ? 2 : 4);
    return;
  }
  throw std::runtime_error("tag not in the fixture");
}

TEST_F(DamagedImages, TiffRefusals) {
  const Bytes bw = ReadFixture("tiff-bw-miniswhite.tif");  // one strip, inline offsets
  const Bytes grey = ReadFixture("tiff-grey8-deflate.tif");
  ASSERT_EQ(bw[0], 'I');
  const auto with = [](Bytes b, const std::function<void(Bytes&)>& change) {
    change(b);
    return b;
  };
  const DamageCase refused[] = {
      {"empty", {}},
      {"wrong magic", with(bw, [](Bytes& b) { b[2] = 0x2B; b[3] = 0x01; })},
      {"directory beyond the file", with(bw, [](Bytes& b) { PutLe(b, 4, 0x7FFFFF00, 4); })},
      {"truncated strips", Cut(grey, grey.size() / 3)},
      {"strip offset beyond the file", with(bw, [](Bytes& b) { SetTiffTag(b, 273, 0x100000); })},
      {"zero width", with(bw, [](Bytes& b) { SetTiffTag(b, 256, 0); })},
      {"2^31 pixels in one strip", with(bw, [](Bytes& b) { SetTiffTag(b, 256, 0x7FFFFFF); })},
      {"more strips claimed than stored", with(bw, [](Bytes& b) { SetTiffTag(b, 257, 0x7FFFFFFF); })},
  };
  for (const DamageCase& c : refused) {
    const auto path = Write(c.bytes, "damaged.tif");
    std::unique_ptr<RasterReader> reader;
    EXPECT_NO_THROW(reader = OpenTiffReader(path)) << c.name;
    EXPECT_EQ(reader, nullptr) << c.name;
  }
  // Layouts this reader does not unpack are refused with the message.
  const DamageCase unsupported[] = {
      {"16-bit grey", with(grey, [](Bytes& b) { SetTiffTag(b, 258, 16); })},
      {"3-bit grey", with(grey, [](Bytes& b) { SetTiffTag(b, 258, 3); })},
      {"CMYK", with(grey, [](Bytes& b) { SetTiffTag(b, 262, 5); })},
      {"two samples", with(grey, [](Bytes& b) { SetTiffTag(b, 277, 2); })},
  };
  for (const DamageCase& c : unsupported) {
    const auto path = Write(c.bytes, "unsupported.tif");
    try {
      OpenTiffReader(path);
      ADD_FAILURE() << c.name << ": opened";
    } catch (const QuiltorError& error) {
      EXPECT_STREQ(error.what(), "This TIF format is not supported") << c.name;
    }
  }
  ImageInfo info;
  EXPECT_FALSE(QueryTiffInfo(Write({}, "empty.tif"), info));
  EXPECT_FALSE(QueryTiffInfo(Write(with(bw, [](Bytes& b) { b[0] = 'X'; }), "magic.tif"), info));
}

// Small files whose headers claim images far larger than their data: a
// whole-image decoder proves the stream before it allocates the image, so a
// damaged file costs a few MB and a clean refusal, not the claimed size.
TEST_F(DamagedImages, SmallFilesClaimingHugeImagesCostLittle) {
  const Bytes colour = ReadFixture("jpeg-colour.jpg");
  const std::size_t frame = JpegFrameSize(colour);
  ASSERT_NE(frame, 0u);
  // 16000 x 16000 claimed, the scan cut short and closed with an end marker:
  // the decoder would fill 768 MB of rows with nothing.
  Bytes jpeg = Cut(colour, std::min(colour.size() - 2, frame + 300));
  PutBe(jpeg, frame, 16000, 2);
  PutBe(jpeg, frame + 2, 16000, 2);
  jpeg.push_back(0xFF);
  jpeg.push_back(0xD9);
  // RLE8 claiming 30000 x 30000 whose stream stops after one run.
  const Bytes rle = MakeBmp(30000, 30000, 8, 1, 2, {4, 1});
  const DamageCase cases[] = {{"jpeg.jpg", jpeg}, {"rle.bmp", rle}};
  for (const DamageCase& c : cases) {
    const auto path = Write(c.bytes, c.name);
    const auto child = [&]() {
          bool decoded = true;
          const bool small = testing::PeakWithin(64u << 20, [&] {
            decoded = std::string(c.name) == "jpeg.jpg" ? DecodeJpeg(path).has_value() : DecodeBmp(path).has_value();
          });
          std::exit(small && !decoded ? 0 : 1);
        };
    EXPECT_EXIT(child(), ::testing::ExitedWithCode(0), "")
        << c.name;
  }
}

}  // namespace
}  // namespace quiltor
