#include "ui/tp_main.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QStatusBar>
#include <QTabWidget>

#include "geodesy/destination_setup.h"
#include "ui/widget_names.h"

namespace quiltor::ui {

namespace {

constexpr int kDesignWidth = 800;
constexpr int kDesignHeight = 563;
constexpr int kStatusPanelWidth = 300;

}  // namespace

TpMain::TpMain(QWidget* parent) : QMainWindow(parent) {
  setObjectName(QStringLiteral("pMain"));
  setWindowTitle(QString::fromLatin1(kMainCaption));
  resize(kDesignWidth, kDesignHeight);

  pages_ = Named(new QTabWidget(this), "PageControl1");
  pages_->addTab(BuildSourceMapsTab(), QStringLiteral("Source Maps"));
  pages_->addTab(BuildDestinationTab(), QStringLiteral("Destination Map"));
  pages_->addTab(BuildConfigureTab(), QStringLiteral("Configure"));
  setCentralWidget(pages_);
  BuildStatusBar();

  EnableParameterFields(cMapProjection->currentText());
  WriteSettingsMemo();
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

// A field is enabled exactly when its value enters the projection's set-up,
// so what the user can type is what is used. Used fields take the normal
// window colour, the others are greyed and painted silver.
void TpMain::EnableParameterFields(const QString& projectionName) {
  static constexpr QRgb kUsedFieldColour = 0xFFFFFF;
  static constexpr QRgb kUnusedFieldColour = 0xC0C0C0;
  QLineEdit* const fields[geodesy::kParameterFieldCount] = {cZone,      cLatOrigin,   cCentralMeridian,
                                                            cLatitude1, cLatitude2,   cScaleFactor,
                                                            cFalseEasting, cFalseNorthing};
  const geodesy::ParameterFieldSet used = geodesy::DestinationParameterFields(projectionName.toStdString());
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

}  // namespace quiltor::ui
