#include "ui/paint_box.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPolygon>
#include <QWheelEvent>
#include <cmath>
#include <cstring>

#include "creation/catalogue_sources.h"
#include "geodesy/datum.h"
#include "mapview/position_text.h"
#include "mapview/thumbnail_layer.h"
#include "mapview/view_overlay.h"
#include "ui/tfm_maps.h"

namespace quiltor::ui {

using mapview::ViewPixel;
using mapview::ViewTool;

namespace {

// With more maps than this the hourglass shows while the thumbnails are drawn.
constexpr int kBusyCursorMaps = 20;
// A wheel notch in Qt's eighths of a degree.
constexpr double kWheelNotch = 120.0;

const QColor kNameBackground = ColourOfBgr(15530493);
const QColor kHoverFill = ColourOfBgr(0xFFFF00);    // aqua
const QColor kSelectedEntry = ColourOfBgr(0xFF0000);  // blue
const QColor kUnselectedEntry = ColourOfBgr(8421504); // grey

ViewPixel PixelOf(const QPointF& position) {
  return {static_cast<std::int32_t>(std::floor(position.x())), static_cast<std::int32_t>(std::floor(position.y()))};
}

mapview::MouseButton ButtonOf(Qt::MouseButton button) {
  if (button == Qt::LeftButton) return mapview::MouseButton::Left;
  if (button == Qt::RightButton) return mapview::MouseButton::Right;
  return mapview::MouseButton::Other;
}

QFont NamesFont() {
  QFont font;
  font.setPixelSize(9);
  return font;
}

}  // namespace

QColor ColourOfBgr(std::uint32_t bgr) { return QColor(bgr & 0xFF, (bgr >> 8) & 0xFF, (bgr >> 16) & 0xFF); }

PaintBox1::PaintBox1(MapCatalogue& catalogue, creation::DrawnRegion& region, QWidget* parent)
    : QWidget(parent), catalogue_(catalogue), region_(region) {
  setObjectName(QStringLiteral("PaintBox1"));
  setMouseTracking(true);
  setFocusPolicy(Qt::WheelFocus);
  setAttribute(Qt::WA_OpaquePaintEvent);
  setMinimumSize(50, 50);
  SetDestination(geodesy::Projection{});
  selectMap_ = new TfmMaps(this);
  connect(selectMap_, &TfmMaps::mapTicked, this, &PaintBox1::MapTicked);
  connect(selectMap_, &QDialog::finished, this, qOverload<>(&QWidget::update));
  ToolCursor();
}

PaintBox1::~PaintBox1() = default;

void PaintBox1::SetDestination(geodesy::Projection destination) {
  destination_ = std::move(destination);
  projection_ = creation::MakeDestinationProjection(destination_);
  tools_.SetMaxScale(mapview::MaxScaleOf(destination_.Kind()));
  MarkForRedraw();
}

void PaintBox1::SetTool(ViewTool tool) {
  tools_.SetTool(tool);
  ToolCursor();
}

void PaintBox1::SetShowOutlines(bool show) {
  if (show == showOutlines_) return;
  showOutlines_ = show;
  RedrawMapsLayer();
}

void PaintBox1::SetShowNames(bool show) {
  if (show == showNames_) return;
  showNames_ = show;
  RedrawMapsLayer();
}

void PaintBox1::SetUseThumbnails(bool use) {
  if (use == useThumbnails_) return;
  useThumbnails_ = use;
  RedrawLayers();
}

void PaintBox1::SetScanRunning(bool running) {
  scanRunning_ = running;
  update();
}

void PaintBox1::SetOutlineColours(const OutlineColours& colours) {
  colours_ = colours;
  RedrawMapsLayer();
}

void PaintBox1::MarkForRedraw() {
  reproject_ = true;
  placedFor_.Clear();
  RedrawLayers();
}

void PaintBox1::RedrawLayers() {
  background_.Clear();
  RedrawMapsLayer();
}

void PaintBox1::RedrawMapsLayer() {
  mapsLayerValid_ = false;
  update();
}

bool PaintBox1::FitToMaps(ExtentKind kind) {
  const CatalogueBox box = CatalogueExtent(catalogue_, kind, destination_);
  if (!box.found) return false;
  view_.width = width();
  view_.height = height();
  view_.ZoomToExtent(box);
  MarkForRedraw();
  return true;
}

bool PaintBox1::Showable() const { return catalogue_.count() > 0 && view_.HasView() && !scanRunning_; }

// The outlines in view pixels for the current view, projected again when
// the catalogue or the destination changed.
void PaintBox1::PlaceOutlines() {
  view_.width = width();
  view_.height = height();
  if (placedFor_.Matches(view_) && outlines_.count() == catalogue_.count()) return;
  if (reproject_ || outlines_.count() != catalogue_.count()) {
    outlines_.Project(catalogue_, projection_);
    const QFontMetrics metrics(NamesFont());
    names_.clear();
    for (int m = 0; m < catalogue_.count(); ++m) {
      MapName name;
      name.text = QLatin1Char(' ') + QString::fromStdString(catalogue_[m].title) + QLatin1Char(' ');
      name.width = metrics.horizontalAdvance(name.text);
      names_.push_back(std::move(name));
    }
    reproject_ = false;
  }
  outlines_.Place(view_);
  placedFor_.Store(view_);
}

void PaintBox1::EnsureBackground() {
  PlaceOutlines();
  if (!background_.Matches(view_)) {
    RebuildBackground();
    background_.Store(view_);
    mapsLayerValid_ = false;
  }
  if (!mapsLayerValid_) {
    mapsImage_ = backgroundImage_.copy();
    QPainter painter(&mapsImage_);
    PaintMapsLayer(painter);
    mapsLayerValid_ = true;
  }
}

void PaintBox1::RebuildBackground() {
  ++backgroundBuilds_;
  const bool busy = useThumbnails_ && catalogue_.count() > kBusyCursorMaps;
  if (busy) QApplication::setOverrideCursor(Qt::WaitCursor);
  const Bitmap layer = mapview::DrawBackground(view_, catalogue_, outlines_, useThumbnails_);
  // The layer's rows are blue-green-red, as every bitmap of the core.
  QImage rows(layer.width(), layer.height(), QImage::Format_BGR888);
  for (int y = 0; y < layer.height(); ++y) std::memcpy(rows.scanLine(y), layer.row(y), layer.stride());
  backgroundImage_ = rows.convertToFormat(QImage::Format_RGB32);
  if (busy) QApplication::restoreOverrideCursor();
}

void PaintBox1::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  if (!Showable()) {
    painter.fillRect(rect(), Qt::white);
    return;
  }
  EnsureBackground();
  if (liveDrag_) {
    // The cached picture follows the mouse; nothing is redrawn while dragging.
    const ViewPixel offset = tools_.DragOffset();
    painter.fillRect(rect(), Qt::white);
    painter.drawImage(QPoint(offset.x, offset.y), backgroundImage_);
    return;
  }
  painter.drawImage(QPoint(0, 0), mapsImage_);
  PaintOverlay(painter);
}

// Every map in its plain colour over the background: unselected maps first,
// then selected ones. Kept between frames, since hovering changes only the
// highlighted maps, which the overlay draws over it.
void PaintBox1::PaintMapsLayer(QPainter& painter) {
  painter.setFont(NamesFont());
  painter.setBrush(Qt::NoBrush);
  for (const bool selected : {false, true}) {
    painter.setPen(QPen(selected ? colours_.selected : colours_.unselected, 1));
    for (int m = 0; m < catalogue_.count(); ++m)
      if (catalogue_[m].selected == selected) PaintMap(painter, m);
  }
}

void PaintBox1::PaintOverlay(QPainter& painter) {
  painter.setFont(NamesFont());
  painter.setBrush(Qt::NoBrush);
  // Maps under the mouse come last, so their wider outline lies on top.
  for (const bool selected : {false, true}) {
    painter.setPen(QPen(selected ? colours_.selectedHighlight : colours_.unselectedHighlight, 2));
    for (int m = 0; m < catalogue_.count(); ++m)
      if (catalogue_[m].selected == selected && catalogue_[m].highlighted) PaintMap(painter, m);
  }
  PaintRegion(painter);
  PaintHoverBox(painter);
  PaintBand(painter);
}

void PaintBox1::PaintMap(QPainter& painter, int map) {
  const auto& box = outlines_.Box(map);
  if (!box) return;
  if (showOutlines_) {
    const auto pixels = outlines_.Pixels(map);
    QPolygon polygon(static_cast<int>(pixels.size()));
    for (std::size_t k = 0; k < pixels.size(); ++k) polygon.setPoint(static_cast<int>(k), pixels[k].x, pixels[k].y);
    painter.drawPolygon(polygon);
  }
  if (showNames_) {
    const MapName& name = names_[static_cast<std::size_t>(map)];
    const QFontMetrics metrics = painter.fontMetrics();
    const QRect area(box->minX + 2, box->minY + 2, name.width, metrics.height());
    if (!area.intersects(rect())) return;
    const QPen pen = painter.pen();
    painter.fillRect(area, kNameBackground);
    painter.setPen(pen.color());
    painter.drawText(QPoint(area.left(), area.top() + metrics.ascent()), name.text);
    painter.setPen(pen);
  }
}

void PaintBox1::PaintRegion(QPainter& painter) {
  if (!region_.drawn()) return;
  const ViewPixel topLeft = view_.ToView(region_.minX, region_.maxY);
  const ViewPixel bottomRight = view_.ToView(region_.maxX, region_.minY);
  painter.setPen(QPen(Qt::red, 1, Qt::DotLine));
  painter.setBrush(Qt::NoBrush);
  painter.drawPolygon(QPolygon({QPoint(topLeft.x, topLeft.y), QPoint(bottomRight.x, topLeft.y),
                                QPoint(bottomRight.x, bottomRight.y), QPoint(topLeft.x, bottomRight.y)}));
}

void PaintBox1::PaintHoverBox(QPainter& painter) {
  if (!tools_.hover()) return;
  const std::vector<mapview::HoverEntry> entries = mapview::HoverEntries(catalogue_);
  if (entries.empty()) return;
  painter.setFont(font());
  const QFontMetrics metrics = painter.fontMetrics();
  std::vector<QString> texts;
  int widest = 0;
  for (const auto& entry : entries) {
    texts.push_back(QString::fromStdString(entry.title));
    // The width allows for the entry's selection mark, as the list holds it.
    widest = std::max(widest, metrics.horizontalAdvance(QLatin1Char('0') + texts.back()));
  }
  const int lineHeight = metrics.height();
  const mapview::HoverBox box = mapview::PlaceHoverBox(tools_.lastPosition(), widest, lineHeight,
                                                       static_cast<int>(entries.size()), width(), height());
  painter.setPen(Qt::black);
  painter.setBrush(kHoverFill);
  painter.drawRect(QRect(QPoint(box.left, box.top), QPoint(box.right - 1, box.bottom - 1)));
  painter.setBrush(Qt::NoBrush);
  for (std::size_t i = 0; i < entries.size(); ++i) {
    painter.setPen(entries[i].selected ? kSelectedEntry : kUnselectedEntry);
    const int top = box.firstLine.y + static_cast<int>(i) * lineHeight;
    painter.drawText(QPoint(box.firstLine.x, top + metrics.ascent()), texts[i]);
  }
}

// The rubber band inverts what lies under it, so it shows on any picture.
void PaintBox1::PaintBand(QPainter& painter) {
  const auto& band = tools_.band();
  if (!band || band->start == band->corner) return;
  painter.save();
  painter.setCompositionMode(QPainter::RasterOp_NotDestination);
  painter.setPen(QPen(Qt::black, 1, Qt::DotLine));
  painter.setBrush(Qt::NoBrush);
  painter.drawRect(QRect(QPoint(band->start.x, band->start.y), QPoint(band->corner.x, band->corner.y)).normalized());
  painter.restore();
}

void PaintBox1::resizeEvent(QResizeEvent*) {
  view_.width = width();
  view_.height = height();
  FitToMaps(ExtentKind::AllMaps);
}

void PaintBox1::mousePressEvent(QMouseEvent* event) {
  tools_.Press(ButtonOf(event->button()), PixelOf(event->position()));
  if (tools_.dragging() && tools_.tool() == ViewTool::Drag) setCursor(Qt::ClosedHandCursor);
}

void PaintBox1::ShowPosition(ViewPixel at) {
  if (!view_.HasView()) return;
  // A point the projection cannot invert leaves the last position shown.
  if (const auto position = mapview::PositionAt(view_, projection_, at.x, at.y))
    emit positionChanged(QString::fromStdString(mapview::PositionText(*position)));
}

void PaintBox1::mouseMoveEvent(QMouseEvent* event) {
  const ViewPixel at = PixelOf(event->position());
  const bool hovering = tools_.hover();
  switch (tools_.Move(at, event->buttons() & Qt::LeftButton)) {
    case mapview::MoveEffect::LiveDrag:
      liveDrag_ = true;
      update();
      return;
    case mapview::MoveEffect::Band:
      ShowPosition(at);
      update();
      return;
    case mapview::MoveEffect::Hover:
      ShowPosition(at);
      if (!Showable()) return;
      PlaceOutlines();
      if (mapview::UpdateHighlights(catalogue_, outlines_, at) || !hovering ||
          !mapview::HoverEntries(catalogue_).empty())
        update();
      return;
  }
}

void PaintBox1::mouseReleaseEvent(QMouseEvent* event) {
  tools_.Release(ButtonOf(event->button()), PixelOf(event->position()));
  liveDrag_ = false;
  ToolCursor();
  update();
}

void PaintBox1::mouseDoubleClickEvent(QMouseEvent* event) {
  if (tools_.tool() != ViewTool::Select || !Showable()) return;
  PlaceOutlines();
  const ViewPixel at = PixelOf(event->position());
  const mapview::DoubleClickOutcome outcome = mapview::DoubleClickMaps(catalogue_, outlines_.MapsAt(at));
  if (outcome.toggled >= 0) {
    emit mapSelectionChanged(outcome.toggled, catalogue_[outcome.toggled].selected);
    RedrawLayers();  // selected thumbnails lie on top, in the selected colour
  } else if (!outcome.choose.empty()) {
    selectMap_->ShowMaps(catalogue_, outcome.choose);
  }
  update();
}

void PaintBox1::MapTicked(int mapIndex, bool ticked) {
  if (mapIndex < 0 || mapIndex >= catalogue_.count()) return;
  emit mapSelectionChanged(mapIndex, mapview::SetMapSelected(catalogue_[mapIndex], ticked));
  RedrawLayers();
}

// The wheel zooms about the point under the mouse, one 1.4 step a notch.
void PaintBox1::wheelEvent(QWheelEvent* event) {
  const double notches = event->angleDelta().y() / kWheelNotch;
  if (notches == 0 || !view_.HasView()) return;
  const QPointF at = event->position();
  view_.ZoomAbout(view_.scale * std::pow(mapview::kZoomStep, -notches), at.x(), at.y(),
                  mapview::MaxScaleOf(destination_.Kind()));
  update();
  event->accept();
}

// "+" and "-" zoom about the view's centre; the arrows move the view by a
// quarter of its size.
void PaintBox1::keyPressEvent(QKeyEvent* event) {
  if (!view_.HasView()) return QWidget::keyPressEvent(event);
  const double maxScale = mapview::MaxScaleOf(destination_.Kind());
  const PlanePoint centre = view_.ToDestination(width() / 2.0, height() / 2.0);
  switch (event->key()) {
    case Qt::Key_Plus:
    case Qt::Key_Equal:
      view_.ZoomAt(view_.scale / mapview::kZoomStep, centre.x, centre.y, maxScale);
      break;
    case Qt::Key_Minus:
      view_.ZoomAt(view_.scale * mapview::kZoomStep, centre.x, centre.y, maxScale);
      break;
    case Qt::Key_Left: view_.Pan(width() / 4.0, 0); break;
    case Qt::Key_Right: view_.Pan(-width() / 4.0, 0); break;
    case Qt::Key_Up: view_.Pan(0, height() / 4.0); break;
    case Qt::Key_Down: view_.Pan(0, -height() / 4.0); break;
    default: return QWidget::keyPressEvent(event);
  }
  update();
}

void PaintBox1::ToolCursor() {
  switch (tools_.tool()) {
    case ViewTool::Select: setCursor(Qt::PointingHandCursor); break;
    case ViewTool::Drag: setCursor(Qt::OpenHandCursor); break;
    case ViewTool::Region:
    case ViewTool::ZoomIn: setCursor(Qt::CrossCursor); break;
  }
}

}  // namespace quiltor::ui
