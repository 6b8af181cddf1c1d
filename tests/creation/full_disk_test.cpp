// quiltor-cli create on the sample maps with a full disk at each stage in
// turn: a small filesystem for the temporary folder (the rows, sharpening
// and the zoom levels write there) or for the output folder (the tiled image
// and its ".map"). Every such create ends with exit 1 and a message naming
// the file and the system's reason, leaves no output and no temporary file,
// and an earlier image and ".map" of the output name stay byte for byte.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <sched.h>
#include <spawn.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <map>
#include <optional>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "support/file_bytes.h"
#include "support/temp_folder.h"

extern char** environ;

namespace quiltor {
namespace {

namespace fs = std::filesystem;

constexpr const char* kNoSpace = "No space left on device";
constexpr std::uint64_t kPage = 4096;

void WriteProcFile(const char* path, const std::string& text) { std::ofstream(path) << text; }

// Without the right to mount, a user namespace of its own may give it: this
// test process (single-threaded, and the program it starts) then sees its
// own mounts, as root mapped to the real user.
bool EnterOwnMountNamespace() {
  const uid_t uid = ::getuid();
  const gid_t gid = ::getgid();
  if (::unshare(CLONE_NEWUSER | CLONE_NEWNS) != 0) return false;
  WriteProcFile("/proc/self/setgroups", "deny");
  WriteProcFile("/proc/self/uid_map", "0 " + std::to_string(uid) + " 1");
  WriteProcFile("/proc/self/gid_map", "0 " + std::to_string(gid) + " 1");
  return ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0;
}

// A tmpfs of `bytes` mounted on a new folder; unmounted with its owner.
class SmallDisk {
 public:
  SmallDisk(const fs::path& at, std::uint64_t bytes) : path_(at) {
    fs::create_directories(at);
    const std::string options = "size=" + std::to_string(bytes);
    if (Mount(options) != 0 && errno == EPERM && EnterOwnMountNamespace()) Mount(options);
  }
  ~SmallDisk() {
    if (error_ == 0) ::umount2(path_.c_str(), MNT_DETACH);
  }
  SmallDisk(const SmallDisk&) = delete;
  SmallDisk& operator=(const SmallDisk&) = delete;

  bool mounted() const { return error_ == 0; }
  std::string why() const { return "cannot mount a tmpfs here: " + std::string(std::strerror(error_)); }
  const fs::path& path() const { return path_; }

  // Fills the disk so that exactly `bytes` (a multiple of a page) stay free.
  void LeaveFree(std::uint64_t bytes) {
    fs::remove(path_ / "fill");
    struct statvfs s {};
    ASSERT_EQ(::statvfs(path_.c_str(), &s), 0);
    const std::uint64_t free = static_cast<std::uint64_t>(s.f_bavail) * s.f_frsize;
    ASSERT_GE(free, bytes);
    std::ofstream fill(path_ / "fill", std::ios::binary);
    const std::vector<char> page(kPage, 'f');
    for (std::uint64_t left = free - bytes; left > 0; left -= kPage) fill.write(page.data(), kPage);
    fill.close();
    ASSERT_TRUE(fill) << "could not fill " << path_;
  }
  // What is in the disk beside the fill.
  std::set<std::string> Entries() const {
    std::set<std::string> names;
    for (const auto& e : fs::directory_iterator(path_))
      if (e.path().filename() != "fill") names.insert(e.path().filename().string());
    return names;
  }

 private:
  int Mount(const std::string& options) {
    error_ = ::mount("tmpfs", path_.c_str(), "tmpfs", 0, options.c_str()) == 0 ? 0 : errno;
    return error_;
  }

  fs::path path_;
  int error_ = 0;
};

struct CliRun {
  int exit = -1;
  std::string out, err;
};

std::string ReadText(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// Runs the program with its output in files of `scratch`, as a user does.
CliRun RunCli(const std::vector<std::string>& args, const fs::path& scratch) {
  std::vector<std::string> all{QUILTOR_CLI};
  all.insert(all.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (std::string& a : all) argv.push_back(a.data());
  argv.push_back(nullptr);
  const fs::path out = scratch / "stdout.txt", err = scratch / "stderr.txt";
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  pid_t pid = -1;
  CliRun run;
  if (posix_spawn(&pid, all[0].c_str(), &actions, nullptr, argv.data(), environ) == 0) {
    int status = 0;
    ::waitpid(pid, &status, 0);
    run.exit = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  posix_spawn_file_actions_destroy(&actions);
  run.out = ReadText(out);
  run.err = ReadText(err);
  return run;
}

class FullDiskTest : public ::testing::Test {
 protected:
  void SetUp() override {
    temp_.emplace(root_ / "temp", 2 * 1024 * 1024);
    output_.emplace(root_ / "output", 1024 * 1024);
    if (!temp_->mounted()) GTEST_SKIP() << temp_->why();
    if (!output_->mounted()) GTEST_SKIP() << output_->why();
  }
  void TearDown() override {
    output_.reset();
    temp_.reset();
  }

  fs::path Image() const { return output_->path() / "merged.qtx2"; }
  fs::path MapFile() const { return output_->path() / "merged.map"; }

  CliRun Create() {
    return RunCli({"create", "--folder", std::string(QUILTOR_SOURCE_DIR) + "/samples", "-o", Image().string(),
                   "--temp", temp_->path().string(), "--projection", "utm", "--zone", "32", "--mpp", "160"},
                  root_.path());
  }

  // An earlier image and ".map" of the output name, as a user's last create.
  void PlaceEarlierPair() {
    std::ofstream(Image(), std::ios::binary) << "an earlier tiled image";
    std::ofstream(MapFile(), std::ios::binary) << "an earlier calibration";
  }

  // What every failed create must show and leave; answers the file named.
  std::string ExpectCleanFailure(const CliRun& run, const std::string& what) {
    EXPECT_EQ(run.exit, 1) << what << "\n" << run.out << run.err;
    EXPECT_NE(run.err.find(kNoSpace), std::string::npos) << what << ": " << run.err;
    // The create log (what the window shows) gives the reason as well.
    EXPECT_NE(run.out.find(kNoSpace), std::string::npos) << what << ": " << run.out;
    EXPECT_EQ(testing::ReadFileBytes(Image()), Bytes("an earlier tiled image")) << what;
    EXPECT_EQ(testing::ReadFileBytes(MapFile()), Bytes("an earlier calibration")) << what;
    EXPECT_EQ(output_->Entries(), (std::set<std::string>{"merged.map", "merged.qtx2"})) << what;
    EXPECT_TRUE(temp_->Entries().empty()) << what;
    // "cannot write /the/file: No space left on device"
    const std::size_t reason = run.err.find(": " + std::string(kNoSpace));
    if (reason == std::string::npos) return {};
    const std::size_t start = run.err.rfind(' ', reason);
    return run.err.substr(start + 1, reason - start - 1);
  }

  static std::vector<std::uint8_t> Bytes(const std::string& text) { return {text.begin(), text.end()}; }

  testing::TempFolder root_;
  std::optional<SmallDisk> temp_, output_;
};

// The temporary folder fills: from no room at all upwards, a page at a time
// in steps, until the create goes through. The file each failure names says
// how far the create got; the rows and the stages after them must all be
// among them.
TEST_F(FullDiskTest, TemporaryFolderFullAtEveryStage) {
  PlaceEarlierPair();
  std::map<std::string, std::uint64_t> stagesHit;  // stage -> first free bytes that ended in it
  bool written = false;
  for (std::uint64_t free = 0; free <= 1024 * 1024 && !written; free += 8 * kPage) {
    temp_->LeaveFree(free);
    const CliRun run = Create();
    if (run.exit == 0) {
      written = true;
      break;
    }
    const std::string what = "with " + std::to_string(free) + " bytes free in the temporary folder";
    const fs::path named = ExpectCleanFailure(run, what);
    ASSERT_EQ(named.string().rfind(temp_->path().string() + "/", 0), 0u) << what << ": " << run.err;
    // The merged rows are named after the output; everything after them
    // (sharpening, zoom levels, row streams) has a name of its own.
    stagesHit.emplace(named.filename() == "merged.qtxx0" ? "rows" : "after the rows", free);
    PlaceEarlierPair();
  }
  EXPECT_TRUE(written) << "the create never went through with 1 MB free";
  EXPECT_EQ(stagesHit.size(), 2u) << "only " << stagesHit.begin()->first << " ran out of room";
  EXPECT_EQ(stagesHit["rows"], 0u);
}

// The output folder fills: with no room the tiled image cannot be written;
// with room for exactly the image its ".map" cannot. Either way the earlier
// pair stays as it was: the image and its ".map" are one result.
TEST_F(FullDiskTest, OutputFolderFullAtTheImageOrTheMapFile) {
  // The size of the finished image, from a create with room enough.
  const CliRun reference = Create();
  ASSERT_EQ(reference.exit, 0) << reference.out << reference.err;
  const std::uint64_t imagePages = (fs::file_size(Image()) + kPage - 1) / kPage;

  struct Case {
    const char* stage;
    std::uint64_t free;
    const char* named;
  };
  const Case cases[] = {
      {"tiles", 0, "merged.qtx2"},
      {".map", imagePages * kPage, "merged.map"},
  };
  for (const Case& c : cases) {
    PlaceEarlierPair();
    output_->LeaveFree(c.free);
    const std::string named = ExpectCleanFailure(Create(), c.stage);
    EXPECT_EQ(fs::path(named), output_->path() / c.named) << c.stage;
  }
}

}  // namespace
}  // namespace quiltor
