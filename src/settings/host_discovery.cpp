#include "settings/host_discovery.h"

#include <cstdlib>
#include <system_error>

#include "common/mounts.h"
#include "common/paths.h"
#include "common/text.h"
#include "settings/settings_file.h"

namespace quiltor {

namespace {

bool IsDriveLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

char LowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool IsFile(const std::filesystem::path& p) {
  std::error_code ec;
  return std::filesystem::is_regular_file(p, ec);
}

}  // namespace

HostEnvironment DefaultHostEnvironment() {
  HostEnvironment env;
  if (const char* prefix = std::getenv("WINEPREFIX"); prefix != nullptr && prefix[0] != '\0') {
    env.winePrefix = prefix;
  } else if (const char* home = std::getenv("HOME"); home != nullptr && home[0] != '\0') {
    env.winePrefix = std::filesystem::path(home) / ".wine";
  }
  env.programFolder = ProgramFolder();
  return env;
}

std::optional<std::filesystem::path> DriveRoot(char letter, const HostEnvironment& env) {
  if (env.winePrefix.empty() || !IsDriveLetter(letter)) return std::nullopt;
  std::error_code ec;
  const auto link = env.winePrefix / "dosdevices" / (std::string(1, LowerAscii(letter)) + ":");
  // The link's target, so that a found image carries a path that still
  // names it when the prefix's drive links change.
  if (std::filesystem::is_directory(link, ec)) {
    auto target = std::filesystem::canonical(link, ec);
    return ec ? link : target;
  }
  if (LowerAscii(letter) == 'c' && std::filesystem::is_directory(env.winePrefix / "drive_c", ec)) {
    return env.winePrefix / "drive_c";
  }
  return std::nullopt;
}

std::optional<std::filesystem::path> LocalPath(std::string_view written, const HostEnvironment& env) {
  if (written.size() >= 2 && (written[0] == '\\' || written[0] == '/') && (written[1] == '\\' || written[1] == '/')) {
    return std::nullopt;  // network share
  }
  std::string rest(written);
  std::optional<std::filesystem::path> root;
  if (rest.size() >= 2 && IsDriveLetter(rest[0]) && rest[1] == ':') {
    root = DriveRoot(rest[0], env);
    if (!root) return std::nullopt;
    rest.erase(0, 2);
  }
  for (char& c : rest) {
    if (c == '\\') c = '/';
  }
  if (!root) return std::filesystem::path(rest);
  while (!rest.empty() && rest.front() == '/') rest.erase(0, 1);
  return rest.empty() ? *root : *root / rest;
}

std::vector<std::filesystem::path> CdromDrives(const HostEnvironment& env) { return OpticalDiscMounts(env.mountsFile); }

std::string FirstCDROMDrive(const HostEnvironment& env) {
  const auto drives = CdromDrives(env);
  if (drives.empty()) return {};
  return AddTrailingSeparator(drives.front().string());
}

std::string FindHostFolder(const HostEnvironment& env) {
  // The host is a 32-bit program: in a 64-bit prefix it lands under
  // "Program Files (x86)", which a Windows-only search never needed.
  static constexpr const char* kFolders[] = {
      "c:\\Tervane", "c:\\Program Files\\Tervane", "c:\\Program Files (x86)\\Tervane",
      "d:\\Tervane", "d:\\Program Files\\Tervane",
  };
  for (const char* folder : kFolders) {
    const auto local = LocalPath(folder, env);
    if (!local) continue;
    if (IsFile(*local / "tervan.exe") || IsFile(*local / "Tervane.exe") || IsFile(*local / "tervane.exe")) {
      return StripTrailingSeparator(local->string());
    }
  }
  return {};
}

HostImagePaths LoadHostImagePaths(const HostEnvironment& env) {
  HostImagePaths paths;
  std::filesystem::path ini = env.programFolder / "tervan.ini";
  if (env.programFolder.empty() || !IsFile(ini)) {
    const std::string host = FindHostFolder(env);
    if (host.empty()) return paths;
    ini = std::filesystem::path(host) / "tervan.ini";
    if (!IsFile(ini)) return paths;
  }
  paths.checkDrives = IniReadString(ini, "Map Images", "Check Drives", "");
  for (std::size_t i = 0; i < paths.folders.size(); ++i) {
    const std::string key = "Image File Path " + FormatInt(static_cast<int>(i) + 1);
    paths.folders[i] = StripTrailingSeparator(IniReadString(ini, "Map Images", key, ""));
  }
  return paths;
}

}  // namespace quiltor
