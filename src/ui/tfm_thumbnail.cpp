#include "ui/tfm_thumbnail.h"

#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>
#include <exception>
#include <thread>

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
  connect(bAbort, &QPushButton::clicked, this, [this] { scanAbort_.store(true); });
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

void TfmThumbnail::RunWorker(const std::function<void(const std::atomic<bool>& scanAbort)>& work) {
  scanAbort_.store(false);
  workerDone_.store(false);
  ClearLabels();
  std::thread worker;
  std::exception_ptr failure;
  RunModal(
      [&] {
        worker = std::thread([this, &work, &failure] {
          try {
            work(scanAbort_);
          } catch (...) {
            failure = std::current_exception();
          }
          workerDone_.store(true);
        });
      },
      workerDone_);
  worker.join();
  // A failure of the worker reaches the caller on the main thread.
  if (failure) std::rethrow_exception(failure);
}

}  // namespace quiltor::ui
