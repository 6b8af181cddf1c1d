#include <gtest/gtest.h>

#include <fstream>

#include "settings/settings_file.h"
#include "support/temp_folder.h"

namespace quiltor {
namespace {

void WriteText(const std::filesystem::path& p, const std::string& text) {
  std::ofstream(p, std::ios::binary) << text;
}

std::string ReadText(const std::filesystem::path& p) {
  std::ifstream in(p, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

TEST(SettingsFile, ReadsTypedValuesWithDefaults) {
  testing::TempFolder tmp;
  const auto ini = tmp / "quiltor.ini";
  WriteText(ini,
            "; written by hand\r\n[Size]\r\nThumbnail Size = 20\r\nReSize=abc\r\nPreview Size=12.5\r\n"
            "[system]\r\nuse thumbnails=0\r\nShow Map Outlines=2\r\nAuto Scan Maps=yes\r\n"
            "[Destination Image]\r\nMap Datum=\"Ord Srvy Grt Britn\"\r\nZone=\r\n");
  struct IntCase { const char* section; const char* key; int fallback; int expected; };
  const IntCase ints[] = {
      {"Size", "Thumbnail Size", 200, 20},  // spaces around "=" are dropped
      {"Size", "ReSize", 100, 100},         // not a number: the default
      {"Size", "Preview Size", 300, 300},   // not a whole number: the default
      {"Size", "Missing", 7, 7},
      {"Nowhere", "Thumbnail Size", 9, 9},
  };
  for (const auto& c : ints) EXPECT_EQ(IniReadInteger(ini, c.section, c.key, c.fallback), c.expected) << c.key;
  EXPECT_FALSE(IniReadBool(ini, "System", "Use Thumbnails", true));  // names match in any case
  EXPECT_TRUE(IniReadBool(ini, "System", "Show Map Outlines", false));
  EXPECT_TRUE(IniReadBool(ini, "System", "Auto Scan Maps", true));  // unreadable: the default
  EXPECT_FALSE(IniReadBool(ini, "System", "Auto Scan Maps", false));
  EXPECT_EQ(IniReadString(ini, "Destination Image", "Map Datum", "WGS 84"), "Ord Srvy Grt Britn");
  EXPECT_EQ(IniReadString(ini, "Destination Image", "Zone", "x"), "");  // present but empty
  EXPECT_EQ(IniReadString(tmp / "absent.ini", "Size", "Zone", "dflt"), "dflt");
}

TEST(SettingsFile, WritesKeepOtherLinesAndErasesSections) {
  testing::TempFolder tmp;
  const auto ini = tmp / "sub" / "quiltor.ini";
  IniWriteString(ini, "Folders", "Folder Name,0", "/maps/topo");
  IniWriteBool(ini, "Folders", "Folder Ticked,0", true);
  IniWriteInteger(ini, "Size", "ReSize", 50);
  IniWriteString(ini, "folders", "folder name,0", "/maps/sea");  // replaces in place
  IniWriteString(ini, "Folders", "Folder Name,1", "/maps/b");
  EXPECT_EQ(ReadText(ini), "[Folders]\nfolder name,0=/maps/sea\nFolder Ticked,0=1\nFolder Name,1=/maps/b\n\n[Size]\nReSize=50\n");
  EXPECT_EQ(IniReadInteger(ini, "Size", "ReSize", 0), 50);
  IniEraseSection(ini, "Folders");
  EXPECT_EQ(IniReadString(ini, "Folders", "Folder Name,1", "gone"), "gone");
  EXPECT_EQ(IniReadInteger(ini, "Size", "ReSize", 0), 50);
}

TEST(SettingsFile, PortableOnlyWhenAWritableFileSitsBesideTheProgram) {
  testing::TempFolder tmp;
  const auto program = tmp / "bin";
  const auto config = tmp / "config";
  std::filesystem::create_directories(program);
  EXPECT_EQ(SettingsFileLocation(program, config), config / "quiltor.ini");
  WriteText(program / "quiltor.ini", "");
  EXPECT_EQ(SettingsFileLocation(program, config), program / "quiltor.ini");
  EXPECT_TRUE(IsPortableSettings(SettingsFileLocation(program, config), program));
}

}  // namespace
}  // namespace quiltor
