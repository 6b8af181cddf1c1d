// The "Source Maps" tab: folder list and map list on the left, the create
// command, the view tools, the settings memo and the map view on the right.
#include <QAction>
#include <QActionGroup>
#include <QCheckBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QMenu>
#include <QPainter>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QSplitter>
#include <QToolBar>
#include <QToolButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "ui/tp_main.h"
#include "ui/widget_names.h"

namespace quiltor::ui {

namespace {

constexpr int kFolderPanelWidth = 316;
// The view panel's colour, 15530493 in the original's blue-green-red order.
const QColor kViewPanelColour = QColor::fromRgb(0xFD, 0xFA, 0xEC);

// A frame around map sheets: all of them filled, or only the selected ones.
QIcon ExtentIcon(bool selectedOnly) {
  QPixmap glyph(20, 20);
  glyph.fill(Qt::transparent);
  QPainter painter(&glyph);
  painter.setPen(QPen(Qt::black, 1, Qt::DashLine));
  painter.drawRect(1, 1, 17, 17);
  painter.setPen(Qt::NoPen);
  const QRect sheets[3] = {{4, 4, 6, 5}, {10, 8, 6, 6}, {4, 11, 5, 5}};
  for (int i = 0; i < 3; ++i) {
    const bool filled = !selectedOnly || i == 1;
    painter.setBrush(filled ? QColor(0, 0, 255) : QColor(192, 192, 192));
    painter.drawRect(sheets[i]);
  }
  return QIcon(glyph);
}

QAction* AddTool(QToolBar* bar, const char* name, const char* caption, const char* hint) {
  QAction* action = Named(bar->addAction(QString::fromUtf8(caption)), name);
  SetHint(action, hint);
  return action;
}

QTreeWidget* CheckList(const char* name, const QStringList& columns) {
  auto* list = Named(new QTreeWidget, name);
  list->setHeaderLabels(columns);
  list->setRootIsDecorated(false);
  list->setUniformRowHeights(true);
  list->setSelectionMode(QAbstractItemView::ExtendedSelection);
  return list;
}

}  // namespace

QWidget* TpMain::BuildSourceMapsTab() {
  folderSplitter_ = Named(new QSplitter(Qt::Horizontal), "Splitter1");
  folderSplitter_->addWidget(BuildFolderPanel());
  folderSplitter_->addWidget(BuildMapPanel());
  folderSplitter_->setStretchFactor(1, 1);
  folderSplitter_->setSizes({kFolderPanelWidth, 800 - kFolderPanelWidth});
  return folderSplitter_;
}

// Folder toolbar, FolderList, list toolbar and MapList, the two lists
// divided by a splitter whose position is the stored folder list height.
QWidget* TpMain::BuildFolderPanel() {
  auto* panel = Named(new QWidget, "LeftPanel");
  auto* layout = new QVBoxLayout(panel);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(2);

  auto* folderBar = Named(new QToolBar, "ToolBar1");
  folderBar->setToolButtonStyle(Qt::ToolButtonTextOnly);
  QAction* quit = AddTool(folderBar, "bQuit", "Quit", "Close the application");
  AddTool(folderBar, "bAdd", "Add", "Add a new Map Folder to the list");
  AddTool(folderBar, "bDelete", "Delete", "Delete highlighted Map Folder from list");
  AddTool(folderBar, "bHelp", "Help", "Open the Help window");
  connect(quit, &QAction::triggered, this, &QWidget::close);
  layout->addWidget(folderBar);

  FolderList = CheckList("FolderList", {QStringLiteral("Folder"), QStringLiteral("Path")});
  FolderList->header()->setSectionResizeMode(0, QHeaderView::Interactive);
  FolderList->setColumnWidth(0, 240);

  auto* lower = new QWidget;
  auto* lowerLayout = new QVBoxLayout(lower);
  lowerLayout->setContentsMargins(0, 0, 0, 0);
  lowerLayout->setSpacing(2);
  auto* listBar = Named(new QToolBar, "ToolBar2");
  listBar->setToolButtonStyle(Qt::ToolButtonTextOnly);
  AddTool(listBar, "bAll", "All", "Select all maps in the list");
  AddTool(listBar, "bNone", "None", "Deselect all maps in the list");
  AddTool(listBar, "bInvert", "Invert", "Invert the map selections in the list");
  AddTool(listBar, "bScanFolders", "Scan Folders", "Scan the Selected Map Folders");
  AddTool(listBar, "bRefresh", "Refresh", "Refresh the Map Window View");
  lowerLayout->addWidget(listBar);

  MapList = CheckList("MapList", {QStringLiteral("Selected Maps"), QStringLiteral("Pixel Scale"),
                                  QStringLiteral("Path"), QStringLiteral("Status")});
  MapList->setSortingEnabled(true);
  MapList->sortByColumn(-1, Qt::AscendingOrder);  // catalogue order until a header is clicked
  lowerLayout->addWidget(MapList);

  listSplitter_ = Named(new QSplitter(Qt::Vertical), "Splitter2");
  listSplitter_->addWidget(FolderList);
  listSplitter_->addWidget(lower);
  listSplitter_->setStretchFactor(1, 1);
  layout->addWidget(listSplitter_, 1);
  return panel;
}

// The create command and the view tools above the settings memo, the two
// drawing check boxes and the map view.
QWidget* TpMain::BuildMapPanel() {
  auto* panel = Named(new QWidget, "RightPanel");
  auto* layout = new QVBoxLayout(panel);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(2);

  auto* tools = Named(new QToolBar, "ToolBar3");
  tools->setToolButtonStyle(Qt::ToolButtonTextOnly);
  createMapButton_ = Named(new QToolButton, "bCreateMap");
  createMapButton_->setText(QStringLiteral("Create Map"));
  SetHint(createMapButton_, "Create the map using the settings on the Destination Map tab");
  createMapButton_->setPopupMode(QToolButton::InstantPopup);
  createMapButton_->setMenu(Named(new QMenu(createMapButton_), "CreateMenu"));
  tools->addWidget(createMapButton_);
  tools->addSeparator();

  // One view tool is down at a time; "Drag" at start-up.
  auto* viewTools = new QActionGroup(this);
  viewTools->setExclusive(true);
  for (const auto& [name, caption] : {std::pair{"bSelect", "Select"}, std::pair{"bRegion", "Region"},
                                      std::pair{"bDrag", "Drag"}, std::pair{"bZoomIn", "Zoom In"}}) {
    QAction* tool = Named(tools->addAction(QString::fromLatin1(caption)), name);
    tool->setCheckable(true);
    tool->setChecked(QLatin1String(name) == QLatin1String("bDrag"));
    viewTools->addAction(tool);
  }
  tools->addSeparator();
  // The two fit commands show as glyphs; their captions are their hints.
  for (const bool selectedOnly : {false, true}) {
    const char* caption = selectedOnly ? "Show Selected Maps Extents" : "Show All Maps Extents";
    QAction* fit = Named(tools->addAction(ExtentIcon(selectedOnly), QString::fromLatin1(caption)),
                         selectedOnly ? "bShowSelectedExtents" : "bShowAllExtents");
    SetHint(fit, caption);
    if (auto* button = qobject_cast<QToolButton*>(tools->widgetForAction(fit)))
      button->setToolButtonStyle(Qt::ToolButtonIconOnly);
  }
  layout->addWidget(tools);

  auto* memoRow = new QHBoxLayout;
  settingsMemo_ = Named(new QPlainTextEdit, "SettingsMemo");
  settingsMemo_->setEnabled(false);
  settingsMemo_->setFixedHeight(settingsMemo_->fontMetrics().lineSpacing() * 3 + 12);
  memoRow->addWidget(settingsMemo_, 1);
  auto* checks = new QVBoxLayout;
  cShowOutlines = Named(new QCheckBox(QStringLiteral("Show Map Outlines")), "cShowOutlines");
  SetHint(cShowOutlines, "Shows/hides the map outlines in the View window");
  cShowNames = Named(new QCheckBox(QStringLiteral("Show Map Names")), "cShowNames");
  SetHint(cShowNames, "Show the names of the maps in the View window");
  checks->addWidget(cShowOutlines);
  checks->addWidget(cShowNames);
  memoRow->addLayout(checks);
  layout->addLayout(memoRow);

  layout->addWidget(BuildViewPanel(), 1);
  return panel;
}

// The map view's home: a panel in the view colour whose layout receives the
// view widget (PaintBox1). Nothing else is placed in viewLayout_.
QWidget* TpMain::BuildViewPanel() {
  viewPanel_ = Named(new QWidget, "ViewPanel");
  viewPanel_->setAutoFillBackground(true);
  QPalette palette = viewPanel_->palette();
  palette.setColor(QPalette::Window, kViewPanelColour);
  viewPanel_->setPalette(palette);
  viewLayout_ = new QVBoxLayout(viewPanel_);
  viewLayout_->setContentsMargins(0, 0, 0, 0);
  // The map view widget is created and added here.
  return viewPanel_;
}

}  // namespace quiltor::ui
