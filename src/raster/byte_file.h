#pragma once
// An owned read or write file for the tiled and temporary image readers and
// writers: positioned reads that report how many bytes arrived, appends, and
// the byte-order field helpers every image reader and writer uses.
// Move-only; closes itself.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>

namespace quiltor {

class ByteFile {
 public:
  ByteFile() = default;
  // Opens for reading ("rb") or creates/truncates for writing ("wb"); throws
  // QuiltorError when the file cannot be opened.
  ByteFile(const std::filesystem::path& path, const char* mode);
  ~ByteFile();
  ByteFile(ByteFile&& other) noexcept : file_(other.file_), size_(other.size_) { other.file_ = nullptr; }
  ByteFile& operator=(ByteFile&& other) noexcept;
  ByteFile(const ByteFile&) = delete;
  ByteFile& operator=(const ByteFile&) = delete;

  bool isOpen() const { return file_ != nullptr; }
  // Size when opened for reading.
  std::uint64_t size() const { return size_; }

  // Reads up to `count` bytes at `offset`; returns the number that arrived.
  std::size_t ReadAt(std::uint64_t offset, void* buffer, std::size_t count);
  // Reads exactly `count` bytes at `offset` or throws QuiltorError.
  void ReadExact(std::uint64_t offset, void* buffer, std::size_t count);
  // Appends `count` bytes; throws QuiltorError on a write failure.
  void Write(const void* buffer, std::size_t count);
  // Flushes and closes; throws QuiltorError when buffered data was lost.
  void Close();

 private:
  std::FILE* file_ = nullptr;
  std::uint64_t size_ = 0;
};

inline std::uint16_t LoadLe16(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] | (p[1] << 8)); }
inline std::uint32_t LoadLe32(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
         (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}
inline std::uint64_t LoadLe64(const std::uint8_t* p) {
  return static_cast<std::uint64_t>(LoadLe32(p)) | (static_cast<std::uint64_t>(LoadLe32(p + 4)) << 32);
}
// Charts store their row index, PNG its chunk fields, most significant first.
inline std::uint32_t LoadBe32(const std::uint8_t* p) {
  return (static_cast<std::uint32_t>(p[0]) << 24) | (static_cast<std::uint32_t>(p[1]) << 16) |
         (static_cast<std::uint32_t>(p[2]) << 8) | static_cast<std::uint32_t>(p[3]);
}
inline void StoreLe16(std::uint8_t* p, std::uint16_t v) {
  p[0] = static_cast<std::uint8_t>(v);
  p[1] = static_cast<std::uint8_t>(v >> 8);
}
inline void StoreLe32(std::uint8_t* p, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}
inline void StoreLe64(std::uint8_t* p, std::uint64_t v) {
  for (int i = 0; i < 8; ++i) p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}

}  // namespace quiltor
