#include "raster/byte_file.h"

#include <sys/types.h>

#include <cerrno>
#include <system_error>

#include "common/error.h"

namespace quiltor {

bool ByteFile::OpenAndMeasure(const std::filesystem::path& path, const char* mode) noexcept {
  file_ = std::fopen(path.c_str(), mode);
  if (file_ == nullptr) return false;
  if (mode[0] == 'r') {
    const bool measured = fseeko(file_, 0, SEEK_END) == 0;
    const off_t end = measured ? ftello(file_) : -1;
    if (end < 0 || fseeko(file_, 0, SEEK_SET) != 0) {
      std::fclose(file_);
      file_ = nullptr;
      return false;
    }
    size_ = static_cast<std::uint64_t>(end);
  }
  return true;
}

std::string SystemReason(int error) { return std::generic_category().message(error); }

ByteFile::ByteFile(const std::filesystem::path& path, const char* mode, std::string shownName)
    : name_(shownName.empty() ? path.string() : std::move(shownName)) {
  errno = 0;
  if (!OpenAndMeasure(path, mode)) {
    const int error = errno;
    throw QuiltorError("cannot open " + name_ + (error != 0 ? ": " + SystemReason(error) : std::string()));
  }
}

ByteFile ByteFile::TryOpen(const std::filesystem::path& path, const char* mode) noexcept {
  ByteFile file;
  file.name_ = path.string();
  file.OpenAndMeasure(path, mode);
  return file;
}

ByteFile::~ByteFile() {
  if (file_ != nullptr) std::fclose(file_);
}

ByteFile& ByteFile::operator=(ByteFile&& other) noexcept {
  if (this != &other) {
    if (file_ != nullptr) std::fclose(file_);
    file_ = other.file_;
    size_ = other.size_;
    name_ = std::move(other.name_);
    other.file_ = nullptr;
  }
  return *this;
}

std::size_t ByteFile::ReadAt(std::uint64_t offset, void* buffer, std::size_t count) const {
  if (file_ == nullptr || count == 0 || offset >= size_) return 0;
  if (fseeko(file_, static_cast<off_t>(offset), SEEK_SET) != 0) return 0;
  return std::fread(buffer, 1, count, file_);
}

void ByteFile::ReadExact(std::uint64_t offset, void* buffer, std::size_t count) const {
  if (!ReadAll(offset, buffer, count)) throw QuiltorError("unexpected end of image file");
}

void ByteFile::Write(const void* buffer, std::size_t count) {
  if (file_ == nullptr) throw QuiltorError("cannot write " + name_ + ": the file is not open");
  errno = 0;
  if (std::fwrite(buffer, 1, count, file_) != count) {
    const int error = errno != 0 ? errno : EIO;
    throw QuiltorError("cannot write " + name_ + ": " + SystemReason(error));
  }
}

bool ByteFile::TryClose() noexcept {
  if (file_ == nullptr) return true;
  const bool ok = std::fclose(file_) == 0;
  file_ = nullptr;
  return ok;
}

void ByteFile::Close() {
  // fclose writes what is still buffered: a full disk may show only here.
  errno = 0;
  if (!TryClose()) {
    const int error = errno != 0 ? errno : EIO;
    throw QuiltorError("cannot finish writing " + name_ + ": " + SystemReason(error));
  }
}

std::optional<std::vector<std::uint8_t>> ReadWholeFile(const std::filesystem::path& path, std::uint64_t maxBytes) {
  const ByteFile file = ByteFile::TryOpen(path, "rb");
  if (!file || file.size() > maxBytes) return std::nullopt;
  std::vector<std::uint8_t> bytes(static_cast<std::size_t>(file.size()));
  if (!file.ReadAll(0, bytes.data(), bytes.size())) return std::nullopt;
  return bytes;
}

}  // namespace quiltor
