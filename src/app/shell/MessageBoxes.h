#pragma once

#include <QString>

#include <functional>

class QWidget;

// The application's message boxes: its name as caption, the fixed texts as given.
namespace MessageBoxes {

enum class Icon { None, Information, Warning, Error, Question };

// OK only.
void show(QWidget* parent, const QString& text, Icon icon = Icon::Warning);
// Yes and No; true for Yes.
bool askYesNo(QWidget* parent, const QString& text, Icon icon = Icon::Question);
// For what cannot be undone (a deletion): No is the default, so Enter keeps everything.
bool confirmDestructive(QWidget* parent, const QString& text, Icon icon = Icon::Question);

// What a box would have shown; a handler installed for tests answers instead of the
// user (its result is the Yes of a question), and nothing is shown.
struct Request {
  QString text;
  Icon icon = Icon::None;
  bool question = false;
  bool defaultNo = false;
};
using Handler = std::function<bool(const Request&)>;
void setHandlerForTests(Handler handler);

}  // namespace MessageBoxes
