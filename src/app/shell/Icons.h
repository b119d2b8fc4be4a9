#pragma once

#include <QIcon>
#include <QPixmap>

#include <string>

#include "jobs/JobCounters.h"

// The application's pictures, drawn for it and kept as SVG in its resources, so they
// stay sharp at any scale.
namespace Icons {
QIcon close();
QIcon help();
QIcon options();
QIcon stop();
QIcon manualStart();
QIcon expand();
QIcon collapse();
QIcon previous();
QIcon next();
QIcon status(StatusIcon state);
QIcon application();
QIcon trayIdle();
// Idle, with jobs not delivered.
QIcon trayAttention();
// A job's state in the job list.
QIcon jobState(const std::string& status);
QIcon trayFrame(int index);  // 0 to 3
// The logo, 140 x 39 at the scale of `devicePixelRatio`.
QPixmap logo(qreal devicePixelRatio);
}  // namespace Icons
