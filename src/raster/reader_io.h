#pragma once
// Small pieces shared by the format readers: an owned C file handle (the
// decoder libraries read through FILE*) and whole-file reading with a size
// cap. The byte-order field helpers are in byte_file.h.
#include <climits>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <vector>

namespace quiltor::reader_io {

// Owns a std::FILE* and closes it; move-only.
class CFile {
 public:
  CFile() = default;
  CFile(const std::filesystem::path& path, const char* mode) : file_(std::fopen(path.c_str(), mode)) {}
  ~CFile() { Close(); }
  CFile(CFile&& other) noexcept : file_(other.file_) { other.file_ = nullptr; }
  CFile& operator=(CFile&& other) noexcept {
    if (this != &other) {
      Close();
      file_ = other.file_;
      other.file_ = nullptr;
    }
    return *this;
  }
  CFile(const CFile&) = delete;
  CFile& operator=(const CFile&) = delete;

  explicit operator bool() const { return file_ != nullptr; }
  std::FILE* get() const { return file_; }

  // Closes the file; false when buffered data could not be written.
  bool Close() {
    if (file_ == nullptr) return true;
    const bool ok = std::fclose(file_) == 0;
    file_ = nullptr;
    return ok;
  }

  // Size in bytes, or nullopt when the file cannot be measured.
  std::optional<std::uint64_t> Size() const {
    if (file_ == nullptr) return std::nullopt;
    const long here = std::ftell(file_);
    if (here < 0 || std::fseek(file_, 0, SEEK_END) != 0) return std::nullopt;
    const long end = std::ftell(file_);
    if (end < 0 || std::fseek(file_, here, SEEK_SET) != 0) return std::nullopt;
    return static_cast<std::uint64_t>(end);
  }

  // Reads exactly `count` bytes at `offset`; false on a short read.
  bool ReadAt(std::uint64_t offset, void* buffer, std::size_t count) const {
    if (file_ == nullptr || offset > static_cast<std::uint64_t>(LONG_MAX)) return false;
    if (std::fseek(file_, static_cast<long>(offset), SEEK_SET) != 0) return false;
    return std::fread(buffer, 1, count, file_) == count;
  }

 private:
  std::FILE* file_ = nullptr;
};

// The whole file, or nullopt when it cannot be read or is larger than
// `maxBytes` (a reader never trusts a file to fit in memory).
inline std::optional<std::vector<std::uint8_t>> ReadWholeFile(const std::filesystem::path& path, std::uint64_t maxBytes) {
  CFile file(path, "rb");
  const auto size = file.Size();
  if (!size || *size > maxBytes) return std::nullopt;
  std::vector<std::uint8_t> bytes(static_cast<std::size_t>(*size));
  if (!bytes.empty() && !file.ReadAt(0, bytes.data(), bytes.size())) return std::nullopt;
  return bytes;
}

}  // namespace quiltor::reader_io
