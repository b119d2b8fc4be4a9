#include "app/shell/Icons.h"

#include <QGuiApplication>
#include <QPainter>
#include <QSvgRenderer>

#include "jobs/ImportJob.h"

// The pictures are compiled into a static library: register them before first use.
static void initIconResources() {
  static const bool registered = [] {
    Q_INIT_RESOURCE(icons);
    return true;
  }();
  (void)registered;
}

namespace {

QIcon fromResource(const char* name) {
  initIconResources();
  return QIcon(QStringLiteral(":/icons/") + name);
}

}  // namespace

namespace Icons {

QIcon close() { return fromResource("close.svg"); }
QIcon help() { return fromResource("help.svg"); }
QIcon options() { return fromResource("options.svg"); }
QIcon stop() { return fromResource("stop.svg"); }
QIcon manualStart() { return fromResource("manual-start.svg"); }
QIcon expand() { return fromResource("expand.svg"); }
QIcon collapse() { return fromResource("collapse.svg"); }
QIcon previous() { return fromResource("previous.svg"); }
QIcon next() { return fromResource("next.svg"); }

QIcon status(StatusIcon state) {
  switch (state) {
    case StatusIcon::Active:
      return fromResource("status-active.svg");
    case StatusIcon::FileDone:
      return fromResource("status-done.svg");
    case StatusIcon::Error:
      return fromResource("status-error.svg");
    case StatusIcon::Idle:
      break;
  }
  return fromResource("status-idle.svg");
}

QIcon application() { return fromResource("kalvora.svg"); }

QIcon trayIdle() { return fromResource("tray-idle.svg"); }

QIcon trayAttention() { return fromResource("tray-attention.svg"); }

QIcon jobState(const std::string& status) {
  static const struct {
    JobStatus status;
    const char* icon;
  } icons[] = {{JobStatus::Copying, "job-copying.svg"}, {JobStatus::Pending, "job-pending.svg"},
               {JobStatus::Sending, "job-sending.svg"}, {JobStatus::Finished, "status-done.svg"},
               {JobStatus::Failed, "status-error.svg"}, {JobStatus::Stopped, "job-stopped.svg"}};
  for (const auto& entry : icons)
    if (status == jobStatusText(entry.status)) return fromResource(entry.icon);
  return {};
}

QIcon trayFrame(int index) {
  static const char* const frames[] = {"tray-busy-0.svg", "tray-busy-1.svg", "tray-busy-2.svg",
                                       "tray-busy-3.svg"};
  return fromResource(frames[((index % 4) + 4) % 4]);
}

QPixmap logo(qreal devicePixelRatio) {
  const QSize size(140, 39);
  QPixmap pixmap(size * devicePixelRatio);
  pixmap.setDevicePixelRatio(devicePixelRatio);
  pixmap.fill(Qt::transparent);
  initIconResources();
  QSvgRenderer renderer(QStringLiteral(":/icons/logo.svg"));
  QPainter painter(&pixmap);
  renderer.render(&painter, QRectF(QPointF(0, 0), QSizeF(size)));
  return pixmap;
}

}  // namespace Icons
