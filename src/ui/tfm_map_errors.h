#pragma once
// TfmMapErrors: a memo above a "Close" button. A scan lists the maps it
// could not read in it ("Map Scanning Errors"); a create reuses it as the
// "Map Create Log".
#include <QDialog>
#include <QStringList>

class QPlainTextEdit;

namespace quiltor::ui {

inline constexpr const char* kCreateLogCaption = "Map Create Log";

class TfmMapErrors : public QDialog {
  Q_OBJECT

 public:
  explicit TfmMapErrors(QWidget* parent = nullptr);

  // Clears the memo and sets the caption and the client height.
  void Prepare(const QString& caption, int clientHeight);
  // The memo shows `line`, and below it, indented, why (when known).
  void AppendLine(const QString& line, const QString& cause = QString());
  // The lines without their causes.
  QStringList Lines() const;

 private:
  QPlainTextEdit* memo_ = nullptr;
  QStringList lines_;
};

}  // namespace quiltor::ui
