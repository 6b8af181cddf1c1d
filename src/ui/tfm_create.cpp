#include "ui/tfm_create.h"

#include <QLabel>
#include <QPushButton>
#include <QStatusBar>
#include <QToolButton>

#include "ui/widget_names.h"

namespace quiltor::ui {

namespace {

constexpr int kStartDelayMs = 500;  // Timer1
constexpr int kLabelLeft = 45;
constexpr int kLabelTops[3] = {20, 46, 72};
constexpr int kTickLeft = 237;
constexpr int kAbortLeft = 140;
constexpr int kDesignWidth = 362;
constexpr int kDesignHeight = 190;
constexpr int kCreateAbortTop = 95;
constexpr int kCreateHeight = 176;
constexpr Stage kStages[3] = {Stage::GeneratingMap, Stage::Sharpening, Stage::SavingImage};

int LabelOf(Stage stage) { return static_cast<int>(stage) + 1; }

}  // namespace

TfmCreate::TfmCreate(QWidget* parent) : WorkerDialog(parent, kStartDelayMs) {
  setObjectName(QStringLiteral("fmCreate"));
  setWindowTitle(QStringLiteral("Reproject"));
  setWindowFlags(Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
  setModal(true);
  setFixedSize(kDesignWidth, kDesignHeight);
  const char* const labelNames[3] = {"Label1", "Label2", "Label3"};
  const char* const tickNames[3] = {"cTick1", "cTick2", "cTick3"};
  for (int i = 0; i < 3; ++i) {
    labels_[i] = Named(new QLabel(QStringLiteral("----------"), this), labelNames[i]);
    labels_[i]->setGeometry(kLabelLeft, kLabelTops[i], kTickLeft - kLabelLeft - 8, 20);
    ticks_[i] = Named(new QToolButton(this), tickNames[i]);
    ticks_[i]->setAutoRaise(true);
    ticks_[i]->setText(QString(QChar(0x2714)));  // heavy check mark
    ticks_[i]->setStyleSheet(QStringLiteral("color: green; border: none;"));
    ticks_[i]->setGeometry(kTickLeft, kLabelTops[i], 22, 20);
    ticks_[i]->hide();
  }
  bAbort = Named(new QPushButton(QStringLiteral("Abort"), this), "bAbort");
  SetHint(bAbort, "Abort the creation of the map");
  bAbort->setGeometry(kAbortLeft, 110, 80, 28);
  connect(bAbort, &QPushButton::clicked, this, [this] {
    if (!flags_) return;
    flags_->abortRequested.store(true);
    flags_->conversionAbort.store(true);
  });
  statusBar_ = Named(new QStatusBar(this), "StatusBar1");
  statusBar_->setSizeGripEnabled(false);
}

void TfmCreate::CreateMap2(const std::function<void()>& startJob, creation::CreateFlags& flags) {
  setWindowTitle(QStringLiteral("Creating Map"));
  for (int i = 0; i < 3; ++i) labels_[i]->setText(QString::fromLatin1(StageCaption(kStages[i])));
  bAbort->move(kAbortLeft, kCreateAbortTop);
  setFixedSize(kDesignWidth, kCreateHeight);
  const int barHeight = statusBar_->sizeHint().height();
  statusBar_->setGeometry(0, kCreateHeight - barHeight, kDesignWidth, barHeight);
  statusBar_->clearMessage();
  flags_ = &flags;
  RunModal(startJob, [&flags] { return flags.creationDone.load(); });
  flags_ = nullptr;
}

// Timer2 saw CreationDone: the window is left as it was designed.
void TfmCreate::WorkerFinished() {
  for (int i = 0; i < 3; ++i) {
    ticks_[i]->hide();
    SetStageBold(i + 1, false);
  }
}

void TfmCreate::SetStageBold(int label, bool bold) {
  QFont font = labels_[label - 1]->font();
  font.setBold(bold);
  labels_[label - 1]->setFont(font);
}

void TfmCreate::StageStarted(Stage stage) { SetStageBold(LabelOf(stage), true); }

void TfmCreate::StageFinished(Stage stage) { ticks_[LabelOf(stage) - 1]->show(); }

void TfmCreate::SetStatusText(const QString& text) { statusBar_->showMessage(text); }

bool TfmCreate::StageBold(int label) const { return label >= 1 && label <= 3 && labels_[label - 1]->font().bold(); }

bool TfmCreate::StageTicked(int label) const {
  return label >= 1 && label <= 3 && !ticks_[label - 1]->isHidden();
}

QString TfmCreate::StatusText() const { return statusBar_->currentMessage(); }

}  // namespace quiltor::ui
