#include "ui/tp_main.h"
#include "ui/map_view_panel.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDesktopServices>
#include <QFileDialog>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QSplitter>
#include <QStatusBar>
#include <QTabWidget>
#include <QTreeWidget>
#include <QUrl>

#include "common/error.h"
#include "common/paths.h"
#include "common/text.h"
#include "geodesy/destination_setup.h"
#include "raster/scratch/work_folder.h"
#include "ui/tfm_create.h"
#include "ui/tfm_map_errors.h"
#include "ui/tfm_open_maps.h"
#include "ui/tfm_thumbnail.h"
#include "ui/widget_names.h"

namespace quiltor::ui {

namespace {

constexpr int kDesignWidth = 800;
constexpr int kDesignHeight = 563;
constexpr int kStatusPanelWidth = 300;
constexpr const char* kHelpFileName = "TrvQuiltor.html";

QString Q(const std::string& text) { return QString::fromStdString(text); }
std::string S(const QString& text) { return text.toStdString(); }

}  // namespace

UserDialogs DesktopDialogs(QWidget* parent) {
  UserDialogs d;
  d.message = [parent](const QString& text) {
    QMessageBox::information(parent, QStringLiteral("Quiltor for Tervane"), text);
  };
  d.chooseFolder = [parent](const QString& title, const QString& start) {
    return QFileDialog::getExistingDirectory(parent, title, start);
  };
  // The plain tiled variant is what a create writes and what the host
  // opens under this extension.
  d.chooseSaveFile = [parent](const QString& start) {
    QFileDialog dialog(parent, QStringLiteral("Save As"), start,
                       QStringLiteral("Tervane image files (*.qtx2)"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(QStringLiteral("qtx2"));
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setSizeGripEnabled(true);
    return dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty() ? dialog.selectedFiles().first()
                                                                                    : QString();
  };
  d.showModal = [](QDialog& window) { window.exec(); };
  d.openHelp = [](const QString& file) { QDesktopServices::openUrl(QUrl::fromLocalFile(file)); };
  return d;
}

TpMain::TpMain(std::filesystem::path settingsFile, QWidget* parent)
    : QMainWindow(parent),
      settingsFile_(std::move(settingsFile)),
      dialogs_(DesktopDialogs(this)),
      projections_(geodesy::LoadProjectionCatalogue()),
      catalogue_(std::make_unique<MapCatalogue>()),
      imageSearch_(LoadImageSearchContext()) {
  setObjectName(QStringLiteral("pMain"));
  setWindowTitle(QString::fromLatin1(kMainCaption));
  resize(kDesignWidth, kDesignHeight);

  pages_ = Named(new QTabWidget(this), "PageControl1");
  pages_->addTab(BuildSourceMapsTab(), QStringLiteral("Source Maps"));
  pages_->addTab(BuildDestinationTab(), QStringLiteral("Destination Map"));
  pages_->addTab(BuildConfigureTab(), QStringLiteral("Configure"));
  setCentralWidget(pages_);
  BuildStatusBar();

  fmThumbnail_ = new TfmThumbnail(this);
  fmCreate_ = new TfmCreate(this);
  fmMapErrors_ = new TfmMapErrors(this);
  fmOpenMaps_ = new TfmOpenMaps(settingsFile_, this);
  WindowHost::Windows windows{this, [this](const QString& text) { dialogs_.message(text); }, fmThumbnail_,
                              fmCreate_, fmOpenMaps_, fmMapErrors_};
  host_ = std::make_unique<WindowHost>(windows);

  ApplySettings(LoadSettings(settingsFile_, ProgramFolder().string()));
  // Work folders of creates killed hard (their process is gone) go now, not
  // only at the next create: they may hold images of gigabytes.
  SweepAbandonedWorkFolders(StripTrailingSeparator(TrimSpaces(S(cTempFolder->text()))));
  // Thumbnails need their cache folders; without them maps are drawn as outlines.
  std::string thumbnailProblem;
  thumbnailFolders_ = PrepareThumbnailFolders(
      ThumbnailFolderLocation(settingsFile_, ProgramFolder(), CacheFolder()), thumbnailProblem);
  EnableParameterFields(cMapProjection->currentText());
  WriteSettingsMemo();
  ConnectCommands();
  PlaceMapView(*this);
  loadingSettings_ = false;  // change tracking of the destination fields begins
}

TpMain::~TpMain() = default;

// Panel 0 shows results and messages, panel 1 the mouse position over the view.
void TpMain::BuildStatusBar() {
  QStatusBar* bar = Named(new QStatusBar(this), "StatusBar1");
  for (int i = 0; i < 2; ++i) {
    statusPanels_[i] = Named(new QLabel(bar), i == 0 ? "StatusPanel0" : "StatusPanel1");
    statusPanels_[i]->setFixedWidth(kStatusPanelWidth);
    bar->addWidget(statusPanels_[i]);
  }
  setStatusBar(bar);
}

QString TpMain::SettingsMemoText() const {
  return QStringLiteral("Current Settings:\nMap Projection: ") + cMapProjection->currentText() +
         QStringLiteral("\nPixel Scale: ") + cMpp->text() + QStringLiteral(" (meters per pixel)");
}

void TpMain::WriteSettingsMemo() { settingsMemo_->setPlainText(SettingsMemoText()); }

QString TpMain::ResultText() const { return statusPanels_[0]->text(); }

// A field is enabled exactly when its value enters the projection's set-up,
// so what the user can type is what is used. Used fields take the normal
// window colour, the others are greyed and painted silver.
void TpMain::EnableParameterFields(const QString& projectionName) {
  static constexpr QRgb kUsedFieldColour = 0xFFFFFF;
  static constexpr QRgb kUnusedFieldColour = 0xC0C0C0;
  QLineEdit* const fields[geodesy::kParameterFieldCount] = {cZone,      cLatOrigin,   cCentralMeridian,
                                                            cLatitude1, cLatitude2,   cScaleFactor,
                                                            cFalseEasting, cFalseNorthing};
  const geodesy::ParameterFieldSet used = geodesy::DestinationParameterFields(S(projectionName));
  for (int i = 0; i < geodesy::kParameterFieldCount; ++i) {
    QLineEdit* field = fields[i];
    const bool enabled = used.Has(static_cast<geodesy::ParameterField>(i));
    const QColor background = QColor::fromRgb(enabled ? kUsedFieldColour : kUnusedFieldColour);
    field->setEnabled(enabled);
    QPalette palette = field->palette();
    palette.setColor(QPalette::Base, background);
    palette.setColor(QPalette::Disabled, QPalette::Base, background);
    field->setPalette(palette);
  }
}

// A change of the projection or of a parameter field makes the thumbnails
// stale; the datum and the pixel scale do not enter them.
void TpMain::DestinationChanged() {
  if (!loadingSettings_) rebuildNeeded_.Set();
}

void TpMain::OpenHelp() {
  const std::filesystem::path program = ProgramFolder();
  for (const std::filesystem::path& candidate :
       {program / kHelpFileName, program / "data" / kHelpFileName, program / ".." / "share" / "quiltor" / kHelpFileName}) {
    std::error_code ec;
    if (std::filesystem::is_regular_file(candidate, ec)) {
      dialogs_.openHelp(Q(std::filesystem::weakly_canonical(candidate, ec).string()));
      return;
    }
  }
  dialogs_.message(QStringLiteral("The help file ") + QString::fromLatin1(kHelpFileName) +
                   QStringLiteral(" was not found beside the program"));
}

// Quit, the window's close button and SIGTERM/SIGINT all end here.
void TpMain::closeEvent(QCloseEvent* event) {
  SaveSettingsOnce();
  fmOpenMaps_->close();
  event->accept();
}

void TpMain::SaveSettingsOnce() {
  if (settingsSaved_) return;
  settingsSaved_ = true;
  try {
    SaveSettings(settingsFile_, CurrentSettings());
  } catch (const QuiltorError& e) {
    dialogs_.message(QString::fromUtf8(e.what()));
  }
}

// ---------------------------------------------------------------------------
// Settings <-> fields

void TpMain::ApplySettings(const ProgramSettings& s) {
  for (const FolderEntry& folder : s.folders) AddFolderRow(Q(folder.path), folder.ticked);
  lastMapsFolder_ = Q(s.lastMapsFolder);
  cTempFolder->setText(Q(s.tempFolder));
  cDestFolder->setText(Q(s.destinationFolder));

  folderSplitter_->setSizes({s.folderListWidth, std::max(100, width() - s.folderListWidth)});
  listSplitter_->setSizes({s.folderListHeight, std::max(100, height() - s.folderListHeight)});
  cThumbnailSize->setValue(s.thumbnailSize);
  cPreviewSize->setValue(s.previewSize);
  for (int c = 0; c < 3; ++c) MapList->setColumnWidth(c, s.mapListColumnWidths[static_cast<std::size_t>(c)]);
  for (int c = 0; c < 2; ++c) FolderList->setColumnWidth(c, s.folderListColumnWidths[static_cast<std::size_t>(c)]);
  if (s.windowMaximized) setWindowState(windowState() | Qt::WindowMaximized);

  const geodesy::DestinationSettings& d = s.destination;
  cMpp->setText(Q(d.metersPerPixel));
  cMapDatum->setCurrentText(Q(d.mapDatum));
  cMapProjection->setCurrentText(Q(d.mapProjection));
  cZone->setText(Q(d.zone));
  cLatOrigin->setText(Q(d.latOrigin));
  cCentralMeridian->setText(Q(d.centralMeridian));
  cLatitude1->setText(Q(d.latitude1));
  cLatitude2->setText(Q(d.latitude2));
  cScaleFactor->setText(Q(d.scaleFactor));
  cFalseEasting->setText(Q(d.falseEasting));
  cFalseNorthing->setText(Q(d.falseNorthing));

  cShowOutlines->setChecked(s.showMapOutlines);
  cUseThumbnails->setChecked(s.useThumbnails);
  cAutoScanFolders->setChecked(s.autoScanMaps);
  cMaxLoadedMaps->setText(Q(s.maxLoadedMaps));
  const std::uint32_t colours[4] = {s.selectedColor, s.unselectedColor, s.selectedHighlightColor,
                                    s.unselectedHighlightColor};
  for (int i = 0; i < 4; ++i) outlineColours_[i] = colours[i];
  ShowOutlineColours();
  cNumColors->setValue(s.numberOfColors);
  cResize->setValue(s.resizePercent);
}

ProgramSettings TpMain::CurrentSettings() const {
  ProgramSettings s;
  for (const FolderRow& row : FolderRows()) s.folders.push_back({row.path, row.ticked});
  s.lastMapsFolder = S(lastMapsFolder_);
  s.tempFolder = S(cTempFolder->text());
  s.destinationFolder = S(cDestFolder->text());

  s.folderListWidth = folderSplitter_->sizes().value(0);
  s.folderListHeight = listSplitter_->sizes().value(0);
  s.thumbnailSize = cThumbnailSize->value();
  s.previewSize = cPreviewSize->value();
  for (int c = 0; c < 4; ++c) s.mapListColumnWidths[static_cast<std::size_t>(c)] = MapList->columnWidth(c);
  for (int c = 0; c < 2; ++c) s.folderListColumnWidths[static_cast<std::size_t>(c)] = FolderList->columnWidth(c);
  s.windowMaximized = (windowState() & (Qt::WindowMaximized | Qt::WindowMinimized | Qt::WindowFullScreen)) != 0;

  s.destination = CurrentConfiguration().destination;

  s.showMapOutlines = cShowOutlines->isChecked();
  s.useThumbnails = cUseThumbnails->isChecked();
  s.autoScanMaps = cAutoScanFolders->isChecked();
  s.maxLoadedMaps = S(cMaxLoadedMaps->text());
  s.selectedColor = outlineColours_[0];
  s.unselectedColor = outlineColours_[1];
  s.selectedHighlightColor = outlineColours_[2];
  s.unselectedHighlightColor = outlineColours_[3];
  s.numberOfColors = cNumColors->value();
  s.resizePercent = cResize->value();
  return s;
}

creation::CreateConfiguration TpMain::CurrentConfiguration() const {
  creation::CreateConfiguration c;
  geodesy::DestinationSettings& d = c.destination;
  d.mapProjection = S(cMapProjection->currentText());
  d.mapDatum = S(cMapDatum->currentText());
  d.metersPerPixel = S(cMpp->text());
  d.zone = S(cZone->text());
  d.latOrigin = S(cLatOrigin->text());
  d.centralMeridian = S(cCentralMeridian->text());
  d.latitude1 = S(cLatitude1->text());
  d.latitude2 = S(cLatitude2->text());
  d.scaleFactor = S(cScaleFactor->text());
  d.falseEasting = S(cFalseEasting->text());
  d.falseNorthing = S(cFalseNorthing->text());
  creation::ConfigureSettings& k = c.configure;
  k.tempFolder = AddTrailingSeparator(S(cTempFolder->text()));
  k.destinationFolder = AddTrailingSeparator(S(cDestFolder->text()));
  k.maxLoadedMaps = S(cMaxLoadedMaps->text());
  k.numberOfColors = cNumColors->value();
  k.resizePercent = cResize->value();
  return c;
}

}  // namespace quiltor::ui
