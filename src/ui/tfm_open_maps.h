#pragma once
// TfmOpenMaps: the "Action List" window, a list of what a create does with
// each map (opened, closed, failed). It keeps its position in the settings
// file.
#include <QStringList>
#include <QWidget>
#include <filesystem>

class QPlainTextEdit;

namespace quiltor::ui {

inline constexpr const char* kActionListCaption = "Action List";
inline constexpr const char* kActionListSection = "Open Map Status";

class TfmOpenMaps : public QWidget {
  Q_OBJECT

 public:
  // Restores its position from section "Open Map Status" of the settings
  // file, and saves it there when destroyed.
  TfmOpenMaps(std::filesystem::path settingsFile, QWidget* parent = nullptr);
  ~TfmOpenMaps() override;

  // Hide, clear and show again, as a create starts.
  void Reset();
  void AppendLine(const QString& line);
  QStringList Lines() const;

 private:
  std::filesystem::path settingsFile_;
  QPlainTextEdit* list_ = nullptr;
  QStringList lines_;
};

}  // namespace quiltor::ui
