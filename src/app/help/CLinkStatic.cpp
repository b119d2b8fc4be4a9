#include "app/help/CLinkStatic.h"

#include <QApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QMouseEvent>
#include <QUrl>

#include "app/shell/MessageBoxes.h"

CLinkStatic::CLinkStatic(QWidget* parent) : QLabel(parent) {
  setCursor(Qt::PointingHandCursor);
  setTextFormat(Qt::PlainText);
  updateLook();
}

void CLinkStatic::SetLink(const QString& address) {
  link_ = address;
  if (text().isEmpty()) setText(address);
  setToolTip(address);
}

QString CLinkStatic::link() const { return link_.isEmpty() ? text() : link_; }

void CLinkStatic::MarkVisited(bool visited) {
  visited_ = visited;
  updateLook();
}

void CLinkStatic::SetUnderlineMode(int mode) {
  underlineMode_ = mode;
  updateLook();
}

void CLinkStatic::updateLook() {
  QPalette colours = palette();
  colours.setColor(QPalette::WindowText,
                   overControl_ ? hoverColour : (visited_ ? visitedColour : linkColour));
  setPalette(colours);
  QFont look = font();
  look.setUnderline(underlineMode_ == 1 || (underlineMode_ == -1 && overControl_));
  setFont(look);
}

void CLinkStatic::enterEvent(QEnterEvent* event) {
  overControl_ = true;
  updateLook();
  QLabel::enterEvent(event);
}

void CLinkStatic::leaveEvent(QEvent* event) {
  overControl_ = false;
  updateLook();
  QLabel::leaveEvent(event);
}

// The press is the link's own: passed on, it would start a window move of the dialog, and
// under a window manager the release would then never reach the link.
void CLinkStatic::mousePressEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) {
    event->accept();
    return;
  }
  QLabel::mousePressEvent(event);
}

void CLinkStatic::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton || !rect().contains(event->position().toPoint())) {
    QLabel::mouseReleaseEvent(event);
    return;
  }
  overControl_ = false;
  const int result = OpenLink(link());
  if (result > 32) {
    MarkVisited(true);
  } else {
    visited_ = false;
    updateLook();
    QApplication::beep();
    ShowLinkError(result);
  }
}

int CLinkStatic::OpenLink(const QString& address) {
  const QUrl url = QUrl::fromUserInput(address);
  if (!url.isValid()) return 2;
  if (url.isLocalFile()) {
    const QFileInfo file(url.toLocalFile());
    if (!file.dir().exists()) return 3;
    if (!file.exists()) return 2;
    if (!file.isReadable()) return 5;
  }
  return QDesktopServices::openUrl(url) ? 33 : 31;
}

QString CLinkStatic::linkErrorText(int code) {
  switch (code) {
    case 0:
      return QStringLiteral("The operating system is out\nof memory or resources.");
    case 2:
      return QStringLiteral("The specified file was not found.");
    case 3:
      return QStringLiteral("The specified path was not found.");
    case 5:
      return QStringLiteral("The operating system denied\naccess to the specified file.");
    case 8:
      return QStringLiteral("There was not enough memory to complete the operation.");
    case 11:
      return QStringLiteral("The .EXE file is invalid\n(non-Win32 .EXE or error in .EXE image).");
    case 26:
      return QStringLiteral("A sharing violation occurred. ");
    case 27:
      return QStringLiteral("The filename association is\nincomplete or invalid.");
    case 28:
      return QStringLiteral(
          "The DDE transaction could not\nbe completed because the request timed out.");
    case 29:
      return QStringLiteral("The DDE transaction failed.");
    case 30:
      return QStringLiteral(
          "The DDE transaction could not\nbe completed because other DDE transactions\nwere "
          "being processed.");
    case 31:
      return QStringLiteral(
          "There is no application associated\nwith the given filename extension.");
    case 32:
      return QStringLiteral("The specified dynamic-link library was not found.");
    default:
      return QStringLiteral("Unknown Error (%1) occurred.").arg(code);
  }
}

void CLinkStatic::ShowLinkError(int code) {
  MessageBoxes::show(this, QStringLiteral("Unable to open hyperlink:\n\n") + linkErrorText(code),
                     MessageBoxes::Icon::Warning);
}
