#include "app/shell/SingleInstance.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QLocalSocket>

#include <string>

#include "platform/FileSystemPaths.h"
#include "platform/PrivateFolder.h"
#include "platform/UserFolders.h"

namespace {

constexpr char kShowRequest[] = "show\n";

// $XDG_RUNTIME_DIR belongs to the user's session; without it, a private folder of the
// user's own below the temp folder, or, when someone else made that one first (or could swap
// it), one below the user's cache folder. Empty when neither is private.
QString defaultRuntimeFolder() {
  const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR");
  if (runtime.startsWith('/')) return QString::fromLocal8Bit(runtime);
  std::string cache = defaultTempFolder();  // <cache>/kalvora/
  cache.resize(cache.find_last_not_of('/') + 1);
  cache.resize(cache.rfind('/') + 1);
  const std::string candidates[] = {
      QFile::encodeName(QDir::tempPath()).toStdString() + "/kalvora-" + std::to_string(getuid()),
      cache + "kalvora-runtime"};
  for (const std::string& folder : candidates) {
    makePrivateFolders(folder);
    if (!whyFolderIsNotPrivate(folder)) return QFile::decodeName(folder.c_str());
  }
  return QString();
}

}  // namespace

SingleInstance::SingleInstance(QString runtimeFolder, QObject* parent)
    : QObject(parent),
      folder_(runtimeFolder.isEmpty() ? defaultRuntimeFolder() : std::move(runtimeFolder)) {
  connect(&server_, &QLocalServer::newConnection, this, [this] {
    while (QLocalSocket* client = server_.nextPendingConnection()) {
      connect(client, &QLocalSocket::disconnected, client, &QObject::deleteLater);
      connect(client, &QLocalSocket::readyRead, this, [this, client] {
        if (client->readAll().contains('\n')) Q_EMIT showRequested();
        client->disconnectFromServer();
      });
    }
  });
}

SingleInstance::~SingleInstance() {
  server_.close();
  if (lockFd_ >= 0) close(lockFd_);
}

QString SingleInstance::socketPath() const {
  return folder_.isEmpty() ? QString() : folder_ + QLatin1Char('/') + QLatin1String(kName);
}

QString SingleInstance::lockPath() const {
  return folder_.isEmpty() ? QString() : socketPath() + QStringLiteral(".lock");
}

bool SingleInstance::acquire() {
  if (folder_.isEmpty()) return true;
  const QByteArray lock = QFile::encodeName(lockPath());
  lockFd_ = open(lock.constData(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
  if (lockFd_ < 0) return true;
  if (flock(lockFd_, LOCK_EX | LOCK_NB) != 0) {
    close(lockFd_);
    lockFd_ = -1;
    return false;
  }
  // We hold the lock, so a socket file left there is a crashed instance's.
  QLocalServer::removeServer(socketPath());
  server_.setSocketOptions(QLocalServer::UserAccessOption);
  server_.listen(socketPath());
  return true;
}

bool SingleInstance::notifyRunningInstance(int timeoutMs) {
  if (folder_.isEmpty()) return false;
  QLocalSocket socket;
  socket.connectToServer(socketPath());
  if (!socket.waitForConnected(timeoutMs)) return false;
  socket.write(kShowRequest);
  const bool written = socket.waitForBytesWritten(timeoutMs);
  socket.disconnectFromServer();
  if (socket.state() != QLocalSocket::UnconnectedState) socket.waitForDisconnected(timeoutMs);
  return written;
}
