#pragma once
// TpMain: the program's main window. The "Source Maps" tab holds the folder
// list, the map list and the map view with its tools; "Destination Map"
// the fields of the map a create produces; "Configure" the folders, the
// thumbnail and output settings and the outline colours.
//
// Controls carry the names the rest of the program (and the tests) know
// them by as their objectName: FolderList, MapList, cMpp, cMapProjection...
#include <QMainWindow>

class QAction;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QSpinBox;
class QSplitter;
class QTabWidget;
class QToolButton;
class QTreeWidget;
class QVBoxLayout;

namespace quiltor::ui {

inline constexpr const char* kMainCaption = "Quiltor for Tervane - Beta Version 1.15";

class TpMain : public QMainWindow {
  Q_OBJECT

 public:
  explicit TpMain(QWidget* parent = nullptr);
  ~TpMain() override;

  // The panel the map view fills: the view widget is added to this layout
  // (see BuildViewPanel).
  QVBoxLayout* ViewLayout() const { return viewLayout_; }

  // The settings memo's three lines.
  QString SettingsMemoText() const;

  // EnableParameterFields for the projection list's current text.
  void EnableParameterFields(const QString& projectionName);

 private:
  void BuildStatusBar();
  QWidget* BuildSourceMapsTab();
  QWidget* BuildFolderPanel();
  QWidget* BuildMapPanel();
  QWidget* BuildViewPanel();
  QWidget* BuildDestinationTab();
  QWidget* BuildConfigureTab();
  void WriteSettingsMemo();

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
  QPushButton* bDeleteThumbnails = nullptr;
  QLineEdit* cMaxLoadedMaps = nullptr;
  QSpinBox* cNumColors = nullptr;
  QSpinBox* cResize = nullptr;
  QPushButton* outlineColourButtons_[4] = {nullptr, nullptr, nullptr, nullptr};
};

}  // namespace quiltor::ui
