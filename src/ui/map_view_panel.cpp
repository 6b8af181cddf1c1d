#include "ui/map_view_panel.h"

#include <QAction>
#include <QCheckBox>
#include <QLabel>
#include <QStatusBar>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "geodesy/destination_setup.h"
#include "ui/paint_box.h"
#include "ui/tp_main.h"

namespace quiltor::ui {
namespace {

// The map list row that shows catalogue map `mapIndex` (its row data).
QTreeWidgetItem* MapRow(QTreeWidget& mapList, int mapIndex) {
  for (int i = 0; i < mapList.topLevelItemCount(); ++i) {
    QTreeWidgetItem* row = mapList.topLevelItem(i);
    if (row->data(0, Qt::UserRole).toInt() == mapIndex) return row;
  }
  return nullptr;
}

// The destination as the Destination Map tab defines it now.
void ReadDestination(TpMain& window, PaintBox1& view) {
  view.SetDestination(
      geodesy::ReadDestinationProjection(window.CurrentConfiguration().destination, window.Projections()));
}

void ReadViewOptions(TpMain& window, PaintBox1& view) {
  const auto checked = [&window](const char* name) {
    const auto* box = window.findChild<QCheckBox*>(QLatin1String(name));
    return box == nullptr || box->isChecked();
  };
  view.SetShowOutlines(checked("cShowOutlines"));
  view.SetShowNames(checked("cShowNames"));
  view.SetUseThumbnails(checked("cUseThumbnails"));
  OutlineColours colours;
  colours.selected = ColourOfBgr(window.OutlineColour(0));
  colours.unselected = ColourOfBgr(window.OutlineColour(1));
  colours.selectedHighlight = ColourOfBgr(window.OutlineColour(2));
  colours.unselectedHighlight = ColourOfBgr(window.OutlineColour(3));
  view.SetOutlineColours(colours);
}

void ConnectTools(TpMain& window, PaintBox1& view) {
  const std::pair<const char*, mapview::ViewTool> tools[] = {{"bSelect", mapview::ViewTool::Select},
                                                             {"bRegion", mapview::ViewTool::Region},
                                                             {"bDrag", mapview::ViewTool::Drag},
                                                             {"bZoomIn", mapview::ViewTool::ZoomIn}};
  for (const auto& [name, tool] : tools) {
    QAction* action = window.findChild<QAction*>(QLatin1String(name));
    if (action == nullptr) continue;
    const mapview::ViewTool chosen = tool;
    QObject::connect(action, &QAction::toggled, &view, [&view, chosen](bool down) {
      if (down) view.SetTool(chosen);
    });
    if (action->isChecked()) view.SetTool(tool);
  }
}

}  // namespace

PaintBox1* PlaceMapView(TpMain& window) {
  auto* view = new PaintBox1(window.Catalogue(), window.Region());
  window.ViewLayout()->addWidget(view);
  ConnectTools(window, *view);
  ReadDestination(window, *view);
  ReadViewOptions(window, *view);

  QObject::connect(&window, &TpMain::ViewRedrawRequested, view, [&window, view](bool fromScratch) {
    ReadViewOptions(window, *view);
    if (fromScratch) {
      ReadDestination(window, *view);
    } else {
      view->RedrawLayers();
    }
  });
  QObject::connect(&window, &TpMain::ViewFitRequested, view, [&window, view](bool selectedOnly) {
    ReadDestination(window, *view);
    view->FitToMaps(selectedOnly ? ExtentKind::SelectedUsableMaps : ExtentKind::AllMaps);
  });
  if (auto* position = window.statusBar()->findChild<QLabel*>(QStringLiteral("StatusPanel1")))
    QObject::connect(view, &PaintBox1::positionChanged, position, &QLabel::setText);
  // A selection made in the view ticks the map's row; the row's handler
  // keeps the catalogue and the view in step from there.
  if (auto* mapList = window.findChild<QTreeWidget*>(QStringLiteral("MapList")))
    QObject::connect(view, &PaintBox1::mapSelectionChanged, mapList, [mapList](int mapIndex, bool selected) {
      if (QTreeWidgetItem* row = MapRow(*mapList, mapIndex))
        row->setCheckState(0, selected ? Qt::Checked : Qt::Unchecked);
    });
  return view;
}

}  // namespace quiltor::ui
