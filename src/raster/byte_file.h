#pragma once
// The owned read or write file of every image reader and writer: positioned
// reads, appends, the FILE* handle the decoder libraries read through, whole
// files with a size cap, and the byte-order field helpers. Move-only;
// closes itself. Every failure names the file and the system's reason.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace quiltor {

class ByteFile {
 public:
  ByteFile() = default;
  // Opens for reading ("rb") or creates/truncates for writing ("wb"); throws
  // QuiltorError when the file cannot be opened or, for reading, measured.
  // `shownName` is the name failures give, when the file is written under a
  // temporary name for another (the path by default).
  ByteFile(const std::filesystem::path& path, const char* mode, std::string shownName = {});
  // The same without throwing: a closed file when it cannot be opened.
  static ByteFile TryOpen(const std::filesystem::path& path, const char* mode) noexcept;
  ~ByteFile();
  ByteFile(ByteFile&& other) noexcept : file_(other.file_), size_(other.size_), name_(std::move(other.name_)) {
    other.file_ = nullptr;
  }
  ByteFile& operator=(ByteFile&& other) noexcept;
  ByteFile(const ByteFile&) = delete;
  ByteFile& operator=(const ByteFile&) = delete;

  bool isOpen() const { return file_ != nullptr; }
  explicit operator bool() const { return isOpen(); }
  // The handle, for decoder libraries that read or write through a FILE*; a
  // file opened for reading stands at its start.
  std::FILE* get() const { return file_; }
  // Size when opened for reading.
  std::uint64_t size() const { return size_; }

  // Reads up to `count` bytes at `offset`; returns the number that arrived.
  std::size_t ReadAt(std::uint64_t offset, void* buffer, std::size_t count) const;
  // Reads exactly `count` bytes at `offset`; false on a short read.
  bool ReadAll(std::uint64_t offset, void* buffer, std::size_t count) const {
    return count == 0 || ReadAt(offset, buffer, count) == count;
  }
  // Reads exactly `count` bytes at `offset` or throws QuiltorError.
  void ReadExact(std::uint64_t offset, void* buffer, std::size_t count) const;
  // Appends `count` bytes; throws QuiltorError ("cannot write NAME: reason")
  // on a write failure, a full disk among them.
  void Write(const void* buffer, std::size_t count);
  // Flushes and closes; throws QuiltorError with the name and the reason
  // when buffered data was lost.
  void Close();
  // Flushes and closes; false when buffered data was lost.
  bool TryClose() noexcept;

 private:
  // Opens and, for reading, measures; closed when either fails.
  bool OpenAndMeasure(const std::filesystem::path& path, const char* mode) noexcept;

  std::FILE* file_ = nullptr;
  std::uint64_t size_ = 0;
  std::string name_;
};

// The system's text for an errno value ("No space left on device").
std::string SystemReason(int error);

// The whole file, or nullopt when it cannot be read or is larger than
// `maxBytes` (a reader never trusts a file to fit in memory).
std::optional<std::vector<std::uint8_t>> ReadWholeFile(const std::filesystem::path& path, std::uint64_t maxBytes);

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
