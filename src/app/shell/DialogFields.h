#pragma once

class QLineEdit;

// Reads a decimal integer field of a dialog as every dialog does on OK: a wrong entry
// shows "Please enter an integer." or the range message, takes the focus back to the
// field and stores nothing. True when `value` was set.
bool readIntegerField(QLineEdit* field, int minValue, int maxValue, int& value);
