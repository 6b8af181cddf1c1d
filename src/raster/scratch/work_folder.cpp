#include "raster/scratch/work_folder.h"

#include <unistd.h>

#include <random>

#include "common/error.h"

namespace quiltor {
namespace {

std::string UniqueSuffix() {
  std::random_device rd;
  const auto value = (static_cast<unsigned long long>(rd()) << 32) ^ rd();
  return std::to_string(::getpid()) + "-" + std::to_string(value % 100000000ULL);
}

}  // namespace

WorkFolder::WorkFolder(const std::filesystem::path& parent, const std::string& prefix) {
  for (int attempt = 0; attempt < 100; ++attempt) {
    const std::filesystem::path candidate = parent / (prefix + UniqueSuffix());
    std::error_code ec;
    // create_directory is false when the name already exists: never adopt a
    // folder someone else made, or its files would be removed with ours.
    if (std::filesystem::create_directory(candidate, ec)) {
      path_ = candidate;
      return;
    }
    if (ec) throw QuiltorError("cannot create a work folder in " + parent.string() + ": " + ec.message());
  }
  throw QuiltorError("cannot find a free work folder name in " + parent.string());
}

WorkFolder::~WorkFolder() { Remove(); }

bool WorkFolder::Remove() {
  if (path_.empty()) return true;
  std::error_code ec;
  std::filesystem::remove_all(path_, ec);
  if (ec) return false;
  path_.clear();
  return true;
}

PendingFile::PendingFile(const std::filesystem::path& destination) : destination_(destination) {
  const std::filesystem::path folder = destination.has_parent_path() ? destination.parent_path() : ".";
  for (int attempt = 0; attempt < 100; ++attempt) {
    std::string name = destination.filename().string();
    name.insert(name.begin(), '.');
    name += ".partial-";
    name += UniqueSuffix();
    const std::filesystem::path candidate = folder / name;
    if (!std::filesystem::exists(candidate)) {
      temporary_ = candidate;
      return;
    }
  }
  throw QuiltorError("cannot find a free temporary name beside " + destination.string());
}

PendingFile::~PendingFile() {
  if (!committed_) {
    std::error_code ec;
    std::filesystem::remove(temporary_, ec);
  }
}

void PendingFile::Commit() {
  std::error_code ec;
  std::filesystem::rename(temporary_, destination_, ec);
  if (ec) throw QuiltorError("cannot move the finished file to " + destination_.string() + ": " + ec.message());
  committed_ = true;
}

}  // namespace quiltor
