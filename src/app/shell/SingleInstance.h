#pragma once

#include <QLocalServer>
#include <QObject>
#include <QString>

// One Kalvora per user session: the first start holds a lock in the user's runtime
// folder and listens on a local socket; a later start asks it to show its window.
// The lock goes with the process, so a crashed instance leaves nothing that blocks.
class SingleInstance : public QObject {
  Q_OBJECT
 public:
  static constexpr char kName[] = "KALVORA-088FA840-B10D-11D3-BC36-006067709674";

  // `runtimeFolder` empty: $XDG_RUNTIME_DIR, or a private folder below the temp folder.
  explicit SingleInstance(QString runtimeFolder = QString(), QObject* parent = nullptr);
  ~SingleInstance() override;

  // True when this is the first instance; it then takes requests from later starts.
  // Also true when the runtime folder is unusable (nothing to coordinate with).
  bool acquire();
  // From a later start: asks the first instance to show its window. False when it
  // could not be reached (still starting, or gone).
  bool notifyRunningInstance(int timeoutMs = 3000);

  QString socketPath() const;
  QString lockPath() const;

 Q_SIGNALS:
  void showRequested();

 private:
  QString folder_;
  int lockFd_ = -1;
  QLocalServer server_;
};
