#pragma once
// Finding the host navigation application and its image search settings.
//
// On Linux the host runs under Wine, so its installation is looked for inside
// a Wine prefix ($WINEPREFIX, default ~/.wine). A Windows drive letter means
// the prefix's dosdevices/<letter>: link (drive C falls back to drive_c), and
// the CD-ROM drives are the mounted iso9660 and udf file systems in the order
// the mount table lists them. Both the prefix and the mount table are part of
// HostEnvironment so that tests can stand in a folder tree for them.
#include <array>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/mounts.h"

namespace quiltor {

struct HostEnvironment {
  std::filesystem::path winePrefix;                    // empty: no prefix, no drive letters
  std::filesystem::path mountsFile = kSystemMountTable;
  std::filesystem::path programFolder;                 // where our own program lives
};

// $WINEPREFIX (default ~/.wine), /proc/self/mounts and ProgramFolder().
HostEnvironment DefaultHostEnvironment();

// The host's image search settings, read once at start-up and only read
// afterwards (section "Map Images" of the host's "tervan.ini").
struct HostImagePaths {
  std::array<std::string, 4> folders;  // "Image File Path 1".."4", trimmed, no trailing separator
  std::string checkDrives;             // "Check Drives", one drive letter per character
};

// The local folder of a drive letter: the prefix's dosdevices link target,
// or drive_c for "C" when the link is missing. nullopt when the letter is
// not a drive of the prefix.
std::optional<std::filesystem::path> DriveRoot(char letter, const HostEnvironment& env);

// A path as written in a map or host settings file, made local: "X:\a\b"
// goes through the drive letter of the prefix, "\" becomes "/". nullopt for
// a drive that does not exist or a network path ("\\server\share").
std::optional<std::filesystem::path> LocalPath(std::string_view written, const HostEnvironment& env);

// Mount points of the mounted CD/DVD file systems (iso9660, udf), in mount
// order; an unreadable mount table gives none.
std::vector<std::filesystem::path> CdromDrives(const HostEnvironment& env);

// The root of the first CD-ROM drive with a trailing "/", or "".
std::string FirstCDROMDrive(const HostEnvironment& env);

// The host installation folder (no trailing separator), "" when not found:
// the first of its usual install folders on drives C and D that holds the
// host's program file.
std::string FindHostFolder(const HostEnvironment& env);

// "tervan.ini" beside our program when it exists (installed in the host's
// folder), otherwise in the host folder. A missing file gives empty paths.
HostImagePaths LoadHostImagePaths(const HostEnvironment& env);

}  // namespace quiltor
