#include <QApplication>
#include <QTest>

#include "GuiTestRegistry.h"

std::vector<GuiTestFactory>& guiTests() {
  static std::vector<GuiTestFactory> tests;
  return tests;
}

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  QApplication::setQuitOnLastWindowClosed(false);
  int failures = 0;
  for (const GuiTestFactory& factory : guiTests()) {
    std::unique_ptr<QObject> test = factory();
    // KALVORA_GUI_TEST=ClassName runs one class (its functions may then be named).
    const QByteArray only = qgetenv("KALVORA_GUI_TEST");
    if (!only.isEmpty() && only != test->metaObject()->className()) continue;
    failures += QTest::qExec(test.get(), argc, argv);
  }
  return failures == 0 ? 0 : 1;
}
