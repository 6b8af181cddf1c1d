// The sweep of abandoned work folders against a live second process: its
// folder stays while it runs and goes once it is killed hard; the user's own
// entries named like ours stay whatever they hold.
#include "raster/scratch/work_folder.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <iterator>
#include <set>
#include <string>

#include "common/error.h"
#include "support/temp_folder.h"

namespace quiltor {
namespace {

namespace fs = std::filesystem;

// A child process that makes a work folder in `parent`, writes a file into
// it, says so through a pipe and waits to be killed.
class WorkingChild {
 public:
  explicit WorkingChild(const fs::path& parent) {
    int ready[2];
    if (::pipe(ready) != 0) throw std::runtime_error("pipe");
    pid_ = ::fork();
    if (pid_ == 0) {
      ::close(ready[0]);
      try {
        WorkFolder work(parent, kCreateWorkFolderPrefix);
        std::ofstream(work / "rows.qtxx0") << "rows of a create";
        const std::string name = work.path().filename().string() + "\n";
        if (::write(ready[1], name.data(), name.size()) < 0) ::_exit(1);
        for (;;) ::pause();
      } catch (...) {
      }
      ::_exit(1);
    }
    ::close(ready[1]);
    char buffer[256];
    ssize_t n = 0;
    std::string line;
    while (line.find('\n') == std::string::npos && (n = ::read(ready[0], buffer, sizeof buffer)) > 0)
      line.append(buffer, static_cast<std::size_t>(n));
    ::close(ready[0]);
    if (line.find('\n') != std::string::npos) folder_ = parent / line.substr(0, line.find('\n'));
  }
  ~WorkingChild() { KillHard(); }
  WorkingChild(const WorkingChild&) = delete;
  WorkingChild& operator=(const WorkingChild&) = delete;

  // As power loss or kill -9: no destructor runs in the child.
  void KillHard() {
    if (pid_ <= 0) return;
    ::kill(pid_, SIGKILL);
    ::waitpid(pid_, nullptr, 0);
    pid_ = -1;
  }
  const fs::path& folder() const { return folder_; }

 private:
  pid_t pid_ = -1;
  fs::path folder_;
};

TEST(WorkFolderSweepTest, RemovesOnlyFoldersWhoseProcessIsGone) {
  testing::TempFolder temp;
  // What the user may keep in the temporary folder, named like ours.
  fs::create_directory(temp / "quiltor-create-mine");  // no lock file
  std::ofstream(temp / "quiltor-create-mine" / "notes.txt") << "mine";
  std::ofstream(temp / "quiltor-work-1-2") << "a file, not a folder";
  // A folder whose lock file is still being made: never taken for abandoned.
  fs::create_directory(temp / "quiltor-create-starting");
  std::ofstream(temp / "quiltor-create-starting" / (std::string(kWorkFolderLockName) + ".new"));
  // A link named like a work folder to a folder that looks abandoned: the
  // sweep neither follows nor removes it.
  fs::create_directory(temp / "elsewhere");
  std::ofstream(temp / "elsewhere" / kWorkFolderLockName);
  std::ofstream(temp / "elsewhere" / "keep.txt") << "keep";
  fs::create_directory_symlink(temp / "elsewhere", temp / "quiltor-work-link");
  // An abandoned folder of a program that is not ours.
  fs::create_directory(temp / "other-create-1");
  std::ofstream(temp / "other-create-1" / kWorkFolderLockName);

  WorkingChild child(temp.path());
  ASSERT_FALSE(child.folder().empty()) << "the child made no work folder";
  ASSERT_TRUE(fs::is_directory(child.folder())) << child.folder();
  WorkFolder ours(temp.path(), kCreateWorkFolderPrefix);  // a running create in this process

  EXPECT_EQ(SweepAbandonedWorkFolders(temp.path()), 0);
  EXPECT_TRUE(fs::exists(child.folder() / "rows.qtxx0"));
  EXPECT_TRUE(fs::is_directory(ours.path()));

  child.KillHard();
  EXPECT_EQ(SweepAbandonedWorkFolders(temp.path()), 1);
  EXPECT_FALSE(fs::exists(child.folder()));

  EXPECT_TRUE(fs::is_directory(ours.path()));
  EXPECT_TRUE(fs::exists(temp / "quiltor-create-mine" / "notes.txt"));
  EXPECT_TRUE(fs::is_regular_file(temp / "quiltor-work-1-2"));
  EXPECT_TRUE(fs::is_directory(temp / "quiltor-create-starting"));
  EXPECT_TRUE(fs::is_symlink(temp / "quiltor-work-link"));
  EXPECT_TRUE(fs::exists(temp / "elsewhere" / "keep.txt"));
  EXPECT_TRUE(fs::exists(temp / "other-create-1" / kWorkFolderLockName));
}

TEST(WorkFolderSweepTest, AFinishedFolderLeavesNothingToSweep) {
  testing::TempFolder temp;
  { WorkFolder work(temp.path()); }
  EXPECT_TRUE(fs::is_empty(temp.path()));
  EXPECT_EQ(SweepAbandonedWorkFolders(temp / "absent"), 0);
}

std::string ReadText(const fs::path& path) {
  std::ifstream in(path);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

std::set<std::string> Entries(const fs::path& folder) {
  std::set<std::string> names;
  for (const auto& e : fs::directory_iterator(folder)) names.insert(e.path().filename().string());
  return names;
}

// An image and its ".map" go in place together or not at all: when the
// second cannot be moved into place (here a folder holds its name), the
// first destination reads as before, and no pending or kept file remains.
TEST(CommitTogetherTest, TheFirstIsPutBackWhenTheSecondFails) {
  struct Case {
    const char* what;
    bool earlierImage;
    bool mapBlocked;
  };
  const Case cases[] = {
      {"earlier image, map blocked", true, true},
      {"no earlier image, map blocked", false, true},
      {"earlier image replaced", true, false},
  };
  for (const Case& c : cases) {
    testing::TempFolder temp;
    const fs::path image = temp / "x.qtx2", map = temp / "x.map";
    if (c.earlierImage) std::ofstream(image) << "earlier image";
    if (c.mapBlocked) {
      fs::create_directory(map);
      std::ofstream(map / "inside") << "a folder named like the map file";
    }
    {
      PendingFile newImage(image), newMap(map);
      std::ofstream(newImage.temporaryPath()) << "new image";
      std::ofstream(newMap.temporaryPath()) << "new map";
      if (c.mapBlocked) {
        EXPECT_THROW(CommitTogether(newImage, newMap), QuiltorError) << c.what;
      } else {
        CommitTogether(newImage, newMap);
        EXPECT_EQ(ReadText(map), "new map") << c.what;
      }
    }
    const char* imageText = !c.mapBlocked ? "new image" : c.earlierImage ? "earlier image" : nullptr;
    EXPECT_EQ(fs::exists(image), imageText != nullptr) << c.what;
    if (imageText) {
      EXPECT_EQ(ReadText(image), imageText) << c.what;
    }
    std::set<std::string> expected{"x.map"};
    if (imageText) expected.insert("x.qtx2");
    EXPECT_EQ(Entries(temp.path()), expected) << c.what;
  }
}

}  // namespace
}  // namespace quiltor
