#include "app/shell/TerminationSignals.h"

#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

constexpr int kHandled[] = {SIGTERM, SIGINT, SIGHUP};

int signalPipe[2] = {-1, -1};

void onTerminationSignal(int) {
  const char byte = 1;
  // Only async-signal-safe calls here; the event loop does the rest.
  [[maybe_unused]] const ssize_t ignored = write(signalPipe[0], &byte, 1);
}

}  // namespace

TerminationSignals::TerminationSignals(QObject* parent) : QObject(parent) {
  if (signalPipe[0] < 0 &&
      socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, signalPipe) != 0)
    return;
  notifier_ = std::make_unique<QSocketNotifier>(signalPipe[1], QSocketNotifier::Read);
  connect(notifier_.get(), &QSocketNotifier::activated, this, [this] {
    char buffer[16];
    while (read(signalPipe[1], buffer, sizeof buffer) > 0) {
    }
    Q_EMIT terminationRequested();
  });
  struct sigaction action {};
  action.sa_handler = onTerminationSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  for (int handled : kHandled) {
    struct sigaction before {};
    sigaction(handled, nullptr, &before);
    // Ignored when we were started (nohup, a background job): it stays ignored.
    if (before.sa_handler != SIG_IGN) sigaction(handled, &action, nullptr);
  }
}

TerminationSignals::~TerminationSignals() { restoreDefaults(); }

void TerminationSignals::restoreDefaults() {
  for (int handled : kHandled) {
    struct sigaction now {};
    sigaction(handled, nullptr, &now);
    if (now.sa_handler == onTerminationSignal) signal(handled, SIG_DFL);
  }
}
