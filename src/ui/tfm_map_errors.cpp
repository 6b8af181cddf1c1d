#include "ui/tfm_map_errors.h"

#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "ui/widget_names.h"

namespace quiltor::ui {

TfmMapErrors::TfmMapErrors(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("fmMapErrors"));
  setWindowTitle(QStringLiteral("Map Errors"));
  auto* layout = new QVBoxLayout(this);
  memo_ = Named(new QPlainTextEdit(this), "Memo1");
  memo_->setReadOnly(true);
  memo_->setLineWrapMode(QPlainTextEdit::NoWrap);
  layout->addWidget(memo_, 1);
  auto* close = Named(new QPushButton(QStringLiteral("Close"), this), "bClose");
  connect(close, &QPushButton::clicked, this, &QDialog::accept);
  layout->addWidget(close, 0, Qt::AlignHCenter);
  resize(520, 264);
}

void TfmMapErrors::Prepare(const QString& caption, int clientHeight) {
  setWindowTitle(caption);
  resize(width(), clientHeight);
  memo_->clear();
  lines_.clear();
}

void TfmMapErrors::AppendLine(const QString& line, const QString& cause) {
  lines_.append(line);
  memo_->appendPlainText(line);
  if (!cause.isEmpty()) memo_->appendPlainText(QStringLiteral("    ") + cause);
}

QStringList TfmMapErrors::Lines() const { return lines_; }

}  // namespace quiltor::ui
