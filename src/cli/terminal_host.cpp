#include "cli/terminal_host.h"

#include <unistd.h>

#include <cstdio>

#include "cli/json_writer.h"

namespace quiltor::cli {

TerminalHost::TerminalHost(bool verbose) : tty_(isatty(STDERR_FILENO) != 0), verbose_(verbose) {}

TerminalHost::~TerminalHost() { FinishProgress(); }

void TerminalHost::Draw(const std::string& text) {
  if (!tty_) return;
  std::string line = text.substr(0, 78);
  line.resize(78, ' ');
  std::fprintf(stderr, "\r%s", line.c_str());
  std::fflush(stderr);
  lineOpen_ = true;
}

void TerminalHost::FinishProgress() {
  if (lineOpen_) {
    std::fprintf(stderr, "\n");
    lineOpen_ = false;
  }
}

void TerminalHost::SetProgressLabel(int label, const std::string& text) {
  std::lock_guard lock(mutex_);
  if (!text.empty()) Draw("[" + std::to_string(label) + "] " + text);
}

void TerminalHost::SetStatusText(const std::string& text) {
  std::lock_guard lock(mutex_);
  Draw(text);
}

// The progress line names the running stage until the stage's own progress
// texts take it over.
void TerminalHost::StageStarted(Stage stage) { SetStatusText(StageCaption(stage)); }

void TerminalHost::StageFinished(Stage) {}

void TerminalHost::ResetActionList() {
  std::lock_guard lock(mutex_);
  actionLines_.clear();
}

void TerminalHost::AppendActionLine(const std::string& line) {
  std::lock_guard lock(mutex_);
  actionLines_.push_back(line);
  if (verbose_) {
    if (lineOpen_) FinishProgress();
    std::fprintf(stderr, "%s\n", line.c_str());
  }
}

void TerminalHost::AppendMapError(const std::string& line, const std::string& cause) {
  std::lock_guard lock(mutex_);
  mapErrors_.push_back(line);
  mapErrorCauses_.push_back(cause);
}

void TerminalHost::ShowMessage(const std::string& text) {
  std::lock_guard lock(mutex_);
  std::string shown = text;
  for (const auto& [windowText, commandLineText] : rephrased_)
    if (text == windowText) shown = commandLineText;
  messages_.push_back(shown);
  FinishProgress();
  std::fprintf(stderr, "%s\n", shown.c_str());
}

void TerminalHost::Rephrase(std::string windowText, std::string commandLineText) {
  std::lock_guard lock(mutex_);
  rephrased_.emplace_back(std::move(windowText), std::move(commandLineText));
}

std::string WithCause(const std::string& line, const std::string& cause) {
  return cause.empty() ? line : line + " (" + cause + ")";
}

void WriteMapErrorCauses(JsonWriter& json, const std::vector<std::string>& lines,
                         const std::vector<std::string>& causes) {
  json.Key("mapErrorCauses").BeginArray();
  for (std::size_t i = 0; i < lines.size(); ++i) {
    json.BeginObject().String("mapError", lines[i]);
    if (i >= causes.size() || causes[i].empty()) {
      json.Null("cause");
    } else {
      json.String("cause", causes[i]);
    }
    json.EndObject();
  }
  json.EndArray();
}

}  // namespace quiltor::cli
