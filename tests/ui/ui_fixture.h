#pragma once
// What the window tests share: a settings file in a fresh folder, and the
// window's blocking dialogs answered and recorded instead of shown.
#include <QCoreApplication>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QStringList>
#include <QTemporaryDir>
#include <filesystem>
#include <memory>

#include "ui/tfm_map_errors.h"
#include "ui/tp_main.h"

namespace quiltor::testing {

inline QString SamplesFolder() { return QStringLiteral(QUILTOR_SOURCE_DIR "/samples"); }

struct DialogRecord {
  QStringList messages;        // message box texts, in order
  QStringList folderAnswers;   // answers of the folder dialog, first first
  QStringList folderStarts;    // the folder each folder dialog started in
  QString saveAnswer;          // answer of the save dialog ("" cancels)
  int saveDialogs = 0;
  QStringList modalTitles;     // modal windows shown
  QStringList modalLines;      // the memo of the last map errors window shown
  QStringList helpOpened;
};

inline ui::UserDialogs RecordingDialogs(DialogRecord& r) {
  ui::UserDialogs d;
  d.message = [&r](const QString& text) { r.messages.append(text); };
  d.chooseFolder = [&r](const QString&, const QString& start) {
    r.folderStarts.append(start);
    return r.folderAnswers.isEmpty() ? QString() : r.folderAnswers.takeFirst();
  };
  d.chooseSaveFile = [&r](const QString&) {
    ++r.saveDialogs;
    return r.saveAnswer;
  };
  d.showModal = [&r](QDialog& window) {
    r.modalTitles.append(window.windowTitle());
    if (auto* errors = qobject_cast<ui::TfmMapErrors*>(&window)) r.modalLines = errors->Lines();
  };
  d.openHelp = [&r](const QString& file) { r.helpOpened.append(file); };
  return d;
}

// A folder of its own with the settings file of the windows made in it.
struct WindowFixture {
  QTemporaryDir dir;
  DialogRecord record;

  std::filesystem::path SettingsFile() const { return std::filesystem::path(dir.filePath("quiltor.ini").toStdString()); }
  QString Path(const QString& name) const { return dir.filePath(name); }
  QString MakeFolder(const QString& name) const {
    QDir(dir.path()).mkpath(name);
    return dir.filePath(name);
  }
  std::unique_ptr<ui::TpMain> Window() {
    auto window = std::make_unique<ui::TpMain>(SettingsFile());
    window->SetDialogs(RecordingDialogs(record));
    return window;
  }
  // Writes the settings file as a previous run would have left it.
  void WriteSettings(const QByteArray& text) const {
    QFile file(QString::fromStdString(SettingsFile().string()));
    file.open(QIODevice::WriteOnly);
    file.write(text);
  }
};

}  // namespace quiltor::testing
