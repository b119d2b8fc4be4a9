#include <QCheckBox>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTest>
#include <QToolButton>
#include <QTreeWidget>

#include "GuiTestRegistry.h"
#include "app/shell/CStatusDlg.h"
#include "jobs/JobList.h"

namespace {

// Rows as the main window fills them: the job's number, its index as data.
void fillRows(QTreeWidget& rows, const JobList& jobs) {
  rows.clear();
  for (int index = 0; index < jobs.size(); ++index) {
    auto* row = new QTreeWidgetItem({QString::fromStdString(jobs[index].number)});
    row->setData(0, Qt::UserRole, index);
    rows.addTopLevelItem(row);
  }
}

}  // namespace

class StatusWindowTest : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  void showsTheMarkedJobAndStepsWithoutChangingTheHighlight() {
    JobList jobs;
    jobs.AddJob("/jobs/a", "Finished", "Start to scan media /media/cdrom\r\n");
    jobs.AddJob("/jobs/b", "Sending", "Start to scan media /media/usb\r\n");
    for (const char* id : {"1", "2", "3"}) jobs.AddJobPatient("/jobs/b", "DOE^JOHN", id);
    jobs.AddJobPatient("/jobs/b", "DOE^JOHN", "2");
    QTreeWidget rows;
    fillRows(rows, jobs);
    rows.setCurrentItem(rows.topLevelItem(0));

    CStatusDlg status(jobs, &rows);
    QCOMPARE(status.jobNumber(), QStringLiteral("1"));
    QCOMPARE(status.jobStatus(), QStringLiteral("Finished"));
    QCOMPARE(status.jobFolder(), QStringLiteral("/jobs/a"));

    auto* next = status.findChild<QToolButton*>(QStringLiteral("nextButton"));
    QVERIFY(next->isEnabled());
    QTest::mouseClick(next, Qt::LeftButton);
    QCOMPARE(status.jobNumber(), QStringLiteral("2"));
    QCOMPARE(rows.currentIndex().row(), 1);
    QCOMPARE(rows.selectedItems(), QList<QTreeWidgetItem*>{rows.topLevelItem(0)});
    auto* patients = status.findChild<QTreeWidget*>(QStringLiteral("patients"));
    QCOMPARE(patients->topLevelItemCount(), 3);
    QCOMPARE(patients->topLevelItem(1)->text(0), QStringLiteral("DOE JOHN"));
    QCOMPARE(patients->topLevelItem(1)->text(2), QStringLiteral("2"));
    QTest::mouseClick(next, Qt::LeftButton);  // at the end: nothing
    QCOMPARE(status.jobNumber(), QStringLiteral("2"));
    status.showPrevious();
    QCOMPARE(status.jobNumber(), QStringLiteral("1"));
  }

  void aJobListThatChangedUnderneathShowsNothingInsteadOfCrashing() {
    JobList jobs;
    jobs.AddJob("/jobs/a", "Copying", "Start\r\n");
    QTreeWidget rows;
    fillRows(rows, jobs);
    rows.setCurrentItem(rows.topLevelItem(0));
    CStatusDlg status(jobs, &rows);
    QCOMPARE(status.jobFolder(), QStringLiteral("/jobs/a"));
    // One job: nowhere to step.
    QVERIFY(!status.findChild<QToolButton*>(QStringLiteral("nextButton"))->isEnabled());

    // A row whose data names a job that is not there.
    rows.topLevelItem(0)->setData(0, Qt::UserRole, 7);
    status.Refresh();
    QCOMPARE(status.jobFolder(), QString());
    QCOMPARE(status.logText(), QString());
    status.onTimer();
    QCOMPARE(status.jobNumber(), QString());

    // The rows gone altogether, and the list itself gone.
    rows.clear();
    status.Refresh();
    status.onTimer();
    status.showNext();
    {
      auto* gone = new QTreeWidget;
      fillRows(*gone, jobs);
      gone->setCurrentItem(gone->topLevelItem(0));
      CStatusDlg orphan(jobs, gone);
      delete gone;
      orphan.Refresh();
      orphan.showPrevious();
      orphan.onTimer();
      QCOMPARE(orphan.jobFolder(), QStringLiteral("/jobs/a"));  // last shown stays
    }
  }

  void timerRefreshesOnlyWorkingJobsAndAutoScrollFollowsTheLog() {
    JobList jobs;
    std::string longLog;
    for (int i = 0; i < 200; ++i) longLog += "INFO: File 'IM" + std::to_string(i) + "' copied\r\n";
    jobs.AddJob("/jobs/a", "Copying", longLog);
    QTreeWidget rows;
    fillRows(rows, jobs);
    rows.setCurrentItem(rows.topLevelItem(0));
    CStatusDlg status(jobs, &rows);
    status.show();
    auto* log = status.findChild<QPlainTextEdit*>(QStringLiteral("log"));
    QScrollBar* scroll = log->verticalScrollBar();
    QVERIFY(scroll->maximum() > 0);
    QCOMPARE(scroll->value(), scroll->maximum());

    // AutoScroll off: the reader's position stays while lines come in.
    status.findChild<QCheckBox*>(QStringLiteral("autoScroll"))->setChecked(false);
    scroll->setValue(10);
    jobs.AppendJobLog("/jobs/a", "Sending finished. (sended files: 200)\r\n");
    status.onTimer();
    QCOMPARE(scroll->value(), 10);
    QVERIFY(status.logText().contains(QStringLiteral("(sended files: 200)")));

    // An ended job is not refreshed by the timer, only its status is taken.
    jobs.SetJobStatus("/jobs/a", "Finished");
    jobs.AppendJobLog("/jobs/a", "late line\r\n");
    status.onTimer();
    QCOMPARE(status.jobStatus(), QStringLiteral("Finished"));
    QVERIFY(!status.logText().contains(QStringLiteral("late line")));
  }
};

KALVORA_GUI_TEST(StatusWindowTest);
#include "StatusWindowTest.moc"
