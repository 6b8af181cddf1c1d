#include "settings/image_search.h"

#include <optional>
#include <system_error>

#include "common/paths.h"
#include "common/text.h"

namespace quiltor {

namespace {

struct Candidate {
  std::filesystem::path path;
  bool anyCase = false;  // the file name may differ in letter case
};

class CandidateList {
 public:
  explicit CandidateList(const HostEnvironment& env) : env_(env) {}

  // A written (Windows or local) path; skipped when its drive does not exist.
  void AddWritten(const std::string& written, bool anyCase = false) {
    if (const auto local = LocalPath(written, env_)) list_.push_back({*local, anyCase});
  }
  void AddLocal(const std::filesystem::path& path, bool anyCase = false) { list_.push_back({path, anyCase}); }

  const std::vector<Candidate>& list() const { return list_; }

 private:
  const HostEnvironment& env_;
  std::vector<Candidate> list_;
};

bool IsFile(const std::filesystem::path& p) {
  std::error_code ec;
  return std::filesystem::is_regular_file(p, ec);
}

// The file in the same folder whose name equals the candidate's but for
// letter case.
std::optional<std::filesystem::path> MatchAnyCase(const std::filesystem::path& p) {
  std::error_code ec;
  const auto folder = p.parent_path().empty() ? std::filesystem::path(".") : p.parent_path();
  const std::string wanted = p.filename().string();
  if (wanted.empty()) return std::nullopt;
  std::filesystem::directory_iterator it(folder, ec);
  if (ec) return std::nullopt;
  for (const auto end = std::filesystem::directory_iterator(); it != end; it.increment(ec)) {
    if (ec) break;
    const std::string name = it->path().filename().string();
    if (EqualsIgnoreCase(name, wanted) && IsFile(it->path())) return it->path();
  }
  return std::nullopt;
}

// The folder of the written path with its drive removed and a trailing "\":
// "D:\Maps\Topo\sheet.tif" gives "\Maps\Topo\", a bare name gives "\".
std::string WrittenFolder(const std::string& imagePath) {
  std::string dir = FolderPart(imagePath);
  if (dir.size() >= 2 && dir[1] == ':') dir.erase(0, 2);
  if (dir.empty() || (dir.back() != '\\' && dir.back() != '/')) dir += '\\';
  return dir;
}

std::string ToForwardSlashes(std::string text) {
  for (char& c : text) {
    if (c == '\\') c = '/';
  }
  return text;
}

std::vector<Candidate> BuildCandidates(std::string_view imagePathIn, std::string_view mapPath,
                                       const ImageSearchContext& context) {
  const HostEnvironment& env = context.environment;
  CandidateList out(env);
  if (IsBlank(mapPath)) return {};
  std::string imagePath(imagePathIn);
  if (imagePath.rfind("#CD#", 0) == 0) imagePath = FirstCDROMDrive(env) + imagePath.substr(4);
  if (IsBlank(imagePath)) return {};

  out.AddWritten(imagePath);

  const std::string name = FileNamePart(imagePath);
  const std::string dir = WrittenFolder(imagePath);
  out.AddLocal(std::filesystem::path(AddTrailingSeparator(FolderPart(mapPath)) + name), true);

  for (const auto& drive : CdromDrives(env)) {
    std::string rest = ToForwardSlashes(dir + name);
    while (!rest.empty() && rest.front() == '/') rest.erase(0, 1);
    out.AddLocal(drive / rest);
    out.AddLocal(drive / name);
  }
  for (const auto& folder : context.hostPaths.folders) {
    if (!IsBlank(folder)) out.AddWritten(folder + "\\" + name, true);
  }
  for (const char letter : context.hostPaths.checkDrives) {
    out.AddWritten(std::string(1, letter) + ":" + dir + name);
    out.AddWritten(std::string(1, letter) + ":\\" + name);
  }
  // Paths into the national raster products drop their drive ("X:") and
  // look in the product's install folders.
  const std::string tail = imagePath.size() > 2 ? imagePath.substr(2) : std::string();
  if (imagePath.find("mapsheets-cd") != std::string::npos || imagePath.find("mosaic-cd") != std::string::npos) {
    for (const char letter : {'c', 'd', 'e', 'f'}) out.AddWritten(std::string(1, letter) + ":\\Natmap" + tail);
  }
  const std::string upper = ToUpperAscii(imagePath);
  if (upper.find("\\RASTERSSTANDARD\\") != std::string::npos || upper.find("\\RASTERSPREMIUM\\") != std::string::npos ||
      upper.find("\\RASTERCOMMON\\") != std::string::npos) {
    for (const char letter : {'c', 'd', 'e', 'f'}) {
      out.AddWritten(std::string(1, letter) + ":\\Program Files\\NATMAP\\NATMAP RASTER VIEWER\\1.5" + tail);
    }
  }
  return out.list();
}

}  // namespace

ImageSearchContext LoadImageSearchContext() {
  ImageSearchContext context;
  context.environment = DefaultHostEnvironment();
  context.hostPaths = LoadHostImagePaths(context.environment);
  return context;
}

std::vector<std::string> ImageCandidates(std::string_view imagePath, std::string_view mapPath,
                                         const ImageSearchContext& context) {
  std::vector<std::string> paths;
  for (const auto& c : BuildCandidates(imagePath, mapPath, context)) paths.push_back(c.path.string());
  return paths;
}

std::string FindMapImage(std::string_view imagePath, std::string_view mapPath, const ImageSearchContext& context) {
  for (const auto& c : BuildCandidates(imagePath, mapPath, context)) {
    if (IsFile(c.path)) return c.path.string();
    if (c.anyCase) {
      if (const auto match = MatchAnyCase(c.path)) return match->string();
    }
  }
  return {};
}

}  // namespace quiltor
