#pragma once
// The command line's WorkerHost: progress on stderr (a bar redrawn in place
// when stderr is a terminal, nothing otherwise), messages and log lines as
// plain lines, and the "Map Errors" lines kept for the command to print.
#include <mutex>
#include <string>
#include <utility>
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
  void AppendMapError(const std::string& line, const std::string& cause) override;
  void ShowMessage(const std::string& text) override;

  const std::vector<std::string>& MapErrors() const { return mapErrors_; }
  // The cause beside each map error line, empty where the line says it all.
  const std::vector<std::string>& MapErrorCauses() const { return mapErrorCauses_; }
  const std::vector<std::string>& Messages() const { return messages_; }
  const std::vector<std::string>& ActionLines() const { return actionLines_; }
  // Ends the progress line so that later output starts on a fresh line.
  void FinishProgress();
  // ShowMessage shows `commandLineText` where the core says `windowText`: a
  // message that points at a field of a window names the option instead.
  void Rephrase(std::string windowText, std::string commandLineText);

 private:
  void Draw(const std::string& text);

  std::mutex mutex_;
  bool tty_;
  bool verbose_;
  bool lineOpen_ = false;
  std::vector<std::string> mapErrors_;
  std::vector<std::string> mapErrorCauses_;
  std::vector<std::string> messages_;
  std::vector<std::string> actionLines_;
  std::vector<std::pair<std::string, std::string>> rephrased_;
};

class JsonWriter;

// A map error as --verbose shows it: "line (cause)", or the line alone.
std::string WithCause(const std::string& line, const std::string& cause);

// The member "mapErrorCauses" of a command's JSON object: one
// {"mapError", "cause"} object per line, with the cause at the same index
// (TerminalHost::MapErrorCauses), null when the line says it all.
void WriteMapErrorCauses(JsonWriter& json, const std::vector<std::string>& lines,
                         const std::vector<std::string>& causes);

}  // namespace quiltor::cli
