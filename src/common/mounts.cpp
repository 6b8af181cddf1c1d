#include "common/mounts.h"

#include <fstream>

#include "common/paths.h"
#include "common/text.h"

namespace quiltor {
namespace {

// The mount table writes blanks and backslashes in paths as "\ooo".
std::string DecodeMountField(std::string_view field) {
  std::string out;
  for (std::size_t i = 0; i < field.size(); ++i) {
    if (field[i] == '\\' && i + 3 < field.size()) {
      const auto digits = field.substr(i + 1, 3);
      if (digits.find_first_not_of("01234567") == std::string_view::npos) {
        out += static_cast<char>((digits[0] - '0') * 64 + (digits[1] - '0') * 8 + (digits[2] - '0'));
        i += 3;
        continue;
      }
    }
    out += field[i];
  }
  return out;
}

// True when `mountPoint` is `path` or one of its parent folders.
bool Holds(const std::string& mountPoint, const std::string& path) {
  if (mountPoint == "/") return !path.empty() && path.front() == '/';
  return path.compare(0, mountPoint.size(), mountPoint) == 0 &&
         (path.size() == mountPoint.size() || path[mountPoint.size()] == '/');
}

}  // namespace

std::vector<MountedFileSystem> ReadMountTable(const std::filesystem::path& table) {
  constexpr std::size_t kLongestLine = 64 * 1024;
  std::vector<MountedFileSystem> mounts;
  std::ifstream in(table);
  std::string line;
  while (in && std::getline(in, line)) {
    if (line.size() > kLongestLine) continue;
    const auto fields = SplitBlanks(line);
    if (fields.size() < 3) continue;
    mounts.push_back({DecodeMountField(fields[1]), std::string(fields[2])});
  }
  return mounts;
}

bool IsOpticalDiscType(std::string_view type) { return type == "iso9660" || type == "udf"; }

std::vector<std::filesystem::path> OpticalDiscMounts(const std::filesystem::path& table) {
  std::vector<std::filesystem::path> discs;
  for (const auto& mount : ReadMountTable(table)) {
    if (IsOpticalDiscType(mount.type)) discs.push_back(mount.mountPoint);
  }
  return discs;
}

bool IsOnOpticalDisc(const std::filesystem::path& path, const std::filesystem::path& table) {
  std::error_code ec;
  const std::string full = std::filesystem::weakly_canonical(std::filesystem::absolute(path, ec), ec).string();
  std::size_t deepest = 0;
  bool optical = false;
  for (const auto& mount : ReadMountTable(table)) {
    const std::string point = mount.mountPoint.string();
    if (Holds(point, full) && point.size() >= deepest) {
      deepest = point.size();
      optical = IsOpticalDiscType(mount.type);
    }
  }
  return optical;
}

FolderProblem CheckFolderSetting(std::string_view folder) {
  const std::string path = StripTrailingSeparator(folder);
  std::error_code ec;
  if (path.empty() || !std::filesystem::is_directory(path, ec)) return FolderProblem::NotAFolder;
  if (IsOnOpticalDisc(path)) return FolderProblem::OnOpticalDisc;
  return FolderProblem::None;
}

std::string FolderProblemMessage(std::string_view label, FolderProblem problem) {
  switch (problem) {
    case FolderProblem::NotAFolder: return "The " + std::string(label) + " Folder is not valid";
    case FolderProblem::OnOpticalDisc: return "The " + std::string(label) + " Folder is on a CDROM";
    case FolderProblem::None: break;
  }
  return {};
}

}  // namespace quiltor
