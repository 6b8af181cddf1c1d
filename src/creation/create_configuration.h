#pragma once
// The settings a create reads, as one snapshot: the Destination Map tab
// (a geodesy::DestinationSettings), the destination datum, and the
// Configure tab values the create uses. Filled from the settings file the
// way the main window loads it, so that the command line creates exactly
// what the window would.
#include <filesystem>
#include <string>

#include "geodesy/destination_setup.h"

namespace quiltor::creation {

struct ConfigureSettings {
  std::string tempFolder;         // "Temp Folder"
  std::string destinationFolder;  // "Destination Folder"
  std::string maxLoadedMaps = "25";  // "Max Loaded Maps", as typed (at least 5 when read)
  int numberOfColors = 256;          // 8..256
  int resizePercent = 100;           // 1..100
};

struct CreateConfiguration {
  geodesy::DestinationSettings destination;
  ConfigureSettings configure;
};

// A new installation: projection list item 1 ("Mercator"), "WGS 84",
// 100 metres per pixel, scale factor "1", the other parameter fields empty,
// both folders `programFolder`, 25 loaded maps, 256 colours, no resizing.
CreateConfiguration DefaultCreateConfiguration(const std::string& programFolder);

// The defaults overridden by what `settingsFile` holds (sections
// "Destination Image", "Folders" and "System", with their reading limits).
CreateConfiguration LoadCreateConfiguration(const std::filesystem::path& settingsFile,
                                            const std::string& programFolder);

}  // namespace quiltor::creation
