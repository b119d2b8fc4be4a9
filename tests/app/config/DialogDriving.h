#pragma once

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QTreeWidget>

#include <functional>

#include "ModalWatcher.h"

// Small helpers for driving the configuration dialogs by their controls' names.

template <typename Widget>
Widget* control(QWidget* dialog, const char* name) {
  auto* widget = dialog->findChild<Widget*>(QString::fromLatin1(name));
  if (!widget) qFatal("no control %s", name);
  return widget;
}

inline void type(QWidget* dialog, const char* name, const QString& text) {
  control<QLineEdit>(dialog, name)->setText(text);
}

inline QString textOf(QWidget* dialog, const char* name) {
  return control<QLineEdit>(dialog, name)->text();
}

// The first column of every row, top to bottom.
inline QStringList firstColumn(QTreeWidget* list) {
  QStringList texts;
  for (int row = 0; row < list->topLevelItemCount(); ++row)
    texts << list->topLevelItem(row)->text(0);
  return texts;
}

// Gives `row` the selection mark (and the selection).
inline void markRow(QTreeWidget* list, int row) { list->setCurrentItem(list->topLevelItem(row)); }

// Runs `open` (which runs a modal dialog), with `handle` acting on that dialog once it
// shows. The handler must close the dialog.
inline void whileModal(const std::function<void()>& open,
                       const std::function<void(QWidget*)>& handle) {
  onNextModal(handle);
  open();
}
