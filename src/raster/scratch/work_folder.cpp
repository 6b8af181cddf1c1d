#include "raster/scratch/work_folder.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <random>
#include <string_view>
#include <system_error>
#include <utility>

#include "common/error.h"

namespace quiltor {
namespace {

namespace fs = std::filesystem;

std::string UniqueSuffix() {
  std::random_device rd;
  const auto value = (static_cast<unsigned long long>(rd()) << 32) ^ rd();
  return std::to_string(::getpid()) + "-" + std::to_string(value % 100000000ULL);
}

std::string Reason(int error) { return std::generic_category().message(error); }

// An open descriptor, closed with its owner.
class Descriptor {
 public:
  explicit Descriptor(int fd) : fd_(fd) {}
  ~Descriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  int get() const { return fd_; }
  int release() { return std::exchange(fd_, -1); }

 private:
  int fd_;
};

// The lock file of a new work folder, locked before it can be seen: it is
// made and locked under a name the sweep ignores, then renamed to the lock
// name, which is atomic. A folder without the lock name is left alone, so
// the moment between making the folder and locking it is safe. Answers the
// locked descriptor; throws with the system's reason.
int LockNewFolder(const fs::path& folder) {
  const fs::path pending = folder / (std::string(kWorkFolderLockName) + ".new");
  Descriptor lock(::open(pending.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
  if (lock.get() < 0 || ::flock(lock.get(), LOCK_EX | LOCK_NB) != 0 ||
      ::rename(pending.c_str(), (folder / kWorkFolderLockName).c_str()) != 0) {
    throw QuiltorError("cannot lock the work folder " + folder.string() + ": " + Reason(errno));
  }
  return lock.release();
}

bool NamedLikeWorkFolder(std::string_view name) {
  for (std::string_view prefix : {kCreateWorkFolderPrefix, kConversionWorkFolderPrefix})
    if (name.size() > prefix.size() && name.substr(0, prefix.size()) == prefix) return true;
  return false;
}

// True when `folder` is a work folder whose job is gone, and removes it
// then, still holding its lock so that no second sweep works on it at once.
bool RemoveWhenAbandoned(const fs::path& folder) {
  const fs::path lockPath = folder / kWorkFolderLockName;
  // O_NOFOLLOW: a link named like the lock file is not ours to lock.
  Descriptor lock(::open(lockPath.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
  if (lock.get() < 0) return false;
  struct stat locked {};
  if (::fstat(lock.get(), &locked) != 0 || !S_ISREG(locked.st_mode)) return false;
  if (::flock(lock.get(), LOCK_EX | LOCK_NB) != 0) return false;  // its job is running
  // Another sweep may have removed this folder between the open and the
  // lock: go on only while the lock file is still the one locked.
  struct stat now {};
  if (::lstat(lockPath.c_str(), &now) != 0 || now.st_dev != locked.st_dev || now.st_ino != locked.st_ino) return false;
  std::error_code ec;
  fs::remove_all(folder, ec);  // removes links inside, never what they point to
  return !ec;
}

}  // namespace

WorkFolder::WorkFolder(const fs::path& parent, const std::string& prefix) {
  for (int attempt = 0; attempt < 100; ++attempt) {
    const fs::path candidate = parent / (prefix + UniqueSuffix());
    std::error_code ec;
    // create_directory is false when the name already exists: never adopt a
    // folder someone else made, or its files would be removed with ours.
    if (fs::create_directory(candidate, ec)) {
      path_ = candidate;
      try {
        lock_ = LockNewFolder(candidate);
      } catch (...) {
        Remove();
        throw;
      }
      return;
    }
    if (ec) throw QuiltorError("cannot create a work folder in " + parent.string() + ": " + ec.message());
  }
  throw QuiltorError("cannot find a free work folder name in " + parent.string());
}

WorkFolder::~WorkFolder() {
  Remove();
  if (lock_ >= 0) ::close(lock_);  // a folder that could not be removed goes to a later sweep
}

bool WorkFolder::Remove() {
  if (path_.empty()) return true;
  // The lock is held until the folder is gone: a sweep never races us.
  std::error_code ec;
  fs::remove_all(path_, ec);
  if (ec) return false;
  path_.clear();
  if (lock_ >= 0) ::close(std::exchange(lock_, -1));
  return true;
}

int SweepAbandonedWorkFolders(const fs::path& parent) noexcept {
  int removed = 0;
  try {
    std::error_code ec;
    for (fs::directory_iterator it(parent, fs::directory_options::skip_permission_denied, ec), end; !ec && it != end;
         it.increment(ec)) {
      if (!NamedLikeWorkFolder(it->path().filename().string())) continue;
      std::error_code statError;
      if (!fs::is_directory(it->symlink_status(statError)) || statError) continue;
      if (RemoveWhenAbandoned(it->path())) ++removed;
    }
  } catch (const std::exception&) {
    // A folder that cannot be read is simply not swept: the sweep is a
    // courtesy before a create, never a reason for it to fail.
  }
  return removed;
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

namespace {

// The earlier file of a destination, kept under a name beside it until the
// new result is wholly in place: then dropped, or on failure put back.
class EarlierFile {
 public:
  explicit EarlierFile(const fs::path& destination) : destination_(destination) {
    std::error_code ec;
    const fs::file_type type = fs::symlink_status(destination, ec).type();
    // Nothing to keep, or nothing a file could replace.
    if (type != fs::file_type::regular && type != fs::file_type::symlink) return;
    std::string name = destination.filename().string();
    name.insert(name.begin(), '.');
    backup_ = destination.parent_path() / (name + ".earlier-" + UniqueSuffix());
    // A hard link keeps the destination in place throughout; where the
    // filesystem has none, the earlier file moves aside instead.
    if (::link(destination.c_str(), backup_.c_str()) == 0) return;
    if (::rename(destination.c_str(), backup_.c_str()) == 0) {
      movedAside_ = true;
      return;
    }
    throw QuiltorError("cannot keep the earlier " + destination.string() + " while replacing it: " + Reason(errno));
  }
  ~EarlierFile() {
    if (!backup_.empty()) ::unlink(backup_.c_str());
  }
  EarlierFile(const EarlierFile&) = delete;
  EarlierFile& operator=(const EarlierFile&) = delete;

  // True when the destination is not where it was: moved aside.
  bool movedAside() const { return movedAside_; }

  // The new file did not stay in place: the destination reads as before.
  void PutBack() {
    if (backup_.empty()) {
      ::unlink(destination_.c_str());  // there was none: no new file either
    } else {
      // Should even this fail, the earlier file stays under its kept name
      // rather than be lost.
      ::rename(backup_.c_str(), destination_.c_str());
      backup_.clear();
    }
  }

 private:
  fs::path destination_;
  fs::path backup_;
  bool movedAside_ = false;
};

void RenameOver(const fs::path& from, const fs::path& to) {
  if (::rename(from.c_str(), to.c_str()) != 0)
    throw QuiltorError("cannot move the finished file to " + to.string() + ": " + Reason(errno));
}

}  // namespace

void CommitTogether(PendingFile& first, PendingFile& second) {
  EarlierFile earlier(first.destination_);
  bool firstInPlace = false;
  try {
    RenameOver(first.temporary_, first.destination_);
    firstInPlace = true;
    first.committed_ = true;
    RenameOver(second.temporary_, second.destination_);
    second.committed_ = true;
  } catch (...) {
    if (firstInPlace || earlier.movedAside()) earlier.PutBack();
    throw;
  }
}

void PendingFile::Commit() {
  std::error_code ec;
  std::filesystem::rename(temporary_, destination_, ec);
  if (ec) throw QuiltorError("cannot move the finished file to " + destination_.string() + ": " + ec.message());
  committed_ = true;
}

}  // namespace quiltor
