#pragma once

#include <QPointer>
#include <QTimer>

#include <functional>
#include <memory>
#include <string>

#include "app/shell/KalvoraDialog.h"

namespace Ui {
class CStatusDlg;
}
class JobList;
struct ImportJob;
class QTreeWidget;

// One job in detail: number, status, folder, log and patients. Follows the row that
// carries the main window's selection mark and refreshes every 5 s while the job works.
class CStatusDlg : public KalvoraDialog {
  Q_OBJECT
 public:
  // `jobRows` is the main window's job list; each row's data is its job's index.
  CStatusDlg(const JobList& jobs, QTreeWidget* jobRows, QWidget* parent = nullptr);
  ~CStatusDlg() override;

  // What "Send again" and "Discard" do with the folder of a "Failed" job; without them the
  // buttons stay hidden. Each returns why it could not act (shown to the user), or nothing.
  struct KeptJobActions {
    std::function<QString(const std::string& jobFolder)> sendAgain;
    std::function<QString(const std::string& jobFolder)> discard;
  };
  void setKeptJobActions(KeptJobActions actions);

  void Refresh();
  void showPrevious();
  void showNext();
  // Every 5 s: refreshes unless the job has ended.
  void onTimer();
  // The engine changed the job at `index`: a new state of the job in view is shown at once.
  void jobChanged(int index);

  QString jobNumber() const;
  QString jobStatus() const;
  QString jobFolder() const;
  QString logText() const;

 private:
  int selectionMark() const;
  void setSelectionMark(int row);
  // The job at a row, or null when that row or its job is gone.
  const ImportJob* jobAtRow(int row) const;
  void showKeptJobButtons(const ImportJob* job);
  void sendAgain();
  void discard();

  std::unique_ptr<Ui::CStatusDlg> ui_;
  const JobList& jobs_;
  QPointer<QTreeWidget> jobRows_;
  QTimer timer_;
  KeptJobActions keptJobActions_;
  std::string shownStatus_;  // the status the last refresh showed
};
