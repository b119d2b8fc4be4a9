#pragma once

#include <QString>

class QWidget;

enum class FolderValidation {
  Usable = 0,
  Invalid = 1,
  CannotCreate = 2,
  Declined = -1,  // the user chose not to create it
};

// Checks a folder chosen for the temporary folder, offers to create a missing one
// (private), and says what is wrong in a message box.
FolderValidation validateFolder(QWidget* parent, const QString& path);

// The message boxes' texts, also used when a typed folder cannot be taken.
QString invalidFolderMessage(const QString& path);
QString uncreatableFolderMessage(const QString& path);
