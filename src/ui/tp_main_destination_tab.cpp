// The "Destination Map" tab: pixel scale, datum, projection and the
// projection's parameter fields, with the texts the window carries before
// the settings are loaded.
#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QRegularExpressionValidator>

#include "geodesy/datum.h"
#include "geodesy/projection_catalogue.h"
#include "ui/tp_main.h"
#include "ui/widget_names.h"

namespace quiltor::ui {

namespace {

using geodesy::ParameterField;

// Input filters of the fields: what a key press may add.
enum class Filter { Numeric, PositiveInteger, PositiveReal, Any };

QValidator* ValidatorFor(Filter filter, QObject* parent) {
  const char* pattern = nullptr;
  switch (filter) {
    case Filter::Numeric: pattern = "[-+0-9.,eE ]*"; break;
    case Filter::PositiveInteger: pattern = "[0-9]*"; break;
    case Filter::PositiveReal: pattern = "[0-9.,]*"; break;
    case Filter::Any: return nullptr;
  }
  return new QRegularExpressionValidator(QRegularExpression(QString::fromLatin1(pattern)), parent);
}

QLineEdit* Field(const char* name, const char* designText, Filter filter, int maxLength) {
  auto* field = Named(new QLineEdit(QString::fromLatin1(designText)), name);
  field->setMaxLength(maxLength);
  if (QValidator* validator = ValidatorFor(filter, field)) field->setValidator(validator);
  field->setMaximumWidth(160);
  return field;
}

}  // namespace

QWidget* TpMain::BuildDestinationTab() {
  auto* tab = Named(new QWidget, "TabDestination");
  auto* grid = new QGridLayout(tab);
  int row = 0;
  const auto addRow = [&](const char* label, QWidget* field, QWidget* beside = nullptr) {
    grid->addWidget(new QLabel(QString::fromUtf8(label)), row, 0);
    grid->addWidget(field, row, 1);
    if (beside) grid->addWidget(beside, row, 2);
    ++row;
  };

  cMpp = Field("cMpp", "100", Filter::Numeric, 10);
  addRow("Pixel Scale", cMpp, new QLabel(QStringLiteral("Meters Per Pixel")));

  cMapDatum = Named(new QComboBox, "cMapDatum");
  for (const std::string& name : geodesy::Datums().OfferedNames()) cMapDatum->addItem(QString::fromStdString(name));
  cMapDatum->setCurrentText(QStringLiteral("WGS 84"));
  addRow("Map Datum", cMapDatum);

  cMapProjection = Named(new QComboBox, "cMapProjection");
  cMapProjection->setMaxVisibleItems(16);
  for (const geodesy::DestinationProjection& p : geodesy::DestinationProjections())
    cMapProjection->addItem(QString::fromLatin1(p.displayName));
  cMapProjection->setCurrentText(QStringLiteral("Latitude/Longitude"));
  addRow("Map Projection", cMapProjection);

  const auto parameter = [&](QLineEdit*& member, const char* name, ParameterField field, Filter filter,
                             int maxLength) {
    member = Field(name, geodesy::DefaultFieldText(field), filter, maxLength);
    addRow(geodesy::FieldLabel(field), member);
  };
  parameter(cZone, "cZone", ParameterField::Zone, Filter::PositiveInteger, 2);
  parameter(cLatOrigin, "cLatOrigin", ParameterField::LatitudeOrigin, Filter::Any, 10);
  parameter(cLatitude1, "cLatitude1", ParameterField::Latitude1, Filter::Any, 10);
  parameter(cLatitude2, "cLatitude2", ParameterField::Latitude2, Filter::Any, 10);
  parameter(cCentralMeridian, "cCentralMeridian", ParameterField::CentralMeridian, Filter::Any, 10);
  parameter(cScaleFactor, "cScaleFactor", ParameterField::ScaleFactor, Filter::PositiveReal, 15);
  parameter(cFalseEasting, "cFalseEasting", ParameterField::FalseEasting, Filter::Numeric, 15);
  parameter(cFalseNorthing, "cFalseNorthing", ParameterField::FalseNorthing, Filter::Numeric, 15);

  grid->setColumnStretch(3, 1);
  grid->setRowStretch(row, 1);

  connect(cMapProjection, &QComboBox::currentTextChanged, this, &TpMain::EnableParameterFields);
  return tab;
}

}  // namespace quiltor::ui
