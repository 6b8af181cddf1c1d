#pragma once
// TfmMaps: the "Select Map" tool window. A double-click with the "Select"
// tool on overlapping outlines lists those maps here, one ticked row per
// selected map; ticking a row selects its map. Closing the window empties
// the list.
#include <QDialog>
#include <vector>

#include "catalogue/map_record.h"

class QListWidget;
class QListWidgetItem;

namespace quiltor::ui {

class TfmMaps : public QDialog {
  Q_OBJECT

 public:
  explicit TfmMaps(QWidget* parent = nullptr);

  // Lists the maps (catalogue indices) with their titles and ticks and
  // shows the window modally without blocking the caller.
  void ShowMaps(const MapCatalogue& catalogue, const std::vector<int>& maps);

  QListWidget* MapSelect() const { return mapSelect_; }

 signals:
  // The user ticked or unticked the row of catalogue map `mapIndex`.
  void mapTicked(int mapIndex, bool ticked);

 private:
  void RowChanged(QListWidgetItem* row);

  QListWidget* mapSelect_ = nullptr;
  bool filling_ = false;  // rows being added: their ticks are not the user's
};

}  // namespace quiltor::ui
