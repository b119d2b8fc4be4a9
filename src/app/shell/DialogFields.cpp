#include "app/shell/DialogFields.h"

#include <QLineEdit>

#include "app/shell/MessageBoxes.h"
#include "config/ConfigValidation.h"

bool readIntegerField(QLineEdit* field, int minValue, int maxValue, int& value) {
  const std::optional<std::string> message =
      parseIntegerField(field->text().toStdString(), minValue, maxValue, value);
  if (!message) return true;
  MessageBoxes::show(field->window(), QString::fromStdString(*message));
  field->setFocus();
  field->selectAll();
  return false;
}
