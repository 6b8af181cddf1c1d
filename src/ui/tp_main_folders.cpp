// The folder list and the map list: adding, deleting and ticking folders,
// scanning them behind the progress window, and ticking maps.
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QToolButton>
#include <QTreeWidget>
#include <QUrl>

#include "catalogue/map_list.h"
#include "common/error.h"
#include "catalogue/raster_image_queries.h"
#include "ui/tfm_map_errors.h"
#include "ui/tfm_thumbnail.h"
#include "ui/tp_main.h"

namespace quiltor::ui {

namespace {

constexpr int kMapIndexRole = Qt::UserRole;
constexpr int kScanErrorsHeight = 264;

// Map rows sort by the number in "Pixel Scale", by text elsewhere.
class MapListItem : public QTreeWidgetItem {
 public:
  using QTreeWidgetItem::QTreeWidgetItem;
  bool operator<(const QTreeWidgetItem& other) const override {
    const int column = treeWidget() ? treeWidget()->sortColumn() : 0;
    if (column == 1) return text(1).toDouble() < other.text(1).toDouble();
    return QTreeWidgetItem::operator<(other);
  }
};

// Restores the cursor however the scan ends.
class WaitCursor {
 public:
  WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
  ~WaitCursor() { QApplication::restoreOverrideCursor(); }
  WaitCursor(const WaitCursor&) = delete;
  WaitCursor& operator=(const WaitCursor&) = delete;
};

}  // namespace

void TpMain::ConnectCommands() {
  const auto on = [this](const char* name, auto slot) {
    connect(findChild<QAction*>(QLatin1String(name)), &QAction::triggered, this, slot);
  };
  on("bQuit", [this] { close(); });
  on("bAdd", [this] { AddFolder(); });
  on("bDelete", [this] { DeleteFolders(); });
  on("bHelp", [this] { OpenHelp(); });
  on("bAll", [this] { TickMaps([](bool) { return true; }); });
  on("bNone", [this] { TickMaps([](bool) { return false; }); });
  on("bInvert", [this] { TickMaps([](bool ticked) { return !ticked; }); });
  on("bScanFolders", [this] { ScanFolders(); });
  connect(bDeleteThumbnails, &QPushButton::clicked, this, &TpMain::DeleteThumbnails);
  on("bRefresh", [this] { emit ViewRedrawRequested(true); });
  on("bShowAllExtents", [this] { emit ViewFitRequested(false); });
  on("bShowSelectedExtents", [this] { emit ViewFitRequested(true); });
  connect(FolderList, &QTreeWidget::itemChanged, this, &TpMain::FolderTickChanged);
  connect(MapList, &QTreeWidget::itemChanged, this, &TpMain::MapTickChanged);
  connect(cShowOutlines, &QCheckBox::toggled, this, [this] { emit ViewRedrawRequested(false); });
  connect(cShowNames, &QCheckBox::toggled, this, [this] { emit ViewRedrawRequested(false); });
  connect(cUseThumbnails, &QCheckBox::toggled, this, [this] { emit ViewRedrawRequested(true); });
  connect(pages_, &QTabWidget::currentChanged, this, [this](int page) {
    if (page == 0) SourceMapsShown();
  });

  QMenu* menu = createMapButton_->menu();
  const std::pair<const char*, creation::CreateMode> items[] = {
      {"From Selected Maps", creation::CreateMode::SelectedMaps},
      {"From Drawn Region (Selected Maps only)", creation::CreateMode::RegionSelectedMaps},
      {"From Drawn Region (All Maps)", creation::CreateMode::RegionAllMaps},
  };
  for (const auto& [caption, mode] : items) {
    const creation::CreateMode chosen = mode;
    connect(menu->addAction(QString::fromLatin1(caption)), &QAction::triggered, this,
            [this, chosen] { StartCreate(chosen); });
  }

  connect(cMapProjection, &QComboBox::currentTextChanged, this, &TpMain::DestinationChanged);
  for (QLineEdit* field : {cZone, cLatOrigin, cCentralMeridian, cLatitude1, cLatitude2, cScaleFactor, cFalseEasting,
                           cFalseNorthing})
    connect(field, &QLineEdit::textChanged, this, &TpMain::DestinationChanged);

  FolderList->setAcceptDrops(true);
  FolderList->viewport()->setAcceptDrops(true);
  FolderList->viewport()->installEventFilter(this);
}

// ---------------------------------------------------------------------------
// Folder list

// Column "Folder" holds the path, column "Path" the row number from 1.
void TpMain::AddFolderRow(const QString& path, bool ticked) {
  const QSignalBlocker quiet(FolderList);
  auto* item = new QTreeWidgetItem(FolderList, {path, QString::number(FolderList->topLevelItemCount() + 1)});
  item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
  item->setCheckState(0, ticked ? Qt::Checked : Qt::Unchecked);
}

void TpMain::RenumberFolderRows() {
  const QSignalBlocker quiet(FolderList);
  std::vector<FolderRow> rows = FolderRows();
  NumberFolderRows(rows);
  for (int i = 0; i < FolderList->topLevelItemCount(); ++i)
    FolderList->topLevelItem(i)->setText(1, QString::fromStdString(rows[static_cast<std::size_t>(i)].pathText));
}

std::vector<FolderRow> TpMain::FolderRows() const {
  std::vector<FolderRow> rows;
  for (int i = 0; i < FolderList->topLevelItemCount(); ++i) {
    const QTreeWidgetItem* item = FolderList->topLevelItem(i);
    rows.push_back({item->text(0).toStdString(), item->checkState(0) == Qt::Checked, item->text(1).toStdString()});
  }
  return rows;
}

void TpMain::AddFolder() {
  const QString start = !lastMapsFolder_.isEmpty() && QDir(lastMapsFolder_).exists() ? lastMapsFolder_ : QString();
  const QString chosen = dialogs_.chooseFolder(QStringLiteral("Select a folder"), start);
  if (chosen.isEmpty()) return;
  AddFolders({chosen});
}

void TpMain::AddFolders(const QStringList& folders) {
  if (folders.isEmpty()) return;
  for (const QString& folder : folders) {
    const QString path = QDir::cleanPath(QDir(folder).absolutePath());
    lastMapsFolder_ = path;
    AddFolderRow(path, true);
  }
  if (cAutoScanFolders->isChecked()) ScanFolders();
}

void TpMain::DeleteFolders() {
  const QList<QTreeWidgetItem*> highlighted = FolderList->selectedItems();
  if (highlighted.isEmpty()) {
    dialogs_.message(QString::fromLatin1(kNoFolderHighlighted));
    return;
  }
  {
    const QSignalBlocker quiet(FolderList);
    qDeleteAll(highlighted);
  }
  RenumberFolderRows();
  if (cAutoScanFolders->isChecked()) ScanFolders();
}

void TpMain::FolderTickChanged(QTreeWidgetItem*, int column) {
  if (column == 0 && cAutoScanFolders->isChecked()) ScanFolders();
}

// Folders dropped from a file manager are added as "Add" adds them.
bool TpMain::eventFilter(QObject* watched, QEvent* event) {
  if (watched != FolderList->viewport()) return QMainWindow::eventFilter(watched, event);
  const auto droppedFolders = [](const QMimeData* data) {
    QStringList folders;
    for (const QUrl& url : data->urls())
      if (url.isLocalFile() && QFileInfo(url.toLocalFile()).isDir()) folders.append(url.toLocalFile());
    return folders;
  };
  if (event->type() == QEvent::DragEnter || event->type() == QEvent::DragMove) {
    auto* drag = static_cast<QDropEvent*>(event);
    if (droppedFolders(drag->mimeData()).isEmpty()) return false;
    drag->acceptProposedAction();
    return true;
  }
  if (event->type() == QEvent::Drop) {
    auto* drop = static_cast<QDropEvent*>(event);
    const QStringList folders = droppedFolders(drop->mimeData());
    if (folders.isEmpty()) return false;
    drop->acceptProposedAction();
    AddFolders(folders);
    return true;
  }
  return QMainWindow::eventFilter(watched, event);
}

// ---------------------------------------------------------------------------
// Scanning

void TpMain::ScanFolders() {
  const WaitCursor hourglass;
  MapList->clear();
  fmMapErrors_->Prepare(QString::fromLatin1(kMapScanErrorsCaption), kScanErrorsHeight);
  fmMapErrors_->AppendLine(QString::fromLatin1(kMapScanErrorsHeading));
  fmMapErrors_->AppendLine(QString());
  RunWorker(WorkerMode::Scan);
  FillMapList();
  emit ViewFitRequested(false);
  std::vector<std::string> memo;
  for (const QString& line : fmMapErrors_->Lines()) memo.push_back(line.toStdString());
  if (MapErrorsWorthShowing(memo)) dialogs_.showModal(*fmMapErrors_);
}

// The pass reads a snapshot of the settings taken here; the window stays in
// the progress window's event loop until it ends.
void TpMain::RunWorker(WorkerMode mode) {
  WorkerSettings settings;
  settings.destination = CurrentConfiguration().destination;
  settings.thumbnailSize = cThumbnailSize->value();
  settings.useThumbnails = cUseThumbnails->isChecked();
  WorkerJob job{*catalogue_,       loadedFolders_,          quiltor::FolderList(TickedFolderPaths(FolderRows())),
                projections_,      imageSearch_,            RasterImageQueries(),
                thumbnailFolders_, settings};
  OpenMapThread worker(mode, std::move(job), *host_);
  fmThumbnail_->RunWorker(worker);
}

void TpMain::DeleteThumbnails() {
  if (thumbnailFolders_)
    DeleteProjectedThumbnails(*thumbnailFolders_, rebuildNeeded_);
  else
    rebuildNeeded_.Set();
}

// ---------------------------------------------------------------------------
// Map list

void TpMain::FillMapList() {
  const QSignalBlocker quiet(MapList);
  MapList->setSortingEnabled(false);
  MapList->clear();
  for (const MapListRow& row : quiltor::FillMapList(*catalogue_, FolderRows())) {
    auto* item = new MapListItem(MapList, {QString::fromStdString(row.title), QString::fromStdString(row.pixelScale),
                                           QString::fromStdString(row.path), QString::fromStdString(row.status)});
    item->setData(0, kMapIndexRole, row.mapIndex);
    Qt::ItemFlags flags = item->flags() | Qt::ItemIsUserCheckable;
    if (!row.enabled) flags &= ~Qt::ItemIsUserCheckable;
    item->setFlags(flags);
    item->setCheckState(0, row.ticked ? Qt::Checked : Qt::Unchecked);
  }
  MapList->setSortingEnabled(true);
  if (catalogue_->count() == 0) region_ = {};
  emit ViewRedrawRequested(true);
}

// The tick of a map that cannot be used does not stay.
void TpMain::MapTickChanged(QTreeWidgetItem* item, int column) {
  if (column != 0) return;
  Map_record& map = (*catalogue_)[item->data(0, kMapIndexRole).toInt()];
  const bool ticked = item->checkState(0) == Qt::Checked;
  map.selected = ticked && map.status == kMapUsable;
  if (ticked && !map.selected) {
    const QSignalBlocker quiet(MapList);
    item->setCheckState(0, Qt::Unchecked);
  }
  emit ViewRedrawRequested(false);
}

// All, None and Invert: each row's new tick from its old one; a map that
// cannot be used stays unticked.
void TpMain::TickMaps(const std::function<bool(bool ticked)>& newTick) {
  const QSignalBlocker quiet(MapList);
  for (int i = 0; i < MapList->topLevelItemCount(); ++i) {
    QTreeWidgetItem* item = MapList->topLevelItem(i);
    Map_record& map = (*catalogue_)[item->data(0, kMapIndexRole).toInt()];
    map.selected = map.status == kMapUsable && newTick(item->checkState(0) == Qt::Checked);
    item->setCheckState(0, map.selected ? Qt::Checked : Qt::Unchecked);
  }
  emit ViewRedrawRequested(false);
}

// Showing "Source Maps": the memo is rewritten; after a change of the
// destination projection the thumbnails are discarded and the region is
// cleared.
void TpMain::SourceMapsShown() {
  WriteSettingsMemo();
  const ThumbnailRebuild rebuild = PrepareThumbnailRebuild(rebuildNeeded_, *catalogue_, cUseThumbnails->isChecked());
  if (rebuild == ThumbnailRebuild::NotNeeded) return;
  emit ViewFitRequested(false);
  if (rebuild == ThumbnailRebuild::RunWorker) RunWorker(WorkerMode::Thumbnails);
  region_ = {};
  emit ViewRedrawRequested(true);
}

}  // namespace quiltor::ui
