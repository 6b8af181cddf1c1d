#include "settings/program_settings.h"

#include <algorithm>

#include "common/error.h"
#include "common/text.h"
#include "geodesy/projection_catalogue.h"
#include "settings/settings_file.h"

namespace quiltor {

namespace {

constexpr const char* kFolders = "Folders";
constexpr const char* kSize = "Size";
constexpr const char* kDestination = "Destination Image";
constexpr const char* kSystem = "System";

// The "Destination Image" keys of the text fields, beside the field they fill.
struct DestinationKey {
  const char* key;
  std::string geodesy::DestinationSettings::*field;
};
constexpr std::array<DestinationKey, 10> kDestinationKeys{{
    {"Meters per Pixel", &geodesy::DestinationSettings::metersPerPixel},
    {"Map Datum", &geodesy::DestinationSettings::mapDatum},
    {"Zone", &geodesy::DestinationSettings::zone},
    {"Latitude of Origin", &geodesy::DestinationSettings::latOrigin},
    {"Central Meridian", &geodesy::DestinationSettings::centralMeridian},
    {"Latitude1", &geodesy::DestinationSettings::latitude1},
    {"Latitude2", &geodesy::DestinationSettings::latitude2},
    {"Scale Factor", &geodesy::DestinationSettings::scaleFactor},
    {"False Easting", &geodesy::DestinationSettings::falseEasting},
    {"False Northing", &geodesy::DestinationSettings::falseNorthing},
}};

std::string Indexed(const char* key, int i) { return key + FormatInt(i); }

void LoadFolders(const std::filesystem::path& file, ProgramSettings& s) {
  for (int i = 0; i < kMaxFolderEntries; ++i) {
    const std::string name = IniReadString(file, kFolders, Indexed("Folder Name,", i), "");
    if (TrimSpaces(name).empty()) continue;
    s.folders.push_back({name, IniReadBool(file, kFolders, Indexed("Folder Ticked,", i), false)});
  }
  s.lastMapsFolder = IniReadString(file, kFolders, "Last Maps Folder", s.lastMapsFolder);
  s.tempFolder = IniReadString(file, kFolders, "Temp Folder", s.tempFolder);
  s.destinationFolder = IniReadString(file, kFolders, "Destination Folder", s.destinationFolder);
}

void LoadSize(const std::filesystem::path& file, ProgramSettings& s) {
  const auto integer = [&file](const char* key, int fallback) { return IniReadInteger(file, kSize, key, fallback); };
  s.folderListHeight = integer("Folder List Height", s.folderListHeight);
  s.folderListWidth = integer("Folder List Width", s.folderListWidth);
  s.thumbnailSize = std::clamp(integer("Thumbnail Size", s.thumbnailSize), 50, 500);
  s.previewSize = std::clamp(integer("Preview Size", s.previewSize), 100, 1000);
  for (int i = 0; i < 3; ++i) {
    auto& width = s.mapListColumnWidths[static_cast<std::size_t>(i)];
    width = integer(Indexed("Map List Column Width", i).c_str(), width);
  }
  for (int i = 0; i < 2; ++i) {
    auto& width = s.folderListColumnWidths[static_cast<std::size_t>(i)];
    width = integer(Indexed("Folder List Column Width", i).c_str(), width);
  }
  s.windowMaximized = IniReadString(file, kSize, "Window State", "wsNormal") != "wsNormal";
}

void LoadDestination(const std::filesystem::path& file, ProgramSettings& s) {
  for (const auto& k : kDestinationKeys) {
    s.destination.*k.field = IniReadString(file, kDestination, k.key, s.destination.*k.field);
  }
  s.destination.mapProjection = DestinationProjectionAt(IniReadInteger(file, kDestination, "Map Projection", 1));
}

std::uint32_t ReadColour(const std::filesystem::path& file, const char* key, std::uint32_t fallback) {
  return static_cast<std::uint32_t>(IniReadInteger(file, kSystem, key, static_cast<std::int32_t>(fallback)));
}

void LoadSystem(const std::filesystem::path& file, ProgramSettings& s) {
  s.showMapOutlines = IniReadBool(file, kSystem, "Show Map Outlines", s.showMapOutlines);
  s.useThumbnails = IniReadBool(file, kSystem, "Use Thumbnails", s.useThumbnails);
  s.autoScanMaps = IniReadBool(file, kSystem, "Auto Scan Maps", s.autoScanMaps);
  s.maxLoadedMaps = IniReadString(file, kSystem, "Max Loaded Maps", s.maxLoadedMaps);
  if (ParseDecimal(s.maxLoadedMaps) < 5) s.maxLoadedMaps = "5";
  s.selectedColor = ReadColour(file, "Selected Color", s.selectedColor);
  s.unselectedColor = ReadColour(file, "UnSelected Color", s.unselectedColor);
  s.selectedHighlightColor = ReadColour(file, "Selected Highlight Color", s.selectedHighlightColor);
  s.unselectedHighlightColor = ReadColour(file, "UnSelected Highlight Color", s.unselectedHighlightColor);
  s.numberOfColors = std::clamp(IniReadInteger(file, kSystem, "Number of Colors", s.numberOfColors), 8, 256);
  s.resizePercent = std::clamp(IniReadInteger(file, kSystem, "ReSize", s.resizePercent), 1, 100);
}

void SaveFolders(const std::filesystem::path& file, const ProgramSettings& s) {
  IniEraseSection(file, kFolders);
  int row = 0;
  for (const auto& folder : s.folders) {
    IniWriteString(file, kFolders, Indexed("Folder Name,", row), folder.path);
    IniWriteBool(file, kFolders, Indexed("Folder Ticked,", row), folder.ticked);
    ++row;
  }
  IniWriteString(file, kFolders, "Last Maps Folder", s.lastMapsFolder);
  IniWriteString(file, kFolders, "Temp Folder", s.tempFolder);
  IniWriteString(file, kFolders, "Destination Folder", s.destinationFolder);
}

void SaveSize(const std::filesystem::path& file, const ProgramSettings& s) {
  IniWriteInteger(file, kSize, "Folder List Height", s.folderListHeight);
  IniWriteInteger(file, kSize, "Folder List Width", s.folderListWidth);
  IniWriteInteger(file, kSize, "Thumbnail Size", s.thumbnailSize);
  IniWriteInteger(file, kSize, "Preview Size", s.previewSize);
  for (int i = 0; i < 4; ++i) {
    IniWriteInteger(file, kSize, Indexed("Map List Column Width", i), s.mapListColumnWidths[static_cast<std::size_t>(i)]);
  }
  for (int i = 0; i < 2; ++i) {
    IniWriteInteger(file, kSize, Indexed("Folder List Column Width", i),
                    s.folderListColumnWidths[static_cast<std::size_t>(i)]);
  }
  IniWriteString(file, kSize, "Window State", s.windowMaximized ? "wsMaximized" : "wsNormal");
}

void SaveDestination(const std::filesystem::path& file, const ProgramSettings& s) {
  for (const auto& k : kDestinationKeys) IniWriteString(file, kDestination, k.key, s.destination.*k.field);
  IniWriteInteger(file, kDestination, "Map Projection", DestinationProjectionIndex(s.destination.mapProjection));
}

void SaveSystem(const std::filesystem::path& file, const ProgramSettings& s) {
  IniWriteBool(file, kSystem, "Show Map Outlines", s.showMapOutlines);
  IniWriteBool(file, kSystem, "Use Thumbnails", s.useThumbnails);
  IniWriteBool(file, kSystem, "Auto Scan Maps", s.autoScanMaps);
  IniWriteString(file, kSystem, "Max Loaded Maps", s.maxLoadedMaps);
  IniWriteInteger(file, kSystem, "Selected Color", static_cast<std::int32_t>(s.selectedColor));
  IniWriteInteger(file, kSystem, "UnSelected Color", static_cast<std::int32_t>(s.unselectedColor));
  IniWriteInteger(file, kSystem, "Selected Highlight Color", static_cast<std::int32_t>(s.selectedHighlightColor));
  IniWriteInteger(file, kSystem, "UnSelected Highlight Color", static_cast<std::int32_t>(s.unselectedHighlightColor));
  IniWriteInteger(file, kSystem, "Number of Colors", s.numberOfColors);
  IniWriteInteger(file, kSystem, "ReSize", s.resizePercent);
}

// A stored position entry; text that is not an integer is an error, as the
// window cannot be placed from it.
int PositionEntry(const std::filesystem::path& file, const std::string& section, const char* key, int fallback) {
  const std::string text = IniReadString(file, section, key, FormatInt(fallback));
  const auto value = TryParseInt(text);
  if (!value) throw QuiltorError("'" + text + "' is not a valid integer value");
  return *value;
}

}  // namespace

std::string DestinationProjectionAt(int index) {
  const auto& list = geodesy::DestinationProjections();
  if (index < 0 || index >= static_cast<int>(list.size())) index = 1;
  return list[static_cast<std::size_t>(index)].displayName;
}

int DestinationProjectionIndex(const std::string& displayName) {
  const auto& list = geodesy::DestinationProjections();
  for (std::size_t i = 0; i < list.size(); ++i) {
    if (list[i].displayName == displayName) return static_cast<int>(i);
  }
  return 1;
}

ProgramSettings DefaultProgramSettings(const std::string& programFolder) {
  ProgramSettings s;
  geodesy::DestinationSettings& d = s.destination;
  d.mapProjection = DestinationProjectionAt(1);
  d.mapDatum = "WGS 84";
  d.metersPerPixel = "100";
  d.zone = d.latOrigin = d.centralMeridian = d.latitude1 = d.latitude2 = "";
  d.scaleFactor = "1";
  d.falseEasting = d.falseNorthing = "";
  s.tempFolder = programFolder;
  s.destinationFolder = programFolder;
  return s;
}

ProgramSettings LoadSettings(const std::filesystem::path& settingsFile, const std::string& programFolder) {
  ProgramSettings s = DefaultProgramSettings(programFolder);
  LoadFolders(settingsFile, s);
  LoadSize(settingsFile, s);
  LoadDestination(settingsFile, s);
  LoadSystem(settingsFile, s);
  return s;
}

void SaveSettings(const std::filesystem::path& settingsFile, const ProgramSettings& settings) {
  SaveFolders(settingsFile, settings);
  SaveSize(settingsFile, settings);
  SaveDestination(settingsFile, settings);
  SaveSystem(settingsFile, settings);
}

FormPosition FitFormPosition(FormPosition p, int screenWidth, int screenHeight) {
  if (p.left < 0 || p.left > screenWidth) p.left = 100;
  if (p.top < 0 || p.top > screenHeight) p.top = 100;
  if (p.width < 0) p.width = 200;
  if (p.height < 0) p.height = 200;
  if (p.left + p.width > screenWidth) p.width = screenWidth - p.left - 100;
  if (p.top + p.height > screenHeight) p.height = screenHeight - p.top - 100;
  p.width = std::max(p.width, 75);
  p.height = std::max(p.height, 75);
  return p;
}

FormPosition RestoreFormPosition(const std::filesystem::path& settingsFile, const std::string& section,
                                 int defaultWidth, int defaultHeight, int screenWidth, int screenHeight) {
  FormPosition stored;
  stored.left = PositionEntry(settingsFile, section, "Left", 100);
  stored.top = PositionEntry(settingsFile, section, "Top", 100);
  stored.width = PositionEntry(settingsFile, section, "Width", defaultWidth);
  stored.height = PositionEntry(settingsFile, section, "Height", defaultHeight);
  return FitFormPosition(stored, screenWidth, screenHeight);
}

void SaveFormPosition(const std::filesystem::path& settingsFile, const std::string& section,
                      const FormPosition& position) {
  IniWriteInteger(settingsFile, section, "Left", position.left);
  IniWriteInteger(settingsFile, section, "Top", position.top);
  IniWriteInteger(settingsFile, section, "Width", position.width);
  IniWriteInteger(settingsFile, section, "Height", position.height);
}

}  // namespace quiltor
