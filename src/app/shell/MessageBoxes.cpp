#include "app/shell/MessageBoxes.h"

#include <QMessageBox>

#include "config/ProductVersion.h"

namespace MessageBoxes {
namespace {

Handler& testHandler() {
  static Handler handler;
  return handler;
}

QMessageBox::Icon toQt(Icon icon) {
  switch (icon) {
    case Icon::Information:
      return QMessageBox::Information;
    case Icon::Warning:
      return QMessageBox::Warning;
    case Icon::Error:
      return QMessageBox::Critical;
    case Icon::Question:
      return QMessageBox::Question;
    case Icon::None:
      break;
  }
  return QMessageBox::NoIcon;
}

bool run(QWidget* parent, const Request& request) {
  if (testHandler()) return testHandler()(request);
  QMessageBox box(toQt(request.icon), QString::fromLatin1(kProductName), request.text,
                  request.question ? QMessageBox::Yes | QMessageBox::No : QMessageBox::Ok, parent);
  if (request.question)
    box.setDefaultButton(request.defaultNo ? QMessageBox::No : QMessageBox::Yes);
  return box.exec() == QMessageBox::Yes;
}

}  // namespace

void show(QWidget* parent, const QString& text, Icon icon) {
  run(parent, Request{text, icon, false});
}

bool askYesNo(QWidget* parent, const QString& text, Icon icon) {
  return run(parent, Request{text, icon, true});
}

bool confirmDestructive(QWidget* parent, const QString& text, Icon icon) {
  return run(parent, Request{text, icon, true, true});
}

void setHandlerForTests(Handler handler) { testHandler() = std::move(handler); }

}  // namespace MessageBoxes
