#include "raster/byte_file.h"

#include <sys/types.h>

#include "common/error.h"

namespace quiltor {

ByteFile::ByteFile(const std::filesystem::path& path, const char* mode) : file_(std::fopen(path.c_str(), mode)) {
  if (file_ == nullptr) throw QuiltorError("cannot open " + path.string());
  if (mode[0] == 'r') {
    if (fseeko(file_, 0, SEEK_END) != 0) throw QuiltorError("cannot measure " + path.string());
    const off_t end = ftello(file_);
    if (end < 0) throw QuiltorError("cannot measure " + path.string());
    size_ = static_cast<std::uint64_t>(end);
  }
}

ByteFile::~ByteFile() {
  if (file_ != nullptr) std::fclose(file_);
}

ByteFile& ByteFile::operator=(ByteFile&& other) noexcept {
  if (this != &other) {
    if (file_ != nullptr) std::fclose(file_);
    file_ = other.file_;
    size_ = other.size_;
    other.file_ = nullptr;
  }
  return *this;
}

std::size_t ByteFile::ReadAt(std::uint64_t offset, void* buffer, std::size_t count) {
  if (file_ == nullptr || count == 0 || offset >= size_) return 0;
  if (fseeko(file_, static_cast<off_t>(offset), SEEK_SET) != 0) return 0;
  return std::fread(buffer, 1, count, file_);
}

void ByteFile::ReadExact(std::uint64_t offset, void* buffer, std::size_t count) {
  if (count != 0 && ReadAt(offset, buffer, count) != count) throw QuiltorError("unexpected end of image file");
}

void ByteFile::Write(const void* buffer, std::size_t count) {
  if (file_ == nullptr || std::fwrite(buffer, 1, count, file_) != count) throw QuiltorError("cannot write image file");
}

void ByteFile::Close() {
  if (file_ == nullptr) return;
  const bool ok = std::fclose(file_) == 0;
  file_ = nullptr;
  if (!ok) throw QuiltorError("cannot finish writing image file");
}

}  // namespace quiltor
