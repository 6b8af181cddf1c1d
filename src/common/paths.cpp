#include "common/paths.h"

#include <cstdlib>
#include <system_error>

#include "common/text.h"

namespace quiltor {

namespace {

std::size_t LastSeparator(std::string_view path) { return path.find_last_of("\\/"); }

std::filesystem::path HomeSubfolder(const char* xdgVariable, const char* fallback) {
  if (const char* xdg = std::getenv(xdgVariable); xdg != nullptr && xdg[0] == '/') {
    return std::filesystem::path(xdg) / "quiltor";
  }
  const char* home = std::getenv("HOME");
  const std::filesystem::path base = (home != nullptr && home[0] != '\0') ? home : "/tmp";
  return base / fallback / "quiltor";
}

}  // namespace

std::string FileNamePart(std::string_view path) {
  const auto sep = LastSeparator(path);
  return std::string(sep == std::string_view::npos ? path : path.substr(sep + 1));
}

std::string FolderPart(std::string_view path) {
  const auto sep = LastSeparator(path);
  return sep == std::string_view::npos ? std::string() : std::string(path.substr(0, sep));
}

std::string ExtensionPart(std::string_view path) {
  const std::string name = FileNamePart(path);
  const auto dot = name.find_last_of('.');
  return dot == std::string::npos ? std::string() : name.substr(dot);
}

std::string ChangeExtension(std::string_view path, std::string_view extension) {
  const std::string ext = ExtensionPart(path);
  std::string out(path.substr(0, path.size() - ext.size()));
  out += extension;
  return out;
}

std::string StripTrailingSeparator(std::string_view folder) {
  std::string out = TrimSpaces(folder);
  while (out.size() > 1 && (out.back() == '/' || out.back() == '\\')) out.pop_back();
  return out;
}

std::string AddTrailingSeparator(std::string_view folder) {
  std::string out = StripTrailingSeparator(folder);
  if (!out.empty() && out.back() != '/' && out.back() != '\\') out += '/';
  return out;
}

bool EqualsIgnoreCase(std::string_view a, std::string_view b) { return ToUpperAscii(a) == ToUpperAscii(b); }

std::filesystem::path ProgramFolder() {
  std::error_code ec;
  const auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
  if (ec) return std::filesystem::current_path(ec);
  return exe.parent_path();
}

std::filesystem::path ConfigFolder() { return HomeSubfolder("XDG_CONFIG_HOME", ".config"); }

std::filesystem::path CacheFolder() { return HomeSubfolder("XDG_CACHE_HOME", ".cache"); }

}  // namespace quiltor
