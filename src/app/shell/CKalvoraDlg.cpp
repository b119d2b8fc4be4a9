#include "app/shell/CKalvoraDlg.h"

#include <QCloseEvent>
#include <QFileInfo>
#include <QGuiApplication>
#include <QHeaderView>
#include <QScreen>
#include <QTimer>
#include <QToolButton>
#include <QTreeWidget>

#include <algorithm>
#include <iostream>

#include "app/config/COptionsDlg.h"
#include "app/shell/CAboutBox.h"
#include "app/shell/CSelectMediaDialog.h"
#include "app/shell/CStatusDlg.h"
#include "app/shell/GuiPrompts.h"
#include "app/shell/Icons.h"
#include "app/shell/KalvoraTray.h"
#include "app/shell/MessageBoxes.h"
#include "config/ConfigFiles.h"
#include "config/ConfigurationChanges.h"
#include "config/KalvoraSettings.h"
#include "jobs/AuditTrail.h"
#include "jobs/KalvoraEngine.h"
#include "ui_CKalvoraDlg.h"

namespace {

// The job list adds this much height to the window when it is shown.
constexpr int kJobListHeight = 100;

constexpr int kSendStopGraceMs = 2000;

Configuration configurationOf(const KalvoraEngine& engine) {
  return {engine.settings, engine.filters, engine.rules, engine.stations};
}

// A position saved on a screen that is gone (a projector, a docking station) would put the
// window where no one sees it: then it goes to the nearest place on the primary screen.
QPoint positionOnAScreen(const QPoint& saved, const QSize& size) {
  const QRect wanted(saved, size);
  for (const QScreen* screen : QGuiApplication::screens())
    if (screen->availableGeometry().contains(wanted.center())) return saved;
  const QScreen* primary = QGuiApplication::primaryScreen();
  if (!primary) return saved;
  const QRect area = primary->availableGeometry();
  return {
      std::clamp(saved.x(), area.left(), std::max(area.left(), area.right() + 1 - size.width())),
      std::clamp(saved.y(), area.top(), std::max(area.top(), area.bottom() + 1 - size.height()))};
}

enum class KeptJobAction { SendAgain, Discard };

// Why the engine refused to act on a kept job, as far as can be seen from here: a command
// line may have sent or discarded it, or may be working on it now.
QString keptJobProblem(const KalvoraEngine& engine, const std::string& folder,
                       KeptJobAction action) {
  const int index = engine.jobs().FindJob(folder);
  const QString job =
      index < 0 ? QStringLiteral("This job")
                : QStringLiteral("Job %1").arg(QString::fromStdString(engine.jobs()[index].number));
  const QString path = QString::fromStdString(folder);
  if (!QFileInfo(path).exists() && !QFileInfo(path).isSymLink())
    return QStringLiteral(
               "%1: its folder %2 is gone. It was sent or discarded elsewhere, for "
               "example with kalvora-cli.")
        .arg(job, path);
  if (engine.isJobActive(folder))
    return QStringLiteral("%1 is still working. Try again when it has ended.").arg(job);
  if (action == KeptJobAction::SendAgain)
    return QStringLiteral(
               "%1 was not sent again: no station was chosen for it, or another "
               "program (for example kalvora-cli) is working on its folder %2.")
        .arg(job, path);
  return QStringLiteral(
             "%1 was not discarded: another program (for example kalvora-cli) is "
             "working on its folder %2. Try again when it has finished.")
      .arg(job, path);
}

}  // namespace

CKalvoraDlg::CKalvoraDlg(KalvoraEngine& engine, GuiPrompts& prompts, QString workingFolder,
                         QWidget* parent)
    : KalvoraDialog(parent),
      ui_(std::make_unique<Ui::CKalvoraDlg>()),
      engine_(engine),
      prompts_(prompts),
      workingFolder_(std::move(workingFolder)),
      tray_(std::make_unique<KalvoraTray>(engine, [this] { return dialogOpen_; })),
      notifications_(engine),
      readAutomount_([] { return readAutomountSetting(); }),
      enableAutomount_([] { return enableAutomount(); }) {
  setWindowFlags(Qt::Tool | Qt::FramelessWindowHint);
  setWindowTitle(QStringLiteral("Kalvora"));
  ui_->setupUi(body());
  layout()->setSizeConstraint(QLayout::SetFixedSize);
  layout()->setContentsMargins(6, 6, 6, 6);

  ui_->logoButton->setIcon(QIcon(Icons::logo(devicePixelRatioF())));
  ui_->logoButton->setIconSize(QSize(140, 39));
  ui_->hideButton->setIcon(Icons::close());
  ui_->optionsButton->setIcon(Icons::options());
  ui_->stopScansButton->setIcon(Icons::stop());
  ui_->stopSendsButton->setIcon(Icons::stop());
  ui_->manualStartButton->setIcon(Icons::manualStart());
  ui_->expandButton->setIcon(Icons::expand());
  ui_->hideButton->setDefault(true);

  ui_->jobList->setHeaderLabels(
      {QStringLiteral("Media #"), QStringLiteral("Patients"), QStringLiteral("State")});
  // The compact window has room for the icon and the patients; the state in words follows
  // where the row has room (and is the icon's tooltip).
  ui_->jobList->setColumnWidth(0, 52);
  ui_->jobList->setColumnWidth(1, 121);
  ui_->jobList->setColumnWidth(2, 64);
  // The list takes the window's width; it never widens the window.
  ui_->jobList->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
  ui_->jobList->setFixedHeight(kJobListHeight);
  ui_->jobList->hide();
  ui_->jobsLabel->hide();

  showStatusIcon(ui_->scanIcon, StatusIcon::Idle);
  showStatusIcon(ui_->sendIcon, StatusIcon::Idle);
  ui_->stopScansButton->setEnabled(false);
  ui_->stopSendsButton->setEnabled(false);

  connect(ui_->logoButton, &QPushButton::clicked, this, &CKalvoraDlg::runAbout);
  connect(ui_->hideButton, &QPushButton::clicked, this, &CKalvoraDlg::hideMainWindow);
  connect(ui_->optionsButton, &QPushButton::clicked, this, &CKalvoraDlg::runOptions);
  connect(ui_->manualStartButton, &QPushButton::clicked, this, &CKalvoraDlg::runManualStart);
  connect(ui_->expandButton, &QPushButton::clicked, this, &CKalvoraDlg::toggleExpanded);
  connect(ui_->stopScansButton, &QPushButton::clicked, this, &CKalvoraDlg::stopScans);
  connect(ui_->stopSendsButton, &QPushButton::clicked, this, &CKalvoraDlg::stopSends);
  connect(ui_->jobList, &QTreeWidget::itemDoubleClicked, this, &CKalvoraDlg::runStatus);

  connect(tray_.get(), &KalvoraTray::infoRequested, this, &CKalvoraDlg::runAbout);
  connect(tray_.get(), &KalvoraTray::manualStartRequested, this, &CKalvoraDlg::runManualStart);
  connect(tray_.get(), &KalvoraTray::optionsRequested, this, &CKalvoraDlg::runOptions);
  connect(tray_.get(), &KalvoraTray::openRequested, this, &CKalvoraDlg::showMainWindow);
  connect(tray_.get(), &KalvoraTray::exitRequested, this, &CKalvoraDlg::exitApplication);
  connect(tray_.get(), &KalvoraTray::toggleRequested, this, &CKalvoraDlg::toggleMainWindow);

  engine_.setObserver(this);
  prompts_.setMainWindow(this);
  prompts_.setJobDescription(
      [this](const std::string& jobFolder) { return jobDescription(jobFolder); });
}

CKalvoraDlg::~CKalvoraDlg() {
  engine_.setObserver(nullptr);
  // Its answer, posted to this window, is dropped with the window.
  if (automountRead_.valid()) automountRead_.wait();
}

void CKalvoraDlg::initialise() {
  Configuration config;
  ConfigLoadResult loaded = loadConfiguration(workingFolder_.toStdString(), config);
  const std::vector<std::string> problems = loaded.messages;
  unreadFiles_ = std::move(loaded.damagedFiles);
  engine_.settings = config.settings;
  engine_.filters = config.filters;
  engine_.rules = config.rules;
  engine_.stations = config.stations;
  std::vector<std::string> messages = problems;
  KalvoraSettings own;
  // Unreadable, every station gets one association, which any station serves.
  if (auto message = loadKalvoraSettings(workingFolder_.toStdString(), own))
    messages.push_back(*message);
  else
    engine_.stationOptions = own.stations;
  std::optional<std::string> auditProblem;
  engine_.auditTrail = openAuditTrail(workingFolder_.toStdString(), auditProblem);
  if (auditProblem) messages.push_back(*auditProblem);
  for (const std::string& message : messages) {
    // Ended while a message was shown: the others would only hold the exit up.
    if (exiting_) return;
    MessageBoxes::show(nullptr, QString::fromStdString(message));
  }
  if (exiting_) return;

  // Jobs an earlier run did not deliver, or left behind when it ended abruptly.
  engine_.RecoverJobFolders();

  visible_ = engine_.settings.startMinimized == 0;
  trayAdded_ = tray_->AddTrayIcon();
  if (!trayAdded_) {
    visible_ = true;
    // Without a tray the window is the only way back to the application: on the taskbar.
    setWindowFlags((windowFlags() & ~Qt::WindowType_Mask) | Qt::Window);
  }
  move(positionOnAScreen({engine_.settings.windowX, engine_.settings.windowY}, sizeHint()));
  placed_ = true;
  runAutorunCheck();
  applyStayOnTop();
  tray_->UpdateTrayTip();
  if (visible_) showMainWindow();
}

// The desktop's tool may take seconds to answer: it is asked on a thread of its own, and the
// window goes on meanwhile.
void CKalvoraDlg::runAutorunCheck() {
  if (exiting_ || !readAutomount_) {
    autorunChecked_ = true;
    return;
  }
  automountRead_ = std::async(std::launch::async, [this, read = readAutomount_] {
    const AutomountSetting setting = read();
    QMetaObject::invokeMethod(
        this, [this, setting] { askToEnableAutomount(setting); }, Qt::QueuedConnection);
  });
}

void CKalvoraDlg::askToEnableAutomount(AutomountSetting setting) {
  // Only a desktop that has the setting and has it off is asked; No asks again next time.
  if (!exiting_ && setting == AutomountSetting::Disabled &&
      MessageBoxes::askYesNo(nullptr, QString::fromLatin1(kEnableAutomountQuestion),
                             MessageBoxes::Icon::None) &&
      enableAutomount_) {
    automountRead_.wait();
    automountRead_ = std::async(std::launch::async, [enable = enableAutomount_] { enable(); });
  }
  autorunChecked_ = true;
}

QTreeWidget* CKalvoraDlg::jobList() const { return ui_->jobList; }

void CKalvoraDlg::showMainWindow() {
  visible_ = true;
  show();
  raise();
  activateWindow();
}

void CKalvoraDlg::hideMainWindow() {
  // Without a tray nothing would bring a hidden window back: it goes to the taskbar.
  if (!trayAdded_ && !exiting_) {
    showMinimized();
    return;
  }
  visible_ = false;
  hide();
}

void CKalvoraDlg::toggleMainWindow() {
  if (visible_)
    hideMainWindow();
  else
    showMainWindow();
}

void CKalvoraDlg::showRequestedByAnotherStart() {
  if (!visible_ || isMinimized()) {
    if (isMinimized()) showNormal();
    showMainWindow();
  }
}

void CKalvoraDlg::mediaArrived(const std::string& mountPoint) {
  // A hidden window stays hidden; a shown one comes to the front.
  if (visible_) {
    raise();
    activateWindow();
  }
  engine_.StartScan(mountPoint);
}

void CKalvoraDlg::applyStayOnTop() {
  const bool onTop = engine_.settings.stayOnTop != 0;
  if (onTop == windowFlags().testFlag(Qt::WindowStaysOnTopHint)) return;
  setWindowFlag(Qt::WindowStaysOnTopHint, onTop);
  // Changing the flags hides the window.
  if (visible_) show();
}

void CKalvoraDlg::toggleExpanded() {
  expanded_ = !expanded_;
  ui_->jobList->setVisible(expanded_);
  ui_->jobsLabel->setVisible(expanded_);
  ui_->expandButton->setIcon(expanded_ ? Icons::collapse() : Icons::expand());
}

void CKalvoraDlg::setDialogOpen(bool open) {
  dialogOpen_ = open;
  tray_->refreshMenu();
}

int CKalvoraDlg::runWindowModal(QDialog& dialog) {
  dialog.setWindowModality(Qt::WindowModal);
  return dialog.exec();
}

void CKalvoraDlg::runAbout() {
  if (dialogOpen_) return;
  setDialogOpen(true);
  CAboutBox about(this);
  runWindowModal(about);
  setDialogOpen(false);
}

void CKalvoraDlg::runOptions() {
  if (engine_.counters().busy) {
    MessageBoxes::show(this, QStringLiteral("Can't change the options while running!"));
    return;
  }
  if (dialogOpen_) return;
  setDialogOpen(true);
  const Configuration before = configurationOf(engine_);
  const std::map<std::string, StationOptions> optionsBefore = engine_.stationOptions;
  COptionsDlg options(
      {engine_.settings, engine_.stations, engine_.rules, engine_.filters, &engine_.stationOptions},
      this);
  options.setWorkingFolder(workingFolder_.toStdString());
  const int result = runWindowModal(options);
  setDialogOpen(false);  // also shows what the dialog changed of the stations
  noteOptionsChange(before, optionsBefore);
  applyStayOnTop();
  if (result == -1) MessageBoxes::show(this, QStringLiteral("Dialog box could not be created!"));
  tray_->UpdateTrayTip();
}

void CKalvoraDlg::runManualStart() {
  if (dialogOpen_) return;
  setDialogOpen(true);
  CSelectMediaDialog select(opticalMedia_ ? opticalMedia_() : std::vector<std::string>(), this);
  const int result = runWindowModal(select);
  setDialogOpen(false);
  if (result == QDialog::Accepted) engine_.StartScan(select.selectedRoot());
}

void CKalvoraDlg::runStatus() {
  if (ui_->jobList->selectedItems().isEmpty()) return;
  CStatusDlg status(engine_.jobs(), ui_->jobList, this);
  statusWindow_ = &status;
  // The folders are taken by value: the engine's work may add jobs while it runs.
  status.setKeptJobActions({[this](std::string folder) {
                              if (engine_.ResendJob(folder)) return QString();
                              return keptJobProblem(engine_, folder, KeptJobAction::SendAgain);
                            },
                            [this](std::string folder) {
                              if (engine_.DiscardJob(folder) >= 0) return QString();
                              return keptJobProblem(engine_, folder, KeptJobAction::Discard);
                            }});
  runWindowModal(status);
}

// The stop returns at once and completes on the workers' last reports. A worker waiting on a
// question cannot see it until the question is answered: until then its kind is cancelled.
void CKalvoraDlg::stopScans() {
  prompts_.stopAsking(GuiPrompts::QuestionKind::NewPatientData);
  engine_.RequestStopScans();
  countersChanged();
}

void CKalvoraDlg::stopSends() {
  prompts_.stopAsking(GuiPrompts::QuestionKind::RetryAssociation);
  engine_.RequestStopSends();
  // A send waiting for a station's answer sees no stop request: after a short grace its
  // association is cut (its job is kept, Failed).
  QTimer::singleShot(kSendStopGraceMs, this, [this] { engine_.AbortStoppingSends(); });
  countersChanged();
}

// The change takes effect now, though the files are written at exit: it is recorded now.
void CKalvoraDlg::noteOptionsChange(const Configuration& before,
                                    const std::map<std::string, StationOptions>& optionsBefore) {
  const std::string folder = workingFolder_.toStdString();
  std::vector<std::string> files;
  for (const std::string& name : changedConfigurationFiles(before, configurationOf(engine_))) {
    files.push_back(folder + "/" + name);
    // What the user set in the dialog is saved, also in place of a file that was not read.
    unreadFiles_.erase(std::remove(unreadFiles_.begin(), unreadFiles_.end(), name),
                       unreadFiles_.end());
  }
  // The station dialogs write a station's TLS to kalvora.json at once.
  if (engine_.stationOptions != optionsBefore)
    files.push_back(folder + "/" + kKalvoraSettingsFileName);
  if (auto problem = auditConfigurationChange(folder, files))
    MessageBoxes::show(this, QString::fromStdString(*problem), MessageBoxes::Icon::Error);
}

std::optional<std::string> CKalvoraDlg::saveConfigurationNow() {
  // A hidden window learns of its moves only when shown again.
  if (placed_) {
    engine_.settings.windowX = x();
    engine_.settings.windowY = y();
  }
  // A file that could not be read stays as it is, to be reported again, rather than be
  // replaced by the defaults that stood in for it (anonymization off, no stations).
  return saveConfiguration(workingFolder_.toStdString(), configurationOf(engine_), unreadFiles_);
}

bool CKalvoraDlg::PrepareExit(bool interactive) {
  tray_->RemoveTrayIcon();
  const std::optional<std::string> problem = saveConfigurationNow();
  if (!problem) return true;
  if (!interactive) {
    std::cerr << *problem << "\n";
    return true;
  }
  MessageBoxes::show(this, QString::fromStdString(*problem), MessageBoxes::Icon::Error);
  // The application stays, so the user can make room and exit again.
  tray_->AddTrayIcon();
  return false;
}

void CKalvoraDlg::commitSessionData() {
  if (exiting_) return;
  if (const std::optional<std::string> problem = saveConfigurationNow())
    std::cerr << *problem << "\n";
}

void CKalvoraDlg::exitApplication() {
  if (!PrepareExit(true)) return;
  exiting_ = true;
  prompts_.cancelAll();
  Q_EMIT exitRequested();
}

void CKalvoraDlg::exitWithoutQuestions() {
  PrepareExit(false);
  exiting_ = true;
  prompts_.cancelAll();
  Q_EMIT exitRequested();
}

void CKalvoraDlg::reject() { exitApplication(); }

void CKalvoraDlg::accept() { exitApplication(); }

void CKalvoraDlg::closeEvent(QCloseEvent* event) {
  // The window manager's close hides, as the "X" does.
  event->ignore();
  hideMainWindow();
}

void CKalvoraDlg::moveEvent(QMoveEvent* event) {
  KalvoraDialog::moveEvent(event);
  if (!placed_) return;
  engine_.settings.windowX = x();
  engine_.settings.windowY = y();
}

void CKalvoraDlg::setJobRow(int index) {
  const JobList& jobs = engine_.jobs();
  if (index < 0 || index >= jobs.size()) return;
  QTreeWidgetItem* row = ui_->jobList->topLevelItem(index);
  if (!row) {
    row = new QTreeWidgetItem;
    ui_->jobList->addTopLevelItem(row);
  }
  const QString patients = QString::fromStdString(jobs.PatientsText(index));
  row->setText(0, QString::fromStdString(jobs[index].number));
  row->setText(1, patients);
  row->setData(0, Qt::UserRole, index);
  const QString state = QString::fromStdString(jobs[index].status);
  // A job whose files did not all arrive keeps its red mark until sent again or discarded.
  row->setIcon(0, Icons::jobState(jobs[index].status));
  row->setText(2, state);
  row->setToolTip(0, state);
  row->setToolTip(2, state);
  // The column is narrow: the whole list of patients.
  row->setToolTip(1, patients);
  tray_->UpdateTrayTip();
}

void CKalvoraDlg::jobAdded(int index) {
  // Rows are the jobs in order; fill any row still missing up to this one.
  for (int row = ui_->jobList->topLevelItemCount(); row <= index; ++row) setJobRow(row);
  setJobRow(index);
}

void CKalvoraDlg::jobChanged(int index) {
  setJobRow(index);
  if (statusWindow_) statusWindow_->jobChanged(index);
  // After the report that changed it is handled whole: a send's end tells its images and
  // station only after the job's change.
  QMetaObject::invokeMethod(
      this,
      [this, index] {
        if (const auto message = notifications_.jobChanged(index))
          tray_->notify(message->title, message->text, message->problem);
      },
      Qt::QueuedConnection);
}

void CKalvoraDlg::sendReported(SendEvent event, const SendProgress& progress) {
  if (event == SendEvent::SendFinished) notifications_.sendFinished(progress);
}

QString CKalvoraDlg::jobDescription(const std::string& jobFolder) const {
  const int index = engine_.jobs().FindJob(jobFolder);
  if (index < 0) return {};
  const QString medium =
      QStringLiteral("Media #%1").arg(QString::fromStdString(engine_.jobs()[index].number));
  const QString patients = QString::fromStdString(engine_.jobs().PatientsText(index));
  return patients.isEmpty() ? medium : QStringLiteral("%1 (%2)").arg(medium, patients);
}

void CKalvoraDlg::showStatusIcon(QLabel* label, StatusIcon state) {
  label->setPixmap(Icons::status(state).pixmap(QSize(16, 16), devicePixelRatioF()));
}

void CKalvoraDlg::countersChanged() {
  const JobCounters& counters = engine_.counters();
  ui_->scanFiles->setText(QString::fromStdString(counters.scanFilesLabel));
  ui_->scanErrors->setText(QString::fromStdString(counters.scanErrorsLabel));
  ui_->sendFiles->setText(QString::fromStdString(counters.sendFilesLabel));
  ui_->sendErrors->setText(QString::fromStdString(counters.sendErrorsLabel));
  showStatusIcon(ui_->scanIcon, counters.scanIcon);
  showStatusIcon(ui_->sendIcon, counters.sendIcon);
  // While a stop is under way its button stays pressed and disabled.
  const struct {
    QToolButton* button;
    bool stopping;
    bool enabled;
    GuiPrompts::QuestionKind questions;
    QString tip;
  } stops[] = {{ui_->stopScansButton, engine_.scanStopping(), counters.scanStopEnabled,
                GuiPrompts::QuestionKind::NewPatientData, QStringLiteral("Stop reading")},
               {ui_->stopSendsButton, engine_.sendStopping(), counters.sendStopEnabled,
                GuiPrompts::QuestionKind::RetryAssociation, QStringLiteral("Stop sending")}};
  for (const auto& stop : stops) {
    stop.button->setCheckable(true);
    stop.button->setChecked(stop.stopping);
    stop.button->setEnabled(stop.enabled && !stop.stopping);
    stop.button->setToolTip(stop.stopping ? QStringLiteral("Stopping...") : stop.tip);
    if (!stop.stopping && !prompts_.asking(stop.questions)) prompts_.resumeAsking(stop.questions);
  }
}

void CKalvoraDlg::busyChanged(bool /*busy*/) {
  tray_->AnimateTray();
  tray_->refreshMenu();
}
