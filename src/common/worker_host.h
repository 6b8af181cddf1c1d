#pragma once
// What a worker (scan, thumbnails, create, conversion) may do to the user
// interface. The GUI marshals each call onto its main thread and blocks the
// worker meanwhile; the command line prints; tests record. The core never
// sees a window.
#include <atomic>
#include <string>

namespace quiltor {

// The stages of a create, in the order they run.
enum class Stage { GeneratingMap, Sharpening, SavingImage };

// The stage as the create window labels it and the terminal shows it.
constexpr const char* StageCaption(Stage stage) {
  switch (stage) {
    case Stage::GeneratingMap: return "Generating map ... ";
    case Stage::Sharpening: return "Sharpening ...";
    case Stage::SavingImage: return "Saving image ...";
  }
  return "";
}

class WorkerHost {
 public:
  virtual ~WorkerHost() = default;

  // Scan progress window: label 1 what is being loaded, 2 which map or
  // "Checking Folders", 3 thumbnail progress.
  virtual void SetProgressLabel(int label, const std::string& text) = 0;

  // Create progress window: the status bar text (row and pass progress).
  virtual void SetStatusText(const std::string& text) = 0;
  // A create stage began, or its work ended (an aborted row loop and a
  // refused conversion end too; the create's result says how). The window
  // makes the stage's label bold at the start and shows its tick at the end;
  // the terminal names the running stage on its progress line.
  virtual void StageStarted(Stage stage) = 0;
  virtual void StageFinished(Stage stage) = 0;

  // "Action List" window: hide, clear and show; then append lines.
  virtual void ResetActionList() = 0;
  virtual void AppendActionLine(const std::string& line) = 0;

  // "Map Errors" memo (the scan's errors, reused as the create log). The
  // memo shows `line`, the fixed text; `cause` says why in the words of the
  // part that failed (an exception's text, a reader's refusal), or is empty
  // when the line says it all. The command line shows the cause with
  // --verbose and in its JSON objects.
  virtual void AppendMapError(const std::string& line, const std::string& cause) = 0;

  // A plain message box with a fixed text.
  virtual void ShowMessage(const std::string& text) = 0;
};

// A host that shows nothing: for work whose progress nobody watches (a
// thumbnail rebuild in a test, a benchmark).
class QuietHost : public WorkerHost {
 public:
  void SetProgressLabel(int, const std::string&) override {}
  void SetStatusText(const std::string&) override {}
  void StageStarted(Stage) override {}
  void StageFinished(Stage) override {}
  void ResetActionList() override {}
  void AppendActionLine(const std::string&) override {}
  void AppendMapError(const std::string&, const std::string&) override {}
  void ShowMessage(const std::string&) override {}
};

}  // namespace quiltor
