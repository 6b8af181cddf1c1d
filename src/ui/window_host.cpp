#include "ui/window_host.h"

#include <QThread>
#include <QWidget>

#include "ui/tfm_create.h"
#include "ui/tfm_map_errors.h"
#include "ui/tfm_open_maps.h"
#include "ui/tfm_thumbnail.h"

namespace quiltor::ui {

void RunOnMainThread(QObject* context, const std::function<void()>& call) {
  if (QThread::currentThread() == context->thread()) {
    call();
    return;
  }
  QMetaObject::invokeMethod(context, call, Qt::BlockingQueuedConnection);
}

namespace {
QString Text(const std::string& text) { return QString::fromStdString(text); }
}  // namespace

void WindowHost::SetProgressLabel(int label, const std::string& text) {
  RunOnMainThread(windows_.thumbnail, [this, label, &text] { windows_.thumbnail->SetProgressLabel(label, Text(text)); });
}

void WindowHost::SetStatusText(const std::string& text) {
  RunOnMainThread(windows_.create, [this, &text] { windows_.create->SetStatusText(Text(text)); });
}

void WindowHost::StageStarted(Stage stage) {
  RunOnMainThread(windows_.create, [this, stage] { windows_.create->StageStarted(stage); });
}

void WindowHost::StageFinished(Stage stage) {
  RunOnMainThread(windows_.create, [this, stage] { windows_.create->StageFinished(stage); });
}

void WindowHost::ResetActionList() {
  RunOnMainThread(windows_.actionList, [this] { windows_.actionList->Reset(); });
}

void WindowHost::AppendActionLine(const std::string& line) {
  RunOnMainThread(windows_.actionList, [this, &line] { windows_.actionList->AppendLine(Text(line)); });
}

void WindowHost::AppendMapError(const std::string& line, const std::string& cause) {
  RunOnMainThread(windows_.mapErrors,
                  [this, &line, &cause] { windows_.mapErrors->AppendLine(Text(line), Text(cause)); });
}

void WindowHost::ShowMessage(const std::string& text) {
  RunOnMainThread(windows_.main, [this, &text] { windows_.message(Text(text)); });
}

}  // namespace quiltor::ui
