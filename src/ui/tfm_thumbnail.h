#pragma once
// TfmThumbnail: the progress window of a scan or a thumbnail rebuild
// ("Scanning maps and creating thumbnails"): three progress labels and an
// Abort button, shown modally while the worker runs.
#include "catalogue/open_map_thread.h"
#include "ui/worker_dialog.h"

class QLabel;
class QPushButton;

namespace quiltor::ui {

inline constexpr const char* kThumbnailCaption = "Scanning maps and creating thumbnails";

class TfmThumbnail : public WorkerDialog {
  Q_OBJECT

 public:
  explicit TfmThumbnail(QWidget* parent = nullptr);

  // RunWorker: starts the worker's pass 100 ms after the window has opened
  // and answers once the pass has ended and the window has closed. Abort
  // asks the worker to stop.
  void RunWorker(OpenMapThread& worker);

  // Label 1 what is being loaded, 2 which map, 3 thumbnail progress.
  void SetProgressLabel(int label, const QString& text);
  QString ProgressLabel(int label) const;

 private:
  void ClearLabels();

  QLabel* labels_[3] = {nullptr, nullptr, nullptr};
  QPushButton* bAbort = nullptr;
  OpenMapThread* worker_ = nullptr;
};

}  // namespace quiltor::ui
