#include "ui/tfm_maps.h"

#include <QListWidget>
#include <QVBoxLayout>

namespace quiltor::ui {

TfmMaps::TfmMaps(QWidget* parent) : QDialog(parent, Qt::Tool) {
  setObjectName(QStringLiteral("fmMaps"));
  setWindowTitle(QStringLiteral("Select Map"));
  setWindowModality(Qt::ApplicationModal);
  mapSelect_ = new QListWidget(this);
  mapSelect_->setObjectName(QStringLiteral("MapSelect"));
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(2, 2, 2, 2);
  layout->addWidget(mapSelect_);
  resize(320, 160);
  connect(mapSelect_, &QListWidget::itemChanged, this, &TfmMaps::RowChanged);
  connect(this, &QDialog::finished, mapSelect_, &QListWidget::clear);
}

void TfmMaps::ShowMaps(const MapCatalogue& catalogue, const std::vector<int>& maps) {
  filling_ = true;
  mapSelect_->clear();
  for (int index : maps) {
    auto* row = new QListWidgetItem(QString::fromStdString(catalogue[index].title), mapSelect_);
    row->setFlags(Qt::ItemIsEnabled | Qt::ItemIsUserCheckable);
    row->setCheckState(catalogue[index].selected ? Qt::Checked : Qt::Unchecked);
    row->setData(Qt::UserRole, index);
  }
  filling_ = false;
  open();
}

void TfmMaps::RowChanged(QListWidgetItem* row) {
  if (filling_) return;
  emit mapTicked(row->data(Qt::UserRole).toInt(), row->checkState() == Qt::Checked);
}

}  // namespace quiltor::ui
