#include "app/shell/CStatusDlg.h"

#include <QScrollBar>
#include <QTreeWidget>

#include "app/shell/Icons.h"
#include "app/shell/MessageBoxes.h"
#include "jobs/JobList.h"
#include "platform/DisplayedPath.h"
#include "ui_CStatusDlg.h"

CStatusDlg::CStatusDlg(const JobList& jobs, QTreeWidget* jobRows, QWidget* parent)
    : KalvoraDialog(parent),
      ui_(std::make_unique<Ui::CStatusDlg>()),
      jobs_(jobs),
      jobRows_(jobRows) {
  ui_->setupUi(body());
  setTitle(QStringLiteral("Kalvora - Status"));
  ui_->previousButton->setIcon(Icons::previous());
  ui_->nextButton->setIcon(Icons::next());
  ui_->patients->setHeaderLabels(
      {QStringLiteral("Patient"), QStringLiteral("PatientID"), QStringLiteral("Images")});
  ui_->patients->setColumnWidth(0, 200);
  ui_->patients->setColumnWidth(1, 100);
  ui_->patients->setColumnWidth(2, 60);
  ui_->autoScroll->setChecked(true);
  ui_->sendAgainButton->hide();
  ui_->discardButton->hide();
  if (!jobRows_ || jobRows_->topLevelItemCount() <= 1) {
    ui_->previousButton->setEnabled(false);
    ui_->nextButton->setEnabled(false);
  }
  connect(ui_->previousButton, &QToolButton::clicked, this, &CStatusDlg::showPrevious);
  connect(ui_->nextButton, &QToolButton::clicked, this, &CStatusDlg::showNext);
  connect(ui_->okButton, &QPushButton::clicked, this, &QDialog::accept);
  connect(ui_->sendAgainButton, &QPushButton::clicked, this, &CStatusDlg::sendAgain);
  connect(ui_->discardButton, &QPushButton::clicked, this, &CStatusDlg::discard);
  ui_->okButton->setDefault(true);
  Refresh();
  connect(&timer_, &QTimer::timeout, this, &CStatusDlg::onTimer);
  timer_.start(5000);
}

CStatusDlg::~CStatusDlg() = default;

int CStatusDlg::selectionMark() const {
  if (!jobRows_) return -1;
  const QModelIndex current = jobRows_->currentIndex();
  return current.isValid() ? current.row() : -1;
}

void CStatusDlg::setSelectionMark(int row) {
  // Only the mark moves; the highlighted row stays.
  jobRows_->selectionModel()->setCurrentIndex(jobRows_->model()->index(row, 0),
                                              QItemSelectionModel::NoUpdate);
}

const ImportJob* CStatusDlg::jobAtRow(int row) const {
  if (!jobRows_ || row < 0 || row >= jobRows_->topLevelItemCount()) return nullptr;
  bool ok = false;
  const int index = jobRows_->topLevelItem(row)->data(0, Qt::UserRole).toInt(&ok);
  if (!ok || index < 0 || index >= jobs_.size()) return nullptr;
  return &jobs_[index];
}

void CStatusDlg::Refresh() {
  QScrollBar* scroll = ui_->log->verticalScrollBar();
  const int firstVisibleLine = scroll->value();
  const int row = selectionMark();
  if (row >= 0) {
    // A row whose job is gone shows nothing rather than another job.
    const ImportJob* job = jobAtRow(row);
    ui_->number->setText(job ? QString::fromStdString(job->number) : QString());
    ui_->status->setText(job ? QString::fromStdString(job->status) : QString());
    // Shown with one '/' between its parts; the job is still known by its own name.
    ui_->jobFolder->setText(job ? QString::fromStdString(displayedPath(job->jobFolder))
                                : QString());
    ui_->log->setPlainText(job ? QString::fromStdString(job->log) : QString());
    shownStatus_ = job ? job->status : std::string();
    ui_->patients->clear();
    showKeptJobButtons(job);
    if (job) {
      for (const PatientEntry& patient : job->patients) {
        ui_->patients->addTopLevelItem(new QTreeWidgetItem(
            {QString::fromStdString(patient.name), QString::fromStdString(patient.patientId),
             QString::number(patient.imageCount)}));
      }
    }
  }
  if (ui_->autoScroll->isChecked())
    scroll->setValue(scroll->maximum());
  else
    scroll->setValue(firstVisibleLine);
}

void CStatusDlg::onTimer() {
  const int row = selectionMark();
  if (row < 0) return;
  const ImportJob* job = jobAtRow(row);
  if (job) ui_->status->setText(QString::fromStdString(job->status));
  const QString status = ui_->status->text();
  // A failed job waits for the user; its next state comes with jobChanged.
  if (status != QLatin1String("Finished") && status != QLatin1String("Stopped") &&
      status != QLatin1String("Failed"))
    Refresh();
}

void CStatusDlg::jobChanged(int index) {
  const int row = selectionMark();
  if (row < 0 || !jobRows_ || row >= jobRows_->topLevelItemCount()) return;
  if (jobRows_->topLevelItem(row)->data(0, Qt::UserRole).toInt() != index) return;
  // A change of state at once (its log and buttons with it); the log of a working job
  // follows with the timer, not with every file.
  const ImportJob* job = jobAtRow(row);
  if (job && job->status != shownStatus_) Refresh();
}

void CStatusDlg::setKeptJobActions(KeptJobActions actions) {
  keptJobActions_ = std::move(actions);
  Refresh();
}

void CStatusDlg::showKeptJobButtons(const ImportJob* job) {
  const bool failed = job && job->status == jobStatusText(JobStatus::Failed);
  ui_->sendAgainButton->setVisible(failed && keptJobActions_.sendAgain != nullptr);
  ui_->discardButton->setVisible(failed && keptJobActions_.discard != nullptr);
}

void CStatusDlg::sendAgain() {
  const ImportJob* job = jobAtRow(selectionMark());
  if (!job || !keptJobActions_.sendAgain) return;
  // A copy: asking for a station runs the event loop, and jobs added meanwhile move the
  // job list in memory.
  const std::string folder = job->jobFolder;
  const QString problem = keptJobActions_.sendAgain(folder);
  Refresh();
  if (!problem.isEmpty()) MessageBoxes::show(this, problem);
}

void CStatusDlg::discard() {
  const ImportJob* job = jobAtRow(selectionMark());
  if (!job || !keptJobActions_.discard) return;
  const std::string folder = job->jobFolder;
  if (!MessageBoxes::confirmDestructive(
          this, QStringLiteral("Discard this job? Its folder is deleted with "
                               "the files that did not reach their "
                               "stations.")))
    return;
  const QString problem = keptJobActions_.discard(folder);
  Refresh();
  if (!problem.isEmpty()) MessageBoxes::show(this, problem);
}

void CStatusDlg::showPrevious() {
  const int row = selectionMark();
  if (row > 0) {
    setSelectionMark(row - 1);
    Refresh();
  }
}

void CStatusDlg::showNext() {
  const int row = selectionMark();
  if (jobRows_ && row < jobRows_->topLevelItemCount() - 1) {
    setSelectionMark(row + 1);
    Refresh();
  }
}

QString CStatusDlg::jobNumber() const { return ui_->number->text(); }
QString CStatusDlg::jobStatus() const { return ui_->status->text(); }
QString CStatusDlg::jobFolder() const { return ui_->jobFolder->text(); }
QString CStatusDlg::logText() const { return ui_->log->toPlainText(); }
