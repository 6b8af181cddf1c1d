#pragma once
// A private folder for the intermediate files of one job, created inside the
// user's temporary folder and removed with everything in it when the job
// ends, on success, failure or abort alike. Only this folder is ever
// removed: files of other jobs or programs in the temporary folder are never
// touched.
#include <filesystem>
#include <string>

namespace quiltor {

class WorkFolder {
 public:
  // Creates a new, uniquely named subfolder of `parent` (which must exist).
  // Throws QuiltorError when it cannot be created.
  explicit WorkFolder(const std::filesystem::path& parent, const std::string& prefix = "quiltor-work-");
  ~WorkFolder();
  WorkFolder(const WorkFolder&) = delete;
  WorkFolder& operator=(const WorkFolder&) = delete;

  const std::filesystem::path& path() const { return path_; }
  std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

  // Removes the folder now; true when it is gone. Called by the destructor.
  bool Remove();

 private:
  std::filesystem::path path_;
};

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
  std::filesystem::path destination_;
  std::filesystem::path temporary_;
  bool committed_ = false;
};

}  // namespace quiltor
