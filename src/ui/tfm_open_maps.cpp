#include "ui/tfm_open_maps.h"

#include <QGuiApplication>
#include <QPlainTextEdit>
#include <QScreen>
#include <QVBoxLayout>

#include "common/error.h"
#include "settings/program_settings.h"

#include "ui/widget_names.h"

namespace quiltor::ui {

namespace {
constexpr int kDefaultSide = 350;
}

TfmOpenMaps::TfmOpenMaps(std::filesystem::path settingsFile, QWidget* parent)
    : QWidget(parent, Qt::Tool), settingsFile_(std::move(settingsFile)) {
  setObjectName(QStringLiteral("fmOpenMaps"));
  setWindowTitle(QString::fromLatin1(kActionListCaption));
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  list_ = Named(new QPlainTextEdit(this), "Memo1");
  list_->setReadOnly(true);
  list_->setLineWrapMode(QPlainTextEdit::NoWrap);
  layout->addWidget(list_);
  const QRect screen = QGuiApplication::primaryScreen()->geometry();
  const FormPosition at = RestoreFormPosition(settingsFile_, kActionListSection, kDefaultSide, kDefaultSide,
                                              screen.width(), screen.height());
  move(at.left, at.top);
  resize(at.width, at.height);
}

TfmOpenMaps::~TfmOpenMaps() {
  try {
    SaveFormPosition(settingsFile_, kActionListSection, {x(), y(), width(), height()});
  } catch (const QuiltorError&) {
    // The main window has already reported a settings file it cannot write.
  }
}

void TfmOpenMaps::Reset() {
  hide();
  list_->clear();
  lines_.clear();
  show();
}

void TfmOpenMaps::AppendLine(const QString& line) {
  lines_.append(line);
  list_->appendPlainText(line);
}

QStringList TfmOpenMaps::Lines() const { return lines_; }

}  // namespace quiltor::ui
