#pragma once

#include <QPointer>
#include <QString>

#include <functional>
#include <future>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/shell/JobNotifications.h"
#include "app/shell/KalvoraDialog.h"
#include "config/Configuration.h"
#include "config/KalvoraSettings.h"
#include "jobs/EngineObserver.h"
#include "jobs/JobCounters.h"
#include "platform/AutomountSetting.h"

namespace Ui {
class CKalvoraDlg;
}
class GuiPrompts;
class KalvoraEngine;
class KalvoraTray;
class CStatusDlg;
class QLabel;
class QTreeWidget;

// The compact main window: scan and send activity, counters, the job list, and the
// commands of the tray. It mostly stays hidden behind the tray icon.
class CKalvoraDlg : public KalvoraDialog, public EngineObserver {
  Q_OBJECT
 public:
  CKalvoraDlg(KalvoraEngine& engine, GuiPrompts& prompts, QString workingFolder,
              QWidget* parent = nullptr);
  ~CKalvoraDlg() override;

  // Loads the configuration (each problem in a message box), adds the tray icon, places
  // and shows the window as configured.
  void initialise();

  // Mount points of the optical drives holding a medium, for the manual start.
  void setOpticalMediaSource(std::function<std::vector<std::string>()> source) {
    opticalMedia_ = std::move(source);
  }

  // The desktop's automount setting, read and switched on at start-up.
  void setAutomountControl(std::function<AutomountSetting()> read, std::function<bool()> enable) {
    readAutomount_ = std::move(read);
    enableAutomount_ = std::move(enable);
  }

  // A medium was mounted: bring the window forward (when shown) and read it.
  void mediaArrived(const std::string& mountPoint);
  // A second start asks for the window.
  void showRequestedByAnotherStart();

  void showMainWindow();
  void hideMainWindow();
  void toggleMainWindow();
  bool visibleFlag() const { return visible_; }
  bool dialogOpen() const { return dialogOpen_; }
  bool expanded() const { return expanded_; }
  // The desktop's automount setting has been read (off the GUI thread) and acted on.
  bool autorunChecked() const { return autorunChecked_; }
  // Exit has run: the application is ending.
  bool exiting() const { return exiting_; }

  void toggleExpanded();
  void runAbout();
  void runOptions();
  void runManualStart();
  void runStatus();
  void stopScans();
  void stopSends();

  // Saves the configuration; false (after saying why) when it could not be saved and
  // the application should stay open. Without `interactive` problems go to stderr.
  bool PrepareExit(bool interactive = true);
  // Exit, Esc: PrepareExit, then every open question is cancelled and the application ends.
  void exitApplication();
  // Session end and termination signals: the same without questions to the user.
  void exitWithoutQuestions();
  // The session manager asks for the data to be saved (the session may end, or it takes a
  // checkpoint): the configuration is saved, and Kalvora goes on.
  void commitSessionData();

  KalvoraTray& tray() { return *tray_; }
  QTreeWidget* jobList() const;
  void applyStayOnTop();

  // EngineObserver
  void jobAdded(int index) override;
  void jobChanged(int index) override;
  void countersChanged() override;
  void busyChanged(bool busy) override;
  void sendReported(SendEvent event, const SendProgress& progress) override;

  // "Media #3 (Doe John)": how questions and notifications name a job.
  QString jobDescription(const std::string& jobFolder) const;

 Q_SIGNALS:
  // The application should end now (configuration saved, questions cancelled).
  void exitRequested();

 protected:
  void reject() override;
  void accept() override;
  void closeEvent(QCloseEvent* event) override;
  void moveEvent(QMoveEvent* event) override;

 private:
  // Saves the four files as the application stands; the problem, if any.
  std::optional<std::string> saveConfigurationNow();
  // Records in the audit trail what the Options dialog changed of `before`; the files it
  // changed are saved from now on, also where they could not be read at start.
  void noteOptionsChange(const Configuration& before,
                         const std::map<std::string, StationOptions>& optionsBefore);
  // The tray menu greys its commands while a dialog runs.
  void setDialogOpen(bool open);
  void runAutorunCheck();
  void askToEnableAutomount(AutomountSetting setting);
  void setJobRow(int index);
  void showStatusIcon(QLabel* label, StatusIcon state);
  // Runs a dialog of the window: modal to this window only, so that the questions of the
  // workers stay answerable meanwhile.
  int runWindowModal(QDialog& dialog);

  std::unique_ptr<Ui::CKalvoraDlg> ui_;
  KalvoraEngine& engine_;
  GuiPrompts& prompts_;
  QString workingFolder_;
  std::unique_ptr<KalvoraTray> tray_;
  JobNotifications notifications_;
  QPointer<CStatusDlg> statusWindow_;
  std::function<std::vector<std::string>()> opticalMedia_;
  std::function<AutomountSetting()> readAutomount_;
  std::function<bool()> enableAutomount_;
  bool visible_ = false;
  bool dialogOpen_ = false;
  bool expanded_ = false;
  bool trayAdded_ = false;
  bool exiting_ = false;
  bool placed_ = false;  // moved to the saved position
  // Configuration files (config.dat ...) that could not be read at start: left as they are.
  std::vector<std::string> unreadFiles_;
  bool autorunChecked_ = false;
  std::future<void> automountRead_;
};
