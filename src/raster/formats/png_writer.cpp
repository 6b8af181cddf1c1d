// Thumbnail files are PNG: an 8-bit palette image with its 256 colours, or a
// 24-bit true-colour image, always 8 bits per sample.
#include <csetjmp>
#include <system_error>

#include "raster/formats/format_readers.h"
#include "raster/formats/png_session.h"
#include "raster/byte_file.h"

namespace quiltor {
namespace {

using png_session::WriteSession;

void PrepareRows(WriteSession& session, const Bitmap& bitmap) {
  session.rows.resize(static_cast<std::size_t>(bitmap.height()));
  for (int y = 0; y < bitmap.height(); ++y) session.rows[y] = const_cast<png_bytep>(bitmap.row(y));
  if (bitmap.bitsPerPixel() != 8) return;
  session.colours.resize(256);
  for (int i = 0; i < 256; ++i) {
    const Rgbquad& q = bitmap.palette()[i];
    session.colours[i] = png_color{q.red, q.green, q.blue};
  }
}

// The libpng calls; false on any library error (the jump lands here).
bool RunWriter(WriteSession& session, std::FILE* file, const Bitmap& bitmap) {
  png_structp png = session.png;
  png_infop info = session.info;
  if (setjmp(png_jmpbuf(png)) != 0) return false;
  png_init_io(png, file);
  const bool indexed = bitmap.bitsPerPixel() == 8;
  png_set_IHDR(png, info, static_cast<png_uint_32>(bitmap.width()), static_cast<png_uint_32>(bitmap.height()), 8,
               indexed ? PNG_COLOR_TYPE_PALETTE : PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
               PNG_FILTER_TYPE_DEFAULT);
  if (indexed) png_set_PLTE(png, info, session.colours.data(), 256);
  png_write_info(png, info);
  if (!indexed) png_set_bgr(png);
  png_write_image(png, session.rows.data());
  png_write_end(png, nullptr);
  return true;
}

}  // namespace

bool WritePngImage(const std::filesystem::path& path, const Bitmap& bitmap) {
  if (bitmap.empty()) return false;
  ByteFile file = ByteFile::TryOpen(path, "wb");
  if (!file) return false;
  bool ok = false;
  {
    WriteSession session;
    if (session.valid()) {
      PrepareRows(session, bitmap);
      ok = RunWriter(session, file.get(), bitmap);
    }
  }
  ok = file.TryClose() && ok;
  // A half-written thumbnail would later be read as a damaged image.
  if (!ok) {
    std::error_code ignored;
    std::filesystem::remove(path, ignored);
  }
  return ok;
}

}  // namespace quiltor
