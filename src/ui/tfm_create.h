#pragma once
// TfmCreate: the create progress window. Three stage labels, bold while
// their stage runs and ticked when it is done, the row progress in its
// status bar and an Abort button. It opens modally, starts the creation
// thread 500 ms later and closes when the thread reports CreationDone.
#include <functional>

#include "common/worker_host.h"
#include "creation/create_job.h"
#include "ui/worker_dialog.h"

class QLabel;
class QPushButton;
class QStatusBar;
class QToolButton;

namespace quiltor::ui {

class TfmCreate : public WorkerDialog {
  Q_OBJECT

 public:
  explicit TfmCreate(QWidget* parent = nullptr);

  // CreateMap2: the window as a create shows it; `startJob` starts the
  // creation thread from Timer1. Answers once the window has closed.
  void CreateMap2(const std::function<void()>& startJob, creation::CreateFlags& flags);

  // A stage's label is bold from its start; its tick shows once it ends.
  void StageStarted(Stage stage);
  void StageFinished(Stage stage);
  void SetStatusText(const QString& text);

  // Labels and ticks 1..3, top to bottom.
  bool StageBold(int label) const;
  bool StageTicked(int label) const;
  QString StatusText() const;

 private:
  void WorkerFinished() override;
  void SetStageBold(int label, bool bold);

  QLabel* labels_[3] = {nullptr, nullptr, nullptr};
  QToolButton* ticks_[3] = {nullptr, nullptr, nullptr};
  QPushButton* bAbort = nullptr;
  QStatusBar* statusBar_ = nullptr;
  creation::CreateFlags* flags_ = nullptr;
};

}  // namespace quiltor::ui
