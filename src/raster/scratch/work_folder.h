#pragma once
// A private folder for the intermediate files of one job, created inside the
// user's temporary folder and removed with everything in it when the job
// ends, on success, failure or abort alike. Only this folder is ever
// removed: files of other jobs or programs in the temporary folder are never
// touched.
//
// A job killed hard (power loss, kill -9) cannot remove its folder, and the
// folder may hold an image of gigabytes. So every work folder holds a lock
// file that its process keeps locked while it lives (an advisory lock the
// kernel releases when the process dies), and the sweep removes the folders
// whose lock it can take.
#include <filesystem>
#include <string>

namespace quiltor {

// The names work folders begin with: a create's folder and the folder of a
// tiled conversion on its own.
inline constexpr const char* kCreateWorkFolderPrefix = "quiltor-create-";
inline constexpr const char* kConversionWorkFolderPrefix = "quiltor-work-";
// The lock file inside every work folder.
inline constexpr const char* kWorkFolderLockName = "quiltor.lock";

class WorkFolder {
 public:
  // Creates a new, uniquely named subfolder of `parent` (which must exist),
  // holding its lock file already locked: the sweep never sees a folder of
  // a live job unlocked. Throws QuiltorError when it cannot be created.
  explicit WorkFolder(const std::filesystem::path& parent,
                      const std::string& prefix = kConversionWorkFolderPrefix);
  ~WorkFolder();
  WorkFolder(const WorkFolder&) = delete;
  WorkFolder& operator=(const WorkFolder&) = delete;

  const std::filesystem::path& path() const { return path_; }
  std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

  // Removes the folder now; true when it is gone. Called by the destructor.
  bool Remove();

 private:
  std::filesystem::path path_;
  int lock_ = -1;  // the open, locked lock file; closing it releases the lock
};

// Removes the work folders in `parent` whose job is gone, and only those:
// entries named with a work-folder prefix that are real folders (not
// symbolic links) holding a lock file that can be locked now. The user's
// own files, folders without the lock file and the folders of running jobs
// (in this process or another) are never touched. Answers how many folders
// were removed; never throws.
int SweepAbandonedWorkFolders(const std::filesystem::path& parent) noexcept;

// A destination written under a temporary name in its own folder and moved
// over the real name only when complete: a failed or aborted write never
// leaves a partial file, and an existing file stays as it was until the new
// one is whole.
class PendingFile {
 public:
  explicit PendingFile(const std::filesystem::path& destination);
  ~PendingFile();  // removes the temporary file unless committed
  PendingFile(const PendingFile&) = delete;
  PendingFile& operator=(const PendingFile&) = delete;

  const std::filesystem::path& temporaryPath() const { return temporary_; }
  const std::filesystem::path& destination() const { return destination_; }
  // Renames the finished temporary file over the destination.
  void Commit();

 private:
  friend void CommitTogether(PendingFile& first, PendingFile& second);

  std::filesystem::path destination_;
  std::filesystem::path temporary_;
  bool committed_ = false;
};

// Puts two finished files in place as one result (an image and its ".map"):
// when the second cannot be moved into place, the first destination is put
// back as it was before, so a failure never pairs a new image with an
// earlier calibration. Throws QuiltorError naming the file and the reason;
// both pending files are then removed by their owners.
void CommitTogether(PendingFile& first, PendingFile& second);

}  // namespace quiltor
