#pragma once
// What a worker (scan, thumbnails, create, conversion) may do to the user
// interface. The GUI marshals each call onto its main thread and blocks the
// worker meanwhile; the command line prints; tests record. The core never
// sees a window.
#include <atomic>
#include <string>

namespace quiltor {

class WorkerHost {
 public:
  virtual ~WorkerHost() = default;

  // Scan progress window: label 1 what is being loaded, 2 which map or
  // "Checking Folders", 3 thumbnail progress.
  virtual void SetProgressLabel(int label, const std::string& text) = 0;

  // Create progress window: the status bar text (row and pass progress).
  virtual void SetStatusText(const std::string& text) = 0;
  // Stage labels 1..3 of the create window ("Generating map", "Sharpening",
  // "Saving image"): bold while running, a tick when done.
  virtual void SetStageBold(int stage, bool bold) = 0;
  virtual void ShowStageTick(int stage) = 0;

  // "Action List" window: hide, clear and show; then append lines.
  virtual void ResetActionList() = 0;
  virtual void AppendActionLine(const std::string& line) = 0;

  // "Map Errors" memo (the scan's errors, reused as the create log).
  virtual void AppendMapError(const std::string& line) = 0;

  // A plain message box with a fixed text.
  virtual void ShowMessage(const std::string& text) = 0;
};

// A host that shows nothing: for work whose progress nobody watches (a
// thumbnail rebuild in a test, a benchmark).
class QuietHost : public WorkerHost {
 public:
  void SetProgressLabel(int, const std::string&) override {}
  void SetStatusText(const std::string&) override {}
  void SetStageBold(int, bool) override {}
  void ShowStageTick(int) override {}
  void ResetActionList() override {}
  void AppendActionLine(const std::string&) override {}
  void AppendMapError(const std::string&) override {}
  void ShowMessage(const std::string&) override {}
};

}  // namespace quiltor
