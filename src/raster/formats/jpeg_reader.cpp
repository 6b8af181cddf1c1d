// JPEG source maps through libjpeg: decoded at full size with the fast
// integer transform and quantised (two passes, no dithering) to at most 256
// colours, so a map always opens as an 8-bit palette image. Greyscale output
// takes its grey levels from the decoder's one-channel colour map.
//
// libjpeg reports errors by calling back; the callback long-jumps to the
// frame that set it up. That frame holds only plain data: the bitmap lives in
// the caller's std::optional, so nothing with a destructor is skipped.
#include <csetjmp>
#include <cstddef>
#include <cstdio>

#include <jpeglib.h>  // needs size_t and FILE declared first
#include <jerror.h>
#include <optional>
#include <vector>

#include "raster/formats/format_readers.h"
#include "raster/byte_file.h"

namespace quiltor {
namespace {

struct JpegErrorManager {
  jpeg_error_mgr base;
  std::jmp_buf jump;
  bool proving = false;  // the proof pass: an entropy segment cut short by a marker fails too
};

[[noreturn]] void JumpOnError(j_common_ptr info) {
  auto* errors = reinterpret_cast<JpegErrorManager*>(info->err);
  std::longjmp(errors->jump, 1);
}

// Warnings are quiet, except running out of data: a truncated file is
// refused instead of being filled with grey.
void JumpOnTruncation(j_common_ptr info, int level) {
  if (level >= 0) return;
  const bool proving = reinterpret_cast<JpegErrorManager*>(info->err)->proving;
  if (info->err->msg_code == JWRN_JPEG_EOF || (proving && info->err->msg_code == JWRN_HIT_MARKER)) JumpOnError(info);
}

// Working memory libjpeg may use for the two-pass quantiser's whole-image
// buffer; beyond it the decoder fails cleanly instead of exhausting memory.
constexpr long kMaxDecoderMemory = static_cast<long>(kMaxBitmapBytes);

// The decoder state, released however the decode ends.
struct JpegSession {
  jpeg_decompress_struct info{};
  JpegErrorManager errors{};

  JpegSession() {
    info.err = jpeg_std_error(&errors.base);
    errors.base.error_exit = JumpOnError;
    errors.base.emit_message = JumpOnTruncation;
  }
  ~JpegSession() { jpeg_destroy_decompress(&info); }
  JpegSession(const JpegSession&) = delete;
  JpegSession& operator=(const JpegSession&) = delete;
};

// Called after setjmp: creating the decoder may already report an error.
void Prepare(JpegSession& session, std::FILE* file) {
  jpeg_create_decompress(&session.info);
  session.info.mem->max_memory_to_use = kMaxDecoderMemory;
  jpeg_stdio_src(&session.info, file);
}

void CopyColourMap(const jpeg_decompress_struct& info, Bitmap& bitmap) {
  const bool grey = info.out_color_components == 1;
  for (int i = 0; i < info.actual_number_of_colors && i < 256; ++i) {
    Rgbquad& entry = bitmap.palette()[i];
    if (grey) {
      entry.red = entry.green = entry.blue = info.colormap[0][i];
    } else {
      entry.red = info.colormap[0][i];
      entry.green = info.colormap[1][i];
      entry.blue = info.colormap[2][i];
    }
  }
}

// Reads the header of a stream this reader can decode (not CMYK). A decoder
// error jumps back to the caller's setjmp, so only plain data lives here.
bool ReadDecodableHeader(JpegSession& session, std::FILE* file) {
  Prepare(session, file);
  jpeg_read_header(&session.info, TRUE);
  const J_COLOR_SPACE space = session.info.jpeg_color_space;
  return space != JCS_CMYK && space != JCS_YCCK;
}

// A first pass at 1/8 scale into one row's buffer, without colour
// quantisation: it reads the whole stream at little cost and fails on a
// stream that ends before the image is full, so that a small damaged file
// never makes the full decode allocate the image its header claims.
bool ProveStream(JpegSession& session, std::FILE* file, std::vector<JSAMPLE>& row) {
  session.errors.proving = true;
  if (setjmp(session.errors.jump) != 0) return false;
  if (!ReadDecodableHeader(session, file)) return false;
  jpeg_decompress_struct& info = session.info;
  info.scale_num = 1;
  info.scale_denom = 8;
  info.dct_method = JDCT_IFAST;
  info.do_fancy_upsampling = FALSE;
  jpeg_calc_output_dimensions(&info);
  if (static_cast<std::uint64_t>(info.image_width) * info.image_height > kMaxBitmapBytes) return false;
  jpeg_start_decompress(&info);
  row.resize(static_cast<std::size_t>(info.output_width) * static_cast<std::size_t>(info.output_components));
  while (info.output_scanline < info.output_height) {
    JSAMPROW rows = row.data();
    if (jpeg_read_scanlines(&info, &rows, 1) != 1) return false;
  }
  return true;
}

// Runs the decoder into `out`; false (with `out` possibly half filled) on any
// decoder error. Only plain data lives in this frame across setjmp.
bool RunDecoder(JpegSession& session, std::FILE* file, std::optional<Bitmap>& out) {
  if (setjmp(session.errors.jump) != 0) return false;
  if (!ReadDecodableHeader(session, file)) return false;
  jpeg_decompress_struct& info = session.info;
  info.scale_num = 1;
  info.scale_denom = 1;
  info.dct_method = JDCT_IFAST;
  info.quantize_colors = TRUE;
  info.two_pass_quantize = TRUE;
  info.dither_mode = JDITHER_NONE;
  info.desired_number_of_colors = 256;
  jpeg_calc_output_dimensions(&info);
  if (static_cast<std::uint64_t>(info.output_width) * info.output_height > kMaxBitmapBytes) return false;
  jpeg_start_decompress(&info);
  if (info.output_components != 1) return false;
  out.emplace(static_cast<int>(info.output_width), static_cast<int>(info.output_height), 8);
  while (info.output_scanline < info.output_height) {
    JSAMPROW row = out->row(static_cast<int>(info.output_scanline));
    if (jpeg_read_scanlines(&info, &row, 1) != 1) return false;
  }
  CopyColourMap(info, *out);
  jpeg_finish_decompress(&info);
  return true;
}

bool RunHeader(JpegSession& session, std::FILE* file, ImageInfo& result) {
  if (setjmp(session.errors.jump) != 0) return false;
  Prepare(session, file);
  jpeg_read_header(&session.info, TRUE);
  result.width = static_cast<int>(session.info.image_width);
  result.height = static_cast<int>(session.info.image_height);
  result.pixelMode = 1;
  return true;
}

}  // namespace

std::optional<Bitmap> DecodeJpeg(const std::filesystem::path& path) {
  const ByteFile file = ByteFile::TryOpen(path, "rb");
  if (!file) return std::nullopt;
  {
    JpegSession proof;
    std::vector<JSAMPLE> row;
    if (!ProveStream(proof, file.get(), row)) return std::nullopt;
  }
  if (std::fseek(file.get(), 0, SEEK_SET) != 0) return std::nullopt;
  JpegSession session;
  std::optional<Bitmap> bitmap;
  if (!RunDecoder(session, file.get(), bitmap)) return std::nullopt;
  return bitmap;
}

bool QueryJpegInfo(const std::filesystem::path& path, ImageInfo& info) {
  const ByteFile file = ByteFile::TryOpen(path, "rb");
  if (!file) return false;
  JpegSession session;
  ImageInfo header;
  if (!RunHeader(session, file.get(), header)) return false;
  info = header;
  return true;
}

namespace {
constexpr std::string_view kJpegExtensions[] = {".jpg"};
}  // namespace

extern const RasterFormat kJpegFormat{
    .extensions = kJpegExtensions, .mapImage = true, .decodeWhole = DecodeJpeg, .queryHeader = QueryJpegInfo};

}  // namespace quiltor
