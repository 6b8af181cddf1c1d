// The "Configure" tab: the temporary and destination folders, scanning and
// thumbnail settings, the output settings of a create and the outline
// colours of the view.
#include <QCheckBox>
#include <QColorDialog>
#include <QFileDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QPushButton>
#include <QSpinBox>
#include <QToolButton>

#include "ui/paint_box.h"
#include "ui/tp_main.h"
#include "ui/widget_names.h"

namespace quiltor::ui {

namespace {

QSpinBox* Spin(const char* name, int minimum, int maximum, int step, int value) {
  auto* spin = Named(new QSpinBox, name);
  spin->setRange(minimum, maximum);
  spin->setSingleStep(step);
  spin->setValue(value);
  return spin;
}

}  // namespace

std::uint32_t StoredColour(const QColor& colour) {
  return static_cast<std::uint32_t>(colour.red()) | static_cast<std::uint32_t>(colour.green()) << 8 |
         static_cast<std::uint32_t>(colour.blue()) << 16;
}

// Each colour button carries a swatch of its colour.
void TpMain::ShowOutlineColours() {
  for (int i = 0; i < 4; ++i) {
    QPixmap swatch(16, 16);
    swatch.fill(ColourOfBgr(outlineColours_[i]));
    outlineColourButtons_[i]->setIcon(QIcon(swatch));
  }
}

QWidget* TpMain::BuildConfigureTab() {
  auto* tab = Named(new QWidget, "TabConfigure");
  auto* grid = new QGridLayout(tab);
  int row = 0;

  // A folder field with a button that opens a folder dialog on it.
  const auto folderRow = [&](QLineEdit*& member, const char* name, const char* caption, const char* hint) {
    member = Named(new QLineEdit, name);
    if (hint) SetHint(member, hint);
    auto* pick = Named(new QToolButton, (std::string(name) + "Browse").c_str());
    pick->setText(QStringLiteral("..."));
    QLineEdit* field = member;
    connect(pick, &QToolButton::clicked, this, [this, field, caption] {
      const QString chosen = QFileDialog::getExistingDirectory(this, QString::fromLatin1(caption), field->text());
      if (!chosen.isEmpty()) field->setText(chosen);
    });
    auto* box = new QHBoxLayout;
    box->addWidget(member, 1);
    box->addWidget(pick);
    grid->addWidget(new QLabel(QString::fromLatin1(caption)), row, 0);
    grid->addLayout(box, row, 1, 1, 2);
    ++row;
  };
  folderRow(cTempFolder, "cTempFolder", "Temp File Folder", "Select the folder to use for temporary files");
  folderRow(cDestFolder, "cDestFolder", "Destination Folder", nullptr);

  cAutoScanFolders = Named(new QCheckBox(QStringLiteral("Auto Scan Folders")), "cAutoScanFolders");
  grid->addWidget(cAutoScanFolders, row++, 0, 1, 2);
  cUseThumbnails = Named(new QCheckBox(QStringLiteral("Use Thumbnails")), "cUseThumbnails");
  grid->addWidget(cUseThumbnails, row++, 0, 1, 2);

  const auto valueRow = [&](const char* caption, QWidget* field) {
    grid->addWidget(new QLabel(QString::fromLatin1(caption)), row, 0);
    grid->addWidget(field, row, 1);
    ++row;
  };
  cThumbnailSize = Spin("cThumbnailSize", 50, 500, 25, 100);
  valueRow("Map Thumbnail Size", cThumbnailSize);
  cPreviewSize = Spin("cPreviewSize", 100, 1000, 50, 300);
  valueRow("Preview Size (pixels)", cPreviewSize);
  bDeleteThumbnails = Named(new QPushButton(QStringLiteral("Delete Thumbnails")), "bDeleteThumbnails");
  grid->addWidget(bDeleteThumbnails, row++, 1);
  cMaxLoadedMaps = Named(new QLineEdit(QStringLiteral("10")), "cMaxLoadedMaps");
  cMaxLoadedMaps->setValidator(new QIntValidator(1, 9999, cMaxLoadedMaps));
  valueRow("Max Loaded Maps", cMaxLoadedMaps);
  cNumColors = Spin("cNumColors", 8, 256, 1, 256);
  valueRow("Number of Colors", cNumColors);
  cResize = Spin("cResize", 10, 100, 1, 100);
  valueRow("Resize (%)", cResize);

  auto* colours = Named(new QGroupBox(QStringLiteral(" Viewing Area - Map Outline Colors ")), "OutlineColours");
  auto* colourGrid = new QGridLayout(colours);
  const char* const names[4] = {"bSelectedColor", "bUnselectedColor", "bSelectedHighlightColor",
                                "bUnselectedHighlightColor"};
  const char* const captions[4] = {"Selected Color", "Unselected Color", "Selected Highlight Color",
                                   "Unselected Highlight Color"};
  for (int i = 0; i < 4; ++i) {
    outlineColourButtons_[i] = Named(new QPushButton(QString::fromLatin1(captions[i])), names[i]);
    colourGrid->addWidget(outlineColourButtons_[i], i / 2, i % 2);
    connect(outlineColourButtons_[i], &QPushButton::clicked, this, [this, i] {
      const QColor chosen = QColorDialog::getColor(ColourOfBgr(outlineColours_[i]), this);
      if (!chosen.isValid()) return;
      outlineColours_[i] = StoredColour(chosen);
      ShowOutlineColours();
      emit ViewRedrawRequested(false);
    });
  }
  grid->addWidget(colours, row++, 0, 1, 3);
  grid->setColumnStretch(2, 1);
  grid->setRowStretch(row, 1);
  return tab;
}

}  // namespace quiltor::ui
