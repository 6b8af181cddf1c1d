#pragma once
// The window's WorkerHost: every call a worker makes is run on the main
// thread while the worker waits (a blocking queued call), so the core never
// touches a widget from its own thread. Called on the main thread itself,
// a call runs at once.
#include <QObject>
#include <QString>
#include <functional>

#include "common/worker_host.h"

namespace quiltor::ui {

class TfmCreate;
class TfmMapErrors;
class TfmOpenMaps;
class TfmThumbnail;

// Runs `call` on the thread of `context` and returns when it has run.
void RunOnMainThread(QObject* context, const std::function<void()>& call);

class WindowHost : public WorkerHost {
 public:
  struct Windows {
    QObject* main = nullptr;  // the main window: messages run on its thread
    std::function<void(const QString&)> message;  // shows a plain message box
    TfmThumbnail* thumbnail = nullptr;
    TfmCreate* create = nullptr;
    TfmOpenMaps* actionList = nullptr;
    TfmMapErrors* mapErrors = nullptr;
  };
  explicit WindowHost(const Windows& windows) : windows_(windows) {}

  void SetProgressLabel(int label, const std::string& text) override;
  void SetStatusText(const std::string& text) override;
  void StageStarted(Stage stage) override;
  void StageFinished(Stage stage) override;
  void ResetActionList() override;
  void AppendActionLine(const std::string& line) override;
  void AppendMapError(const std::string& line, const std::string& cause) override;
  void ShowMessage(const std::string& text) override;

 private:
  Windows windows_;
};

}  // namespace quiltor::ui
