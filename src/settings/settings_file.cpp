#include "settings/settings_file.h"

#include <fstream>
#include <optional>
#include <system_error>
#include <unistd.h>
#include <vector>

#include "common/error.h"
#include "common/paths.h"
#include "common/text.h"

namespace quiltor {

namespace {

// An INI line longer than this is not a setting anyone typed; reading stops
// there so a damaged file cannot make us hold gigabytes.
constexpr std::size_t kMaxLineLength = 64 * 1024;
constexpr std::size_t kMaxLines = 100000;

std::vector<std::string> ReadLines(const std::filesystem::path& file) {
  std::vector<std::string> lines;
  std::ifstream in(file, std::ios::binary);
  if (!in) return lines;
  std::string line;
  char c = 0;
  bool any = false;
  while (in.get(c)) {
    any = true;
    if (c == '\n') {
      if (!line.empty() && line.back() == '\r') line.pop_back();
      lines.push_back(std::move(line));
      line.clear();
      any = false;
      if (lines.size() >= kMaxLines) break;
      continue;
    }
    if (line.size() < kMaxLineLength) line += c;
  }
  if (any) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(std::move(line));
  }
  return lines;
}

std::string TrimBlank(std::string_view s) {
  const auto first = s.find_first_not_of(" \t");
  if (first == std::string_view::npos) return {};
  const auto last = s.find_last_not_of(" \t");
  return std::string(s.substr(first, last - first + 1));
}

// The section name of a "[name]" line, or nullopt for other lines.
std::optional<std::string> SectionOf(const std::string& line) {
  const std::string t = TrimBlank(line);
  if (t.size() < 2 || t.front() != '[') return std::nullopt;
  const auto close = t.find(']');
  if (close == std::string::npos) return std::nullopt;
  return TrimBlank(std::string_view(t).substr(1, close - 1));
}

bool IsComment(const std::string& line) {
  const std::string t = TrimBlank(line);
  return t.empty() || t.front() == ';' || t.front() == '#';
}

// Key and value of a "key=value" line.
std::optional<std::pair<std::string, std::string>> EntryOf(const std::string& line) {
  if (IsComment(line)) return std::nullopt;
  const auto eq = line.find('=');
  if (eq == std::string::npos) return std::nullopt;
  return std::make_pair(TrimBlank(std::string_view(line).substr(0, eq)), TrimBlank(std::string_view(line).substr(eq + 1)));
}

std::string Unquote(std::string value) {
  if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front()) {
    return value.substr(1, value.size() - 2);
  }
  return value;
}

std::optional<std::string> FindValue(const std::filesystem::path& file, std::string_view section, std::string_view key) {
  bool inSection = false;
  for (const auto& line : ReadLines(file)) {
    if (const auto s = SectionOf(line)) {
      inSection = EqualsIgnoreCase(*s, section);
      continue;
    }
    if (!inSection) continue;
    if (const auto entry = EntryOf(line); entry && EqualsIgnoreCase(entry->first, key)) return Unquote(entry->second);
  }
  return std::nullopt;
}

void WriteLines(const std::filesystem::path& file, const std::vector<std::string>& lines) {
  std::error_code ec;
  if (file.has_parent_path()) std::filesystem::create_directories(file.parent_path(), ec);
  std::filesystem::path temp = file;
  temp += ".tmp" + std::to_string(::getpid());
  {
    std::ofstream out(temp, std::ios::binary | std::ios::trunc);
    if (!out) throw QuiltorError("cannot write the settings file " + file.string());
    for (const auto& line : lines) out << line << '\n';
    out.flush();
    if (!out) {
      out.close();
      std::filesystem::remove(temp, ec);
      throw QuiltorError("cannot write the settings file " + file.string());
    }
  }
  std::filesystem::rename(temp, file, ec);
  if (ec) {
    std::filesystem::remove(temp, ec);
    throw QuiltorError("cannot replace the settings file " + file.string());
  }
}

bool CanWrite(const std::filesystem::path& file) { return ::access(file.c_str(), W_OK) == 0; }

}  // namespace

std::filesystem::path SettingsFileLocation(const std::filesystem::path& programFolder,
                                           const std::filesystem::path& configFolder) {
  const auto portable = programFolder / "quiltor.ini";
  std::error_code ec;
  if (std::filesystem::is_regular_file(portable, ec) && CanWrite(portable) && CanWrite(programFolder)) return portable;
  return configFolder / "quiltor.ini";
}

std::filesystem::path SettingsFileLocation() { return SettingsFileLocation(ProgramFolder(), ConfigFolder()); }

bool IsPortableSettings(const std::filesystem::path& settingsFile, const std::filesystem::path& programFolder) {
  return settingsFile.parent_path() == programFolder;
}

std::string IniReadString(const std::filesystem::path& file, std::string_view section, std::string_view key,
                          std::string_view fallback) {
  return FindValue(file, section, key).value_or(std::string(fallback));
}

std::int32_t IniReadInteger(const std::filesystem::path& file, std::string_view section, std::string_view key,
                            std::int32_t fallback) {
  const auto value = FindValue(file, section, key);
  if (!value) return fallback;
  return TryParseInt(*value).value_or(fallback);
}

bool IniReadBool(const std::filesystem::path& file, std::string_view section, std::string_view key, bool fallback) {
  return IniReadInteger(file, section, key, fallback ? 1 : 0) != 0;
}

void IniWriteString(const std::filesystem::path& file, std::string_view section, std::string_view key,
                    std::string_view value) {
  auto lines = ReadLines(file);
  const std::string entry = std::string(key) + "=" + std::string(value);
  bool inSection = false;
  std::optional<std::size_t> sectionEnd;  // index after the last line of the section
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (const auto s = SectionOf(lines[i])) {
      inSection = EqualsIgnoreCase(*s, section);
      if (inSection) sectionEnd = i + 1;
      continue;
    }
    if (!inSection) continue;
    if (const auto e = EntryOf(lines[i]); e && EqualsIgnoreCase(e->first, key)) {
      lines[i] = entry;
      WriteLines(file, lines);
      return;
    }
    if (!TrimBlank(lines[i]).empty()) sectionEnd = i + 1;
  }
  if (sectionEnd) {
    lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(*sectionEnd), entry);
  } else {
    if (!lines.empty() && !TrimBlank(lines.back()).empty()) lines.emplace_back();
    lines.push_back("[" + std::string(section) + "]");
    lines.push_back(entry);
  }
  WriteLines(file, lines);
}

void IniWriteInteger(const std::filesystem::path& file, std::string_view section, std::string_view key,
                     std::int32_t value) {
  IniWriteString(file, section, key, FormatInt(value));
}

void IniWriteBool(const std::filesystem::path& file, std::string_view section, std::string_view key, bool value) {
  IniWriteString(file, section, key, value ? "1" : "0");
}

void IniEraseSection(const std::filesystem::path& file, std::string_view section) {
  const auto lines = ReadLines(file);
  std::vector<std::string> kept;
  bool inSection = false;
  bool erased = false;
  for (const auto& line : lines) {
    if (const auto s = SectionOf(line)) inSection = EqualsIgnoreCase(*s, section);
    if (inSection) {
      erased = true;
      continue;
    }
    kept.push_back(line);
  }
  if (erased) WriteLines(file, kept);
}

}  // namespace quiltor
