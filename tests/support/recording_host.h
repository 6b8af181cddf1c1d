#pragma once
// A WorkerHost that records every call, for tests that check what a worker
// showed and in which order.
#include <mutex>
#include <string>
#include <vector>

#include "common/worker_host.h"

namespace quiltor::testing {

class RecordingHost : public WorkerHost {
 public:
  void SetProgressLabel(int label, const std::string& text) override { Add("label" + std::to_string(label) + ": " + text); }
  void SetStatusText(const std::string& text) override { Add("status: " + text); }
  void StageStarted(Stage stage) override { Add(std::string("started: ") + StageCaption(stage)); }
  void StageFinished(Stage stage) override { Add(std::string("finished: ") + StageCaption(stage)); }
  void ResetActionList() override { Add("actions reset"); }
  void AppendActionLine(const std::string& line) override { Add("action: " + line); }
  void AppendMapError(const std::string& line, const std::string& cause) override {
    std::lock_guard lock(mutex_);
    mapErrors.push_back(line);
    mapErrorCauses.push_back(cause);
    events.push_back("error: " + line);
  }
  void ShowMessage(const std::string& text) override {
    std::lock_guard lock(mutex_);
    messages.push_back(text);
    events.push_back("message: " + text);
  }

  std::vector<std::string> events;     // every call, in order
  std::vector<std::string> mapErrors;  // AppendMapError lines
  std::vector<std::string> mapErrorCauses;  // and their causes
  std::vector<std::string> messages;   // ShowMessage texts

 private:
  void Add(const std::string& e) {
    std::lock_guard lock(mutex_);
    events.push_back(e);
  }
  std::mutex mutex_;
};

}  // namespace quiltor::testing
