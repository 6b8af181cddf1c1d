#pragma once
// PaintBox1: the map view. It shows the catalogue's maps in the destination
// projection (thumbnail layer, outlines, names), the drawn region and the
// hover box, and carries the mouse tools, the wheel and the keys.
//
// The rules live in the core (mapview): this widget keeps a cached
// background of the view's size, paints the overlay over it, and forwards
// its events to ViewTools. The catalogue and the drawn region belong to the
// main window; the view reads and changes them in place.
#include <QColor>
#include <QImage>
#include <QWidget>
#include <cstdint>
#include <memory>
#include <vector>

#include "catalogue/folder_scan.h"  // ExtentKind
#include "catalogue/map_record.h"
#include "creation/destination_map.h"
#include "geodesy/destination_setup.h"
#include "mapview/view_outlines.h"
#include "mapview/view_state.h"
#include "mapview/view_tools.h"

namespace quiltor::ui {

class TfmMaps;

// A colour of the settings file (0x00BBGGRR) as Qt's.
QColor ColourOfBgr(std::uint32_t bgr);

// The four outline colours of the view ("Selected Color" and so on).
struct OutlineColours {
  QColor selected = ColourOfBgr(16711680);            // blue
  QColor unselected = ColourOfBgr(12632256);          // silver
  QColor selectedHighlight = ColourOfBgr(255);        // red
  QColor unselectedHighlight = ColourOfBgr(12632256); // silver
};

class PaintBox1 : public QWidget {
  Q_OBJECT

 public:
  PaintBox1(MapCatalogue& catalogue, creation::DrawnRegion& region, QWidget* parent = nullptr);
  ~PaintBox1() override;

  // The destination projection the view draws in (from ReadDestinationProjection).
  void SetDestination(geodesy::Projection destination);
  const geodesy::Projection& destination() const { return destination_; }

  void SetTool(mapview::ViewTool tool);
  void SetShowOutlines(bool show);
  void SetShowNames(bool show);
  void SetUseThumbnails(bool use);
  void SetScanRunning(bool running);
  void SetOutlineColours(const OutlineColours& colours);

  // Marks the view for a full redraw: outlines projected again, background
  // rebuilt (after a scan, a selection command, "Refresh", a destination
  // change).
  void MarkForRedraw();
  // Redraws the background and the maps over it for the same outlines (the
  // selection or the drawing options changed).
  void RedrawLayers();
  // "Show All Maps Extents" / "Show Selected Maps Extents": fits the view to
  // the maps' borders in the destination projection. False, and the view
  // unchanged, when no map has a border point.
  bool FitToMaps(ExtentKind kind);

  mapview::ViewState& view() { return view_; }
  const mapview::ViewTools& tools() const { return tools_; }
  TfmMaps* selectMapWindow() const { return selectMap_; }
  // How often the background has been rebuilt (for the tests and benchmarks).
  int backgroundBuilds() const { return backgroundBuilds_; }

 signals:
  // The position under the mouse for panel 1 of the status bar.
  void positionChanged(const QString& text);
  // A map's selection changed in the view: its map-list row follows.
  void mapSelectionChanged(int mapIndex, bool selected);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  bool Showable() const;
  void PlaceOutlines();
  void EnsureBackground();
  void RebuildBackground();
  void RedrawMapsLayer();
  void PaintMapsLayer(QPainter& painter);
  void PaintOverlay(QPainter& painter);
  void PaintMap(QPainter& painter, int map);
  void PaintRegion(QPainter& painter);
  void PaintHoverBox(QPainter& painter);
  void PaintBand(QPainter& painter);
  void ShowPosition(mapview::ViewPixel at);
  void ToolCursor();
  void MapTicked(int mapIndex, bool ticked);

  MapCatalogue& catalogue_;
  creation::DrawnRegion& region_;
  geodesy::Projection destination_;
  creation::DestinationProjection projection_;
  mapview::ViewState view_;
  mapview::ViewTools tools_{view_, region_};
  mapview::ViewOutlines outlines_;
  struct MapName {
    QString text;  // " title ", as the name is drawn
    int width = 0;
  };
  std::vector<MapName> names_;
  bool reproject_ = true;
  mapview::DrawnKeys placedFor_;      // the view the outlines are placed for
  mapview::DrawnKeys background_;     // the view the background is drawn for
  QImage backgroundImage_;            // white and the thumbnail layer
  QImage mapsImage_;                  // the background with every map's outline and name
  bool mapsLayerValid_ = false;
  int backgroundBuilds_ = 0;
  bool liveDrag_ = false;
  bool showOutlines_ = true;
  bool showNames_ = true;
  bool useThumbnails_ = true;
  bool scanRunning_ = false;
  OutlineColours colours_;
  TfmMaps* selectMap_ = nullptr;
};

}  // namespace quiltor::ui
