#pragma once
// Every setting the desktop program keeps between runs, as one value.
// LoadSettings fills it from the settings file (defaults of a new
// installation for anything missing, reading limits applied); SaveSettings
// writes all of it back. The window copies the value into its fields and out
// again; workers and the command line read the parts they need from it.
#include <array>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "geodesy/destination_setup.h"

namespace quiltor {

// One row of the folder list.
struct FolderEntry {
  std::string path;
  bool ticked = false;

  bool operator==(const FolderEntry&) const = default;
};

struct ProgramSettings {
  // Section "Folders". Both work folders default to the program folder.
  std::vector<FolderEntry> folders;
  std::string lastMapsFolder;
  std::string tempFolder;
  std::string destinationFolder;

  // Section "Size" (pixels).
  int folderListHeight = 100;
  int folderListWidth = 300;
  int thumbnailSize = 200;  // longer side of a projected thumbnail, 50..500
  int previewSize = 300;    // 100..1000
  // All four map-list widths are written; only the first three are read back.
  std::array<int, 4> mapListColumnWidths{172, 83, 38, 100};
  std::array<int, 2> folderListColumnWidths{237, 38};
  bool windowMaximized = false;  // "Window State": anything but "wsNormal"

  // Section "Destination Image": the field texts; the projection is stored
  // as its index in the destination list.
  geodesy::DestinationSettings destination;

  // Section "System". Colours are 0x00BBGGRR.
  bool showMapOutlines = true;
  bool useThumbnails = true;
  bool autoScanMaps = true;
  std::string maxLoadedMaps = "25";  // as typed; at least "5" when read
  std::uint32_t selectedColor = 16711680;              // blue
  std::uint32_t unselectedColor = 12632256;            // silver
  std::uint32_t selectedHighlightColor = 255;          // red
  std::uint32_t unselectedHighlightColor = 12632256;   // silver
  int numberOfColors = 256;  // 8..256
  int resizePercent = 100;   // 1..100

  bool operator==(const ProgramSettings&) const = default;
};

// Folder entries are read for these indices; a gap is closed up.
inline constexpr int kMaxFolderEntries = 101;

// A new installation: the defaults above, the projection list item 1, the
// datum "WGS 84", 100 metres per pixel, scale factor "1", every other
// parameter field empty, both work folders `programFolder`.
ProgramSettings DefaultProgramSettings(const std::string& programFolder);

// The defaults overridden by what `settingsFile` holds, with the reading
// limits of each key. A missing file gives the defaults.
ProgramSettings LoadSettings(const std::filesystem::path& settingsFile, const std::string& programFolder);

// Writes every key. The "Folders" section is erased first, so rows the user
// removed do not come back and the rows are numbered from 0 without gaps.
// Throws QuiltorError when the file cannot be written.
void SaveSettings(const std::filesystem::path& settingsFile, const ProgramSettings& settings);

// The destination list entry at `index` (the stored "Map Projection"); item 1
// for an index outside the list. And the reverse: the index of a display
// name, 1 for a name not in the list.
std::string DestinationProjectionAt(int index);
int DestinationProjectionIndex(const std::string& displayName);

// Position and size of a window, pixels.
struct FormPosition {
  int left = 100;
  int top = 100;
  int width = 0;
  int height = 0;

  bool operator==(const FormPosition&) const = default;
};

// Keeps a stored window position on a screen of the given size: an origin
// off the screen goes to 100, a negative size to 200, a window reaching past
// the right or bottom edge is shrunk to end 100 pixels before it, and no side
// is smaller than 75.
FormPosition FitFormPosition(FormPosition stored, int screenWidth, int screenHeight);

// Reads "Left", "Top", "Width" and "Height" of `section` (defaults 100, 100,
// `defaultWidth`, `defaultHeight`) and fits them to the screen. An entry that
// is not an integer throws QuiltorError.
FormPosition RestoreFormPosition(const std::filesystem::path& settingsFile, const std::string& section,
                                 int defaultWidth, int defaultHeight, int screenWidth, int screenHeight);
void SaveFormPosition(const std::filesystem::path& settingsFile, const std::string& section,
                      const FormPosition& position);

}  // namespace quiltor
