#pragma once
// Mounted file systems and the folder checks that depend on them. An optical
// disc (a CD-ROM drive of the original) is a mounted iso9660 or udf file
// system; work folders and destinations must not lie on one, and the image
// search looks on every one of them.
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace quiltor {

inline const std::filesystem::path kSystemMountTable = "/proc/self/mounts";

struct MountedFileSystem {
  std::filesystem::path mountPoint;  // with the table's octal escapes ("\040") decoded
  std::string type;                  // "ext4", "iso9660", ...
};

// The entries of a mount table in its order; an unreadable table has none.
// Lines with fewer than three fields, or absurdly long ones, are skipped.
std::vector<MountedFileSystem> ReadMountTable(const std::filesystem::path& table = kSystemMountTable);

bool IsOpticalDiscType(std::string_view type);

// The mount points of the optical discs, in mount order.
std::vector<std::filesystem::path> OpticalDiscMounts(const std::filesystem::path& table = kSystemMountTable);

// True when `path` (made absolute, links resolved as far as it exists) lies on
// an optical disc: the deepest mount point holding it decides.
bool IsOnOpticalDisc(const std::filesystem::path& path, const std::filesystem::path& table = kSystemMountTable);

// What keeps a folder setting from being used for work files or a destination.
enum class FolderProblem { None, NotAFolder, OnOpticalDisc };

// Checks a folder setting as typed: spaces trimmed and a trailing separator
// dropped first; an empty text is not a folder.
FolderProblem CheckFolderSetting(std::string_view folder);

// "The <label> Folder is not valid" / "The <label> Folder is on a CDROM";
// empty for FolderProblem::None.
std::string FolderProblemMessage(std::string_view label, FolderProblem problem);

// The Temp File Folder's own text for a folder that does not exist, as the
// create and the tiled conversion show it before any other check.
inline constexpr const char* kTempFolderNotValid = "Temp File Folder is not valid";
inline constexpr const char* kTempFolderOnCdrom = "The Temp File Folder is on a CDROM";

}  // namespace quiltor
