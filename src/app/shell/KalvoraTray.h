#pragma once

#include <QElapsedTimer>
#include <QIcon>
#include <QMenu>
#include <QObject>
#include <QSystemTrayIcon>
#include <QTimer>

#include <functional>

class KalvoraEngine;

// The tray icon: tooltip with the standard destination, the animation while a job
// works, double click to show or hide the window, and the menu.
class KalvoraTray : public QObject {
  Q_OBJECT
 public:
  // `dialogOpen` tells whether one of the main window's dialogs runs.
  KalvoraTray(KalvoraEngine& engine, std::function<bool()> dialogOpen, QObject* parent = nullptr);

  // Shows the icon; false where the desktop has no tray (now). The icon stays asked for, so
  // that a tray that starts later still shows it.
  bool AddTrayIcon();
  void RemoveTrayIcon();
  void UpdateTrayTip();
  void AnimateTray();

  // Fills the menu again from the busy flag, the stations, the standard destination and the
  // dialog-open flag; called whenever one of them changes. A menu shown by the desktop
  // (D-Bus) does not reliably show changes made as it opens.
  void refreshMenu();
  QMenu& menu() { return menu_; }
  // Ids 200 to 230 choose the station at id - 200 as standard destination.
  void chooseStandardDestination(int commandId);

  // A balloon (or the desktop's notification) over the icon.
  void notify(const QString& title, const QString& text, bool problem);
  QString lastNotification() const { return lastNotification_; }

  QString toolTip() const { return icon_.toolTip(); }
  // "idle", "attention" (jobs not delivered) or "frame0" to "frame3".
  QString iconName() const { return shownIcon_; }
  QIcon currentIcon() const { return icon_.icon(); }
  int animationIndex() const { return animationIndex_; }
  QSystemTrayIcon& icon() { return icon_; }

  static QString tipText(const KalvoraEngine& engine);

 Q_SIGNALS:
  void infoRequested();
  void manualStartRequested();
  void optionsRequested();
  void openRequested();
  void exitRequested();
  void toggleRequested();

 private:
  void activated(QSystemTrayIcon::ActivationReason reason);

  KalvoraEngine& engine_;
  std::function<bool()> dialogOpen_;
  QSystemTrayIcon icon_;
  QMenu menu_;
  QMenu stationsMenu_;
  QAction* info_ = nullptr;
  QAction* manualStart_ = nullptr;
  QAction* options_ = nullptr;
  QTimer timer_;
  int animationIndex_ = -1;
  QString shownIcon_;
  QString lastNotification_;
  // Trays that report a left click as Trigger and never send DoubleClick.
  QElapsedTimer lastTrigger_;
  QElapsedTimer lastToggle_;
};
