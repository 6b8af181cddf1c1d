#pragma once
// Path helpers. Map files written on Windows carry "\" and drive letters, so
// file name and folder are split on both "\" and "/".
#include <filesystem>
#include <string>
#include <string_view>

namespace quiltor {

// The text after the last "\" or "/" (the whole text when there is none).
std::string FileNamePart(std::string_view path);

// The text before the last "\" or "/", without that separator ("" when none).
std::string FolderPart(std::string_view path);

// The extension of the file name part, with its dot (".map"), or "".
std::string ExtensionPart(std::string_view path);

// `path` with the extension of its file name part replaced by `extension`
// (which carries its dot); a path without an extension gets one.
std::string ChangeExtension(std::string_view path, std::string_view extension);

// Trims spaces, then removes trailing separators ("/" and "\"); "/" stays "/".
std::string StripTrailingSeparator(std::string_view folder);

// Trims spaces, then makes the text end in exactly one "/"; "" stays "".
std::string AddTrailingSeparator(std::string_view folder);

// Case-insensitive (ASCII) equality, as folder and extension tests need.
bool EqualsIgnoreCase(std::string_view a, std::string_view b);

// The folder of the running program file, without a trailing separator.
std::filesystem::path ProgramFolder();

// $XDG_CONFIG_HOME/quiltor (default ~/.config/quiltor): the settings file and
// the optional datum file live here unless the program runs portable.
std::filesystem::path ConfigFolder();

// $XDG_CACHE_HOME/quiltor (default ~/.cache/quiltor): thumbnail folders.
std::filesystem::path CacheFolder();

}  // namespace quiltor
