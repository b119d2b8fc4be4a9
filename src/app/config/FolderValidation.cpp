#include "app/config/FolderValidation.h"

#include "app/shell/MessageBoxes.h"
#include "config/FolderPath.h"

QString invalidFolderMessage(const QString& path) {
  return QStringLiteral("The folder:\n\n%1\n\nis invalid. Please reenter.").arg(path);
}

QString uncreatableFolderMessage(const QString& path) {
  return QStringLiteral("The folder:\n\n%1\n\ncan not be created. Please double check.").arg(path);
}

FolderValidation validateFolder(QWidget* parent, const QString& path) {
  const std::string folder = path.toStdString();
  if (checkFolderPath(folder, FolderCheckMode::CheckOnly) != FolderCheck::Valid) {
    MessageBoxes::show(parent, invalidFolderMessage(path), MessageBoxes::Icon::Warning);
    return FolderValidation::Invalid;
  }
  if (!folderExists(folder)) {
    const QString question = QStringLiteral(
                                 "The folder:\n\n%1\n\ndoes not exist. Do you want the folder to "
                                 "be created?")
                                 .arg(path);
    if (!MessageBoxes::askYesNo(parent, question, MessageBoxes::Icon::Question))
      return FolderValidation::Declined;
    switch (checkFolderPath(folder, FolderCheckMode::Create)) {
      case FolderCheck::Valid:
        break;
      case FolderCheck::Invalid:
        MessageBoxes::show(parent, invalidFolderMessage(path), MessageBoxes::Icon::Warning);
        return FolderValidation::Invalid;
      case FolderCheck::CannotCreate:
        MessageBoxes::show(parent, uncreatableFolderMessage(path), MessageBoxes::Icon::Warning);
        return FolderValidation::CannotCreate;
    }
  }
  return FolderValidation::Usable;
}
