#pragma once
// libpng read and write handles owned for the length of one decode or write.
// libpng reports errors by long-jumping to png_jmpbuf; these handles are made
// with a silent error callback and are released by their destructors, which
// run in the caller's frame, outside the one that holds the jump target.
#include <png.h>

#include <cstdint>
#include <cstring>
#include <vector>

namespace quiltor::png_session {

// The library's words for the error that ended a session, for the reason
// beside a reader's fixed message.
struct ErrorText {
  char text[160] = {};
};

[[noreturn]] inline void JumpOnError(png_structp png, png_const_charp message) {
  auto* kept = static_cast<ErrorText*>(png_get_error_ptr(png));
  if (kept != nullptr && message != nullptr) std::strncpy(kept->text, message, sizeof kept->text - 1);
  png_longjmp(png, 1);
}
inline void IgnoreWarning(png_structp, png_const_charp) {}

struct ReadSession {
  ErrorText error;  // before png: the library writes to it from the start
  png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &error, JumpOnError, IgnoreWarning);
  png_infop info = png != nullptr ? png_create_info_struct(png) : nullptr;
  std::vector<png_bytep> rows;

  ReadSession() = default;
  ~ReadSession() { png_destroy_read_struct(&png, info != nullptr ? &info : nullptr, nullptr); }
  ReadSession(const ReadSession&) = delete;
  ReadSession& operator=(const ReadSession&) = delete;
  bool valid() const { return png != nullptr && info != nullptr; }
};

struct WriteSession {
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, JumpOnError, IgnoreWarning);
  png_infop info = png != nullptr ? png_create_info_struct(png) : nullptr;
  std::vector<png_color> colours;
  std::vector<png_bytep> rows;

  WriteSession() = default;
  ~WriteSession() { png_destroy_write_struct(&png, info != nullptr ? &info : nullptr); }
  WriteSession(const WriteSession&) = delete;
  WriteSession& operator=(const WriteSession&) = delete;
  bool valid() const { return png != nullptr && info != nullptr; }
};

}  // namespace quiltor::png_session
