#pragma once
// The command line's WorkerHost: progress on stderr (a bar redrawn in place
// when stderr is a terminal, nothing otherwise), messages and log lines as
// plain lines, and the "Map Errors" lines kept for the command to print.
#include <mutex>
#include <string>
#include <vector>

#include "common/worker_host.h"

namespace quiltor::cli {

class TerminalHost : public WorkerHost {
 public:
  explicit TerminalHost(bool verbose = false);
  ~TerminalHost() override;

  void SetProgressLabel(int label, const std::string& text) override;
  void SetStatusText(const std::string& text) override;
  void StageStarted(Stage stage) override;
  void StageFinished(Stage stage) override;
  void ResetActionList() override;
  void AppendActionLine(const std::string& line) override;
  void AppendMapError(const std::string& line) override;
  void ShowMessage(const std::string& text) override;

  const std::vector<std::string>& MapErrors() const { return mapErrors_; }
  const std::vector<std::string>& Messages() const { return messages_; }
  const std::vector<std::string>& ActionLines() const { return actionLines_; }
  // Ends the progress line so that later output starts on a fresh line.
  void FinishProgress();

 private:
  void Draw(const std::string& text);

  std::mutex mutex_;
  bool tty_;
  bool verbose_;
  bool lineOpen_ = false;
  std::vector<std::string> mapErrors_;
  std::vector<std::string> messages_;
  std::vector<std::string> actionLines_;
};

}  // namespace quiltor::cli
