#include "app/shell/KalvoraTray.h"

#include <QApplication>

#include "app/shell/Icons.h"
#include "config/ProductVersion.h"
#include "jobs/KalvoraEngine.h"

namespace {

constexpr int kFirstStationCommand = 200;
constexpr int kLastStationCommand = 230;
// The tray tooltip of the platform this mirrors holds 63 characters.
constexpr int kTipLength = 63;

}  // namespace

KalvoraTray::KalvoraTray(KalvoraEngine& engine, std::function<bool()> dialogOpen, QObject* parent)
    : QObject(parent), engine_(engine), dialogOpen_(std::move(dialogOpen)) {
  stationsMenu_.setTitle(QStringLiteral("Standard Destination"));
  menu_.addMenu(&stationsMenu_);
  menu_.addSeparator();
  info_ = menu_.addAction(QStringLiteral("Info"), this, &KalvoraTray::infoRequested);
  manualStart_ = menu_.addAction(QStringLiteral("Start reading a media manually"), this,
                                 &KalvoraTray::manualStartRequested);
  options_ = menu_.addAction(QStringLiteral("Options"), this, &KalvoraTray::optionsRequested);
  QAction* open = menu_.addAction(QStringLiteral("Open"), this, &KalvoraTray::openRequested);
  menu_.setDefaultAction(open);
  menu_.addSeparator();
  menu_.addAction(QStringLiteral("Exit"), this, &KalvoraTray::exitRequested);
  icon_.setContextMenu(&menu_);
  connect(&icon_, &QSystemTrayIcon::activated, this, &KalvoraTray::activated);
  connect(&timer_, &QTimer::timeout, this, &KalvoraTray::AnimateTray);
  timer_.start(200);
}

void KalvoraTray::activated(QSystemTrayIcon::ActivationReason reason) {
  // A double click toggles the window, a single click does nothing. Some trays send two
  // Triggers, some a Trigger and a DoubleClick: either counts once.
  const int interval = QApplication::doubleClickInterval();
  const auto within = [interval](const QElapsedTimer& since) {
    return since.isValid() && since.elapsed() <= interval;
  };
  if (reason == QSystemTrayIcon::Trigger) {
    if (!within(lastTrigger_)) {
      lastTrigger_.start();
      return;
    }
  } else if (reason != QSystemTrayIcon::DoubleClick || within(lastToggle_)) {
    return;
  }
  lastTrigger_.invalidate();
  lastToggle_.start();
  Q_EMIT toggleRequested();
}

bool KalvoraTray::AddTrayIcon() {
  icon_.setIcon(Icons::trayFrame(0));
  shownIcon_ = QStringLiteral("frame0");
  icon_.setToolTip(
      QStringLiteral("%1 %2").arg(QLatin1String(kProductName), QLatin1String(kProductVersion)));
  refreshMenu();
  icon_.show();
  return QSystemTrayIcon::isSystemTrayAvailable();
}

void KalvoraTray::RemoveTrayIcon() { icon_.hide(); }

QString KalvoraTray::tipText(const KalvoraEngine& engine) {
  const AppSettings& settings = engine.settings;
  QString tip =
      QStringLiteral("%1 %2\n").arg(QLatin1String(kProductName), QLatin1String(kProductVersion));
  if (settings.sendToStandardDestination &&
      engine.stations.isValidIndex(settings.standardDestination)) {
    tip += QStringLiteral("Destination: ") +
           QString::fromStdString(engine.stations[settings.standardDestination].alias);
  } else {
    tip += QStringLiteral("No standard destination");
  }
  // Patient data waiting on disk must not be cut from the tip.
  const int undelivered = engine.undeliveredJobCount();
  if (undelivered == 0) return tip.left(kTipLength);
  const QString note = undelivered == 1
                           ? QStringLiteral("\n1 job not delivered")
                           : QStringLiteral("\n%1 jobs not delivered").arg(undelivered);
  return tip.left(kTipLength - note.size()) + note;
}

void KalvoraTray::UpdateTrayTip() {
  const QString tip = tipText(engine_);
  if (tip != icon_.toolTip()) icon_.setToolTip(tip);
}

void KalvoraTray::AnimateTray() {
  animationIndex_ = (animationIndex_ + 1) % 4;
  const bool busy = engine_.counters().busy;
  // Between jobs the icon keeps saying that patient data waits to be delivered.
  const bool attention = !busy && engine_.undeliveredJobCount() > 0;
  const QString wanted = busy        ? QStringLiteral("frame%1").arg(animationIndex_)
                         : attention ? QStringLiteral("attention")
                                     : QStringLiteral("idle");
  // Setting the same picture again would only cost the desktop a round trip.
  if (wanted == shownIcon_) return;
  shownIcon_ = wanted;
  icon_.setIcon(busy        ? Icons::trayFrame(animationIndex_)
                : attention ? Icons::trayAttention()
                            : Icons::trayIdle());
}

void KalvoraTray::notify(const QString& title, const QString& text, bool problem) {
  lastNotification_ = title + QLatin1Char('\n') + text;
  icon_.showMessage(title, text, problem ? QSystemTrayIcon::Warning : QSystemTrayIcon::Information,
                    problem ? 0 : 10000);
}

void KalvoraTray::refreshMenu() {
  const bool busy = engine_.counters().busy;
  stationsMenu_.clear();
  for (int index = 0; index < engine_.stations.GetSize(); ++index) {
    QAction* station =
        stationsMenu_.addAction(QString::fromStdString(engine_.stations[index].alias));
    const int commandId = kFirstStationCommand + index;
    station->setData(commandId);
    station->setCheckable(true);
    station->setChecked(index == engine_.settings.standardDestination);
    station->setEnabled(!busy);
    connect(station, &QAction::triggered, this,
            [this, commandId] { chooseStandardDestination(commandId); });
  }
  stationsMenu_.menuAction()->setEnabled(engine_.stations.GetSize() > 0);

  const bool dialogOpen = dialogOpen_ && dialogOpen_();
  for (QAction* action : {info_, manualStart_, options_}) action->setEnabled(!dialogOpen);
}

void KalvoraTray::chooseStandardDestination(int commandId) {
  // Only the first 31 stations can be chosen here; later entries are shown but do nothing.
  if (commandId < kFirstStationCommand || commandId > kLastStationCommand) return;
  engine_.settings.standardDestination = commandId - kFirstStationCommand;
  // In place: the action that was just triggered must outlive its signal.
  for (QAction* station : stationsMenu_.actions())
    station->setChecked(station->data().toInt() - kFirstStationCommand ==
                        engine_.settings.standardDestination);
}
