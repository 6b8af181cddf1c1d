#pragma once
// The settings file: one INI file (sections in brackets, key=value lines).
// Every access opens the file, does its one read or write and closes it, so
// nothing is cached between calls and an edit by hand is seen at once.
//
// Reading follows the usual INI service rules: section and key names match
// without regard to letter case, spaces around keys and values are dropped,
// one pair of matching quotes around a value is removed, lines starting with
// ";" or "#" are comments. Writing keeps every other line of the file as it
// was and replaces the file in one rename, so a crash never leaves half a file.
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

namespace quiltor {

// Where the settings live: "quiltor.ini" beside the program when that file
// exists and can be written (portable mode, everything beside the program),
// otherwise ConfigFolder()/quiltor.ini.
std::filesystem::path SettingsFileLocation();
// The same decision for a given program folder and config folder (testable).
std::filesystem::path SettingsFileLocation(const std::filesystem::path& programFolder,
                                           const std::filesystem::path& configFolder);

// True when the settings file is the portable one beside the program: then
// "datums.dat" and the thumbnail folders live beside the program too.
bool IsPortableSettings(const std::filesystem::path& settingsFile, const std::filesystem::path& programFolder);

// A missing file, section or key gives the default.
std::string IniReadString(const std::filesystem::path& file, std::string_view section, std::string_view key,
                          std::string_view fallback);

// A value that is not a whole integer gives the default.
std::int32_t IniReadInteger(const std::filesystem::path& file, std::string_view section, std::string_view key,
                            std::int32_t fallback);

// Booleans are stored as integers: 0 is false, any other integer true; a
// value that is not an integer gives the default.
bool IniReadBool(const std::filesystem::path& file, std::string_view section, std::string_view key, bool fallback);

// Sets one key (creating the file, its folder and the section when needed).
// Throws QuiltorError when the file cannot be written.
void IniWriteString(const std::filesystem::path& file, std::string_view section, std::string_view key,
                    std::string_view value);
void IniWriteInteger(const std::filesystem::path& file, std::string_view section, std::string_view key,
                     std::int32_t value);
void IniWriteBool(const std::filesystem::path& file, std::string_view section, std::string_view key, bool value);

// Removes a whole section with its keys (the folder list is rewritten this
// way so that rows deleted by the user do not come back).
void IniEraseSection(const std::filesystem::path& file, std::string_view section);

}  // namespace quiltor
