#include "ui/tfm_thumbnail.h"

#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "ui/widget_names.h"

namespace quiltor::ui {

namespace {
constexpr int kStartDelayMs = 100;
}

TfmThumbnail::TfmThumbnail(QWidget* parent) : WorkerDialog(parent, kStartDelayMs) {
  setObjectName(QStringLiteral("fmThumbnail"));
  setWindowTitle(QString::fromLatin1(kThumbnailCaption));
  // A tool window without border icons: it closes only when the worker ends.
  setWindowFlags(Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
  setModal(true);
  auto* layout = new QVBoxLayout(this);
  for (int i = 0; i < 3; ++i) {
    labels_[i] = Named(new QLabel(this), i == 0 ? "Label1" : i == 1 ? "Label2" : "Label3");
    labels_[i]->setMinimumWidth(360);
    layout->addWidget(labels_[i]);
  }
  bAbort = Named(new QPushButton(QStringLiteral("Abort"), this), "bAbort");
  SetHint(bAbort, "Abort the creation of the map");
  layout->addWidget(bAbort, 0, Qt::AlignHCenter);
  connect(bAbort, &QPushButton::clicked, this, [this] {
    if (worker_) worker_->Abort();
  });
  ClearLabels();
}

void TfmThumbnail::ClearLabels() {
  for (QLabel* label : labels_) label->clear();
}

void TfmThumbnail::SetProgressLabel(int label, const QString& text) {
  if (label >= 1 && label <= 3) labels_[label - 1]->setText(text);
}

QString TfmThumbnail::ProgressLabel(int label) const {
  return label >= 1 && label <= 3 ? labels_[label - 1]->text() : QString();
}

void TfmThumbnail::RunWorker(OpenMapThread& worker) {
  ClearLabels();
  worker_ = &worker;
  RunModal([&worker] { worker.Start(); }, [&worker] { return worker.WorkerDone(); });
  worker_ = nullptr;
}

}  // namespace quiltor::ui
