// The "Create Map" menu: the create flow of the window. The checks and their
// messages, the save dialog and the create log come from the creation
// subsystem's flow; the window adds its dialogs and runs the creation thread
// behind TfmCreate.
#include <QLabel>
#include <QLineEdit>

#include "common/paths.h"
#include "creation/create_run.h"
#include "ui/tfm_create.h"
#include "ui/tfm_map_errors.h"
#include "ui/tfm_open_maps.h"
#include "ui/tp_main.h"

namespace quiltor::ui {

namespace {
constexpr int kCreateLogHeight = 150;
}

void TpMain::StartCreate(creation::CreateMode mode) { RunCreateFlow(mode); }

bool TpMain::RunCreateFlow(creation::CreateMode mode) {
  creation::CatalogueCreate create;
  create.configuration = CurrentConfiguration();
  create.mode = mode;
  create.region = region_;
  creation::CreateFlags flags;
  create.interaction.chooseDestination = [this]() -> std::optional<std::string> {
    fmOpenMaps_->hide();
    statusPanels_[0]->clear();
    const QString file = dialogs_.chooseSaveFile(cDestFolder->text());
    if (file.isEmpty()) return std::nullopt;
    return file.toStdString();
  };
  create.interaction.runJob = [this, &flags](const std::function<void()>& startJob) {
    fmCreate_->CreateMap2(startJob, flags);
  };

  const creation::CreateOutcome outcome =
      creation::CreateFromCatalogue(*catalogue_, projections_, create, *host_, flags);
  if (!outcome.started) return false;
  // A create that ended before its row loop leaves the previous result.
  if (!outcome.report.resultText.empty()) resultText_ = outcome.report.resultText;
  statusPanels_[0]->setText(QString::fromStdString(resultText_));
  fmMapErrors_->Prepare(QString::fromLatin1(kCreateLogCaption), kCreateLogHeight);
  for (const std::string& line : outcome.log.lines) fmMapErrors_->AppendLine(QString::fromStdString(line));
  if (outcome.log.show) dialogs_.showModal(*fmMapErrors_);
  return outcome.report.outputWritten;
}

}  // namespace quiltor::ui
