#include "app/config/CFolderBrowser.h"

#include <QDir>
#include <QFileSystemModel>
#include <QScrollBar>
#include <QTimer>

#include "app/config/FolderValidation.h"
#include "ui_CFolderBrowser.h"

CFolderBrowser::CFolderBrowser(const QString& startFolder, QWidget* parent)
    : KalvoraDialog(parent),
      ui_(std::make_unique<Ui::CFolderBrowser>()),
      model_(new QFileSystemModel(this)) {
  ui_->setupUi(body());
  setTitle(QStringLiteral("Kalvora - Temporary path dialog"));
  model_->setFilter(QDir::AllDirs | QDir::NoDotAndDotDot | QDir::Hidden);
  model_->setRootPath(QStringLiteral("/"));
  ui_->folderTree->setModel(model_);
  for (int column = 1; column < model_->columnCount(); ++column)
    ui_->folderTree->hideColumn(column);
  ui_->folderTree->setHeaderHidden(true);
  ui_->folderTree->setSortingEnabled(true);
  ui_->folderTree->sortByColumn(0, Qt::AscendingOrder);
  ui_->okButton->setEnabled(false);

  connect(ui_->folderTree->selectionModel(), &QItemSelectionModel::currentChanged, this,
          &CFolderBrowser::showSelectedFolder);
  connect(ui_->path, &QLineEdit::textEdited, this,
          [this](const QString& text) { ui_->okButton->setEnabled(!text.isEmpty()); });
  connect(ui_->okButton, &QPushButton::clicked, this, &CFolderBrowser::accept);
  ui_->okButton->setDefault(true);

  if (!startFolder.isEmpty()) selectFolder(startFolder);
  ui_->path->setFocus();
}

CFolderBrowser::~CFolderBrowser() = default;

QLineEdit* CFolderBrowser::pathField() const { return ui_->path; }

bool CFolderBrowser::okEnabled() const { return ui_->okButton->isEnabled(); }

void CFolderBrowser::selectFolder(const QString& path) {
  // The folder itself, or the nearest one above it that exists.
  QDir folder(QDir::cleanPath(path));
  if (folder.isRelative()) return;
  while (!folder.exists() && !folder.isRoot())
    folder.setPath(QDir::cleanPath(folder.path() + "/.."));
  const QModelIndex index = model_->index(folder.path());
  if (!index.isValid()) return;
  for (QModelIndex above = index.parent(); above.isValid(); above = above.parent())
    ui_->folderTree->expand(above);
  ui_->folderTree->setCurrentIndex(index);
  // The tree fills and sorts in the background; keep the folder in view until the user
  // looks elsewhere.
  connect(model_, &QFileSystemModel::directoryLoaded, this, &CFolderBrowser::showCurrentFolder);
  connect(model_, &QFileSystemModel::layoutChanged, this, &CFolderBrowser::showCurrentFolder);
  connect(ui_->folderTree->verticalScrollBar(), &QScrollBar::actionTriggered, this,
          [this] { followCurrent_ = false; });
  connect(ui_->folderTree, &QTreeView::pressed, this, [this] { followCurrent_ = false; });
}

void CFolderBrowser::showCurrentFolder() {
  // After the tree has laid out its new rows.
  if (!followCurrent_) return;
  QTimer::singleShot(0, this, [this] {
    ui_->folderTree->scrollTo(ui_->folderTree->currentIndex(), QAbstractItemView::PositionAtCenter);
  });
}

void CFolderBrowser::showEvent(QShowEvent* event) {
  KalvoraDialog::showEvent(event);
  showCurrentFolder();
}

void CFolderBrowser::showSelectedFolder() {
  const QString path = model_->filePath(ui_->folderTree->currentIndex());
  ui_->path->setText(path);
  ui_->okButton->setEnabled(!path.isEmpty());
}

void CFolderBrowser::accept() {
  const QString folder = ui_->path->text();
  if (folder.isEmpty()) return;
  if (validateFolder(this, folder) != FolderValidation::Usable) {
    ui_->path->setFocus();
    return;
  }
  chosen_ = folder;
  KalvoraDialog::accept();
}

QString CFolderBrowser::browse(const QString& startFolder, QWidget* parent) {
  CFolderBrowser browser(startFolder, parent);
  if (browser.exec() != QDialog::Accepted) return {};
  const QString folder = browser.chosenFolder();
  // The folder may have gone meanwhile.
  return validateFolder(parent, folder) == FolderValidation::Usable ? folder : QString();
}
