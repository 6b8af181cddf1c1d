#pragma once
// TfmThumbnail: the progress window of a scan or a thumbnail rebuild
// ("Scanning maps and creating thumbnails"): three progress labels and an
// Abort button, shown modally while the worker runs.
#include <atomic>
#include <functional>

#include "ui/worker_dialog.h"

class QLabel;
class QPushButton;

namespace quiltor::ui {

inline constexpr const char* kThumbnailCaption = "Scanning maps and creating thumbnails";

class TfmThumbnail : public WorkerDialog {
  Q_OBJECT

 public:
  explicit TfmThumbnail(QWidget* parent = nullptr);

  // RunWorker: runs `work` on a worker thread 100 ms after the window has
  // opened and answers once it has ended and the window has closed. `work`
  // watches the ScanAbort flag it is given, which Abort sets. An exception
  // thrown by `work` is thrown again here once the window has closed.
  void RunWorker(const std::function<void(const std::atomic<bool>& scanAbort)>& work);

  // Label 1 what is being loaded, 2 which map, 3 thumbnail progress.
  void SetProgressLabel(int label, const QString& text);
  QString ProgressLabel(int label) const;

 private:
  void ClearLabels();

  QLabel* labels_[3] = {nullptr, nullptr, nullptr};
  QPushButton* bAbort = nullptr;
  std::atomic<bool> scanAbort_{false};
  std::atomic<bool> workerDone_{false};
};

}  // namespace quiltor::ui
