#pragma once
// TpMain: the program's main window. The "Source Maps" tab holds the folder
// list, the map list and the map view with its tools; "Destination Map"
// the fields of the map a create produces; "Configure" the folders, the
// thumbnail and output settings and the outline colours.
//
// Controls carry the names the rest of the program (and the tests) know
// them by as their objectName: FolderList, MapList, cMpp, cMapProjection...
// The window holds the catalogue; scans and creates run on worker threads
// behind the modal progress windows, talking to the windows only through
// the WindowHost.
#include <QColor>
#include <QMainWindow>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>

#include "catalogue/folder_scan.h"
#include "catalogue/map_list.h"
#include "catalogue/map_record.h"
#include "catalogue/open_map_thread.h"
#include "catalogue/thumbnails.h"
#include "creation/create_configuration.h"
#include "creation/destination_map.h"
#include "geodesy/projection_catalogue.h"
#include "settings/image_search.h"
#include "settings/program_settings.h"
#include "ui/window_host.h"

class QCheckBox;
class QComboBox;
class QDialog;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QSpinBox;
class QSplitter;
class QTabWidget;
class QToolButton;
class QTreeWidget;
class QTreeWidgetItem;
class QVBoxLayout;

namespace quiltor::ui {

class TfmCreate;
class TfmMapErrors;
class TfmOpenMaps;
class TfmThumbnail;

inline constexpr const char* kMainCaption = "Quiltor for Tervane - Beta Version 1.15";
inline constexpr const char* kNoFolderHighlighted = "A folder has not been selected in the Folder List";

// The window's conversations with the user that block: message boxes, the
// folder and save dialogs, modal windows and the browser. The program uses
// the real dialogs; tests answer them.
struct UserDialogs {
  std::function<void(const QString& text)> message;
  // An empty answer means cancelled.
  std::function<QString(const QString& title, const QString& startFolder)> chooseFolder;
  std::function<QString(const QString& startFolder)> chooseSaveFile;
  std::function<void(QDialog& window)> showModal;
  std::function<void(const QString& file)> openHelp;
};
UserDialogs DesktopDialogs(QWidget* parent);

// A colour as the settings file stores it (0x00BBGGRR); ColourOfBgr is the
// reverse.
std::uint32_t StoredColour(const QColor& colour);

class TpMain : public QMainWindow {
  Q_OBJECT

 public:
  // Loads every setting from `settingsFile`; the program passes
  // SettingsFileLocation().
  explicit TpMain(std::filesystem::path settingsFile, QWidget* parent = nullptr);
  ~TpMain() override;

  // The panel the map view fills: the view widget is added to this layout
  // (see BuildViewPanel).
  QVBoxLayout* ViewLayout() const { return viewLayout_; }

  void SetDialogs(UserDialogs dialogs) { dialogs_ = std::move(dialogs); }

  // Folders from the command line or dropped on the folder list: each
  // becomes a ticked row as "Add" makes it; one scan follows when "Auto
  // Scan Folders" is ticked.
  void AddFolders(const QStringList& folders);

  // The settings memo's three lines.
  QString SettingsMemoText() const;
  // EnableParameterFields for a projection display name.
  void EnableParameterFields(const QString& projectionName);

  // The outline colours of the Configure tab (0x00BBGGRR): selected,
  // unselected, selected highlight, unselected highlight.
  std::uint32_t OutlineColour(int which) const { return outlineColours_[which]; }

  // What the window holds, for the view and the tests.
  MapCatalogue& Catalogue() { return *catalogue_; }
  creation::DrawnRegion& Region() { return region_; }
  const geodesy::ProjectionCatalogue& Projections() const { return projections_; }
  bool RebuildNeeded() const { return rebuildNeeded_.IsSet(); }
  QString ResultText() const;
  // The settings as the window shows them (what SaveSettings writes).
  ProgramSettings CurrentSettings() const;
  // The create snapshot of the Destination Map and Configure tabs.
  creation::CreateConfiguration CurrentConfiguration() const;

  TfmCreate& CreateWindow() { return *fmCreate_; }
  TfmThumbnail& ThumbnailWindow() { return *fmThumbnail_; }
  TfmMapErrors& MapErrorsWindow() { return *fmMapErrors_; }
  TfmOpenMaps& ActionListWindow() { return *fmOpenMaps_; }

  // Commands of the window (buttons, menu items), callable directly.
  void ScanFolders();
  void StartCreate(creation::CreateMode mode);

 signals:
  // The map view listens: redraw (from scratch: rebuild its background), and
  // fit to all maps or to the selected maps.
  void ViewRedrawRequested(bool fromScratch);
  void ViewFitRequested(bool selectedOnly);

 protected:
  void closeEvent(QCloseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void BuildStatusBar();
  QWidget* BuildSourceMapsTab();
  QWidget* BuildFolderPanel();
  QWidget* BuildMapPanel();
  QWidget* BuildViewPanel();
  QWidget* BuildDestinationTab();
  QWidget* BuildConfigureTab();
  void ConnectCommands();
  void WriteSettingsMemo();
  void ShowOutlineColours();

  // Settings <-> fields.
  void ApplySettings(const ProgramSettings& settings);
  void SaveSettingsOnce();

  // Folder list and map list.
  void AddFolderRow(const QString& path, bool ticked);
  void RenumberFolderRows();
  std::vector<FolderRow> FolderRows() const;
  void AddFolder();
  void DeleteFolders();
  void FolderTickChanged(QTreeWidgetItem* item, int column);
  void FillMapList();
  void MapTickChanged(QTreeWidgetItem* item, int column);
  void TickMaps(const std::function<bool(bool ticked)>& newTick);
  void SourceMapsShown();
  void DestinationChanged();
  void OpenHelp();

  bool RunCreateFlow(creation::CreateMode mode);
  // Runs a scan or a thumbnail pass behind TfmThumbnail.
  void RunWorker(WorkerMode mode);
  void DeleteThumbnails();

  std::filesystem::path settingsFile_;
  bool settingsSaved_ = false;
  bool loadingSettings_ = true;
  UserDialogs dialogs_;

  geodesy::ProjectionCatalogue projections_;
  std::unique_ptr<MapCatalogue> catalogue_;
  quiltor::FolderList loadedFolders_;
  creation::DrawnRegion region_;
  RebuildNeededFlag rebuildNeeded_;
  ImageSearchContext imageSearch_;
  std::optional<ThumbnailFolders> thumbnailFolders_;  // none: maps are used without thumbnails
  QString lastMapsFolder_;
  std::string resultText_;
  std::uint32_t outlineColours_[4] = {0, 0, 0, 0};
  int previewSize_ = 300;

  TfmThumbnail* fmThumbnail_ = nullptr;
  TfmCreate* fmCreate_ = nullptr;
  TfmMapErrors* fmMapErrors_ = nullptr;
  TfmOpenMaps* fmOpenMaps_ = nullptr;
  std::unique_ptr<WindowHost> host_;

  QTabWidget* pages_ = nullptr;
  QLabel* statusPanels_[2] = {nullptr, nullptr};

  // Source Maps tab
  QSplitter* folderSplitter_ = nullptr;  // left panel | right panel
  QSplitter* listSplitter_ = nullptr;    // FolderList above the map list
  QTreeWidget* FolderList = nullptr;
  QTreeWidget* MapList = nullptr;
  QToolButton* createMapButton_ = nullptr;
  QPlainTextEdit* settingsMemo_ = nullptr;
  QCheckBox* cShowOutlines = nullptr;
  QCheckBox* cShowNames = nullptr;
  QWidget* viewPanel_ = nullptr;
  QVBoxLayout* viewLayout_ = nullptr;

  // Destination Map tab
  QLineEdit* cMpp = nullptr;
  QComboBox* cMapDatum = nullptr;
  QComboBox* cMapProjection = nullptr;
  QLineEdit* cZone = nullptr;
  QLineEdit* cLatOrigin = nullptr;
  QLineEdit* cLatitude1 = nullptr;
  QLineEdit* cLatitude2 = nullptr;
  QLineEdit* cCentralMeridian = nullptr;
  QLineEdit* cScaleFactor = nullptr;
  QLineEdit* cFalseEasting = nullptr;
  QLineEdit* cFalseNorthing = nullptr;

  // Configure tab
  QLineEdit* cTempFolder = nullptr;
  QLineEdit* cDestFolder = nullptr;
  QCheckBox* cAutoScanFolders = nullptr;
  QCheckBox* cUseThumbnails = nullptr;
  QSpinBox* cThumbnailSize = nullptr;
  QSpinBox* cPreviewSize = nullptr;
  QPushButton* bDeleteThumbnails = nullptr;
  QLineEdit* cMaxLoadedMaps = nullptr;
  QSpinBox* cNumColors = nullptr;
  QSpinBox* cResize = nullptr;
  QPushButton* outlineColourButtons_[4] = {nullptr, nullptr, nullptr, nullptr};
};

}  // namespace quiltor::ui
