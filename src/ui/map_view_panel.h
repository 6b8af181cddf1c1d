#pragma once
// The map view in the main window: PaintBox1 placed in the view panel and
// tied to the window's commands, check boxes, colours, map list and status
// bar.
namespace quiltor::ui {

class PaintBox1;
class TpMain;

// Creates the window's map view and connects it; the window owns it.
PaintBox1* PlaceMapView(TpMain& window);

}  // namespace quiltor::ui
