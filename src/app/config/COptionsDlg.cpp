#include "app/config/COptionsDlg.h"

#include <QDir>

#include <algorithm>

#include "app/config/CDicomDlg.h"
#include "app/config/CFiltersDlg.h"
#include "app/config/CFolderBrowser.h"
#include "app/config/CPasswordDlg.h"
#include "app/config/CQueryStationDlg.h"
#include "app/config/CRulesDlg.h"
#include "app/config/CStationsDlg.h"
#include "app/config/FolderValidation.h"
#include "app/config/RecordRows.h"
#include "app/config/StationTlsStore.h"
#include "app/media/CEditAnonymizeDataDlg.h"
#include "app/shell/MessageBoxes.h"
#include "jobs/JobFolders.h"
#include "platform/PrivateFolder.h"
#include "ui_COptionsDlg.h"

COptionsDlg::COptionsDlg(LiveConfiguration config, QWidget* parent)
    : KalvoraDialog(parent), ui_(std::make_unique<Ui::COptionsDlg>()), config_(config) {
  ui_->setupUi(body());
  setTitle(QStringLiteral("Kalvora - Options"));
  setHelpFile(QStringLiteral("help_option.txt"));
  ui_->browseButton->setIcon(style()->standardIcon(QStyle::SP_DirOpenIcon));

  const AppSettings& settings = config_.settings;
  ui_->tempFolder->setText(QString::fromStdString(settings.tempFolder));
  ui_->useExtensionFilter->setChecked(settings.useExtensionFilter != 0);
  ui_->startMinimized->setChecked(settings.startMinimized != 0);
  ui_->openTrayAfterReading->setChecked(settings.openTrayAfterReading != 0);
  ui_->stayOnTop->setChecked(settings.stayOnTop != 0);
  ui_->verbose->setChecked(settings.verbose != 0);
  ui_->sendToStandardDestination->setChecked(settings.sendToStandardDestination != 0);
  ui_->useForwardRules->setChecked(settings.useForwardRules != 0);
  ui_->anonymize->setChecked(settings.anonymize != 0);
  ui_->askForNewPatientData->setChecked(settings.askForNewPatientData != 0);
  ui_->noCompressedTransfer->setChecked(settings.noCompressedTransfer != 0);
  fillDestinations();
  showNoteForCompression();
  showNoDestinationWarning();
  // The buttons beside the check boxes line up in one column.
  const QList<QPushButton*> sideButtons{ui_->editFiltersButton, ui_->editRulesButton,
                                        ui_->editAnonymizationButton};
  int sideWidth = 0;
  for (QPushButton* button : sideButtons)
    sideWidth = std::max(sideWidth, button->sizeHint().width());
  for (QPushButton* button : sideButtons) button->setMinimumWidth(sideWidth);

  connect(ui_->browseButton, &QPushButton::clicked, this, &COptionsDlg::browseFolder);
  connect(ui_->editFiltersButton, &QPushButton::clicked, this, &COptionsDlg::editFilters);
  connect(ui_->editRulesButton, &QPushButton::clicked, this, &COptionsDlg::editRules);
  connect(ui_->editAnonymizationButton, &QPushButton::clicked, this,
          &COptionsDlg::editAnonymization);
  connect(ui_->stationsButton, &QPushButton::clicked, this, &COptionsDlg::editStations);
  connect(ui_->dicomOptionsButton, &QPushButton::clicked, this, &COptionsDlg::editDicomOptions);
  connect(ui_->noCompressedTransfer, &QCheckBox::toggled, this,
          &COptionsDlg::showNoteForCompression);
  connect(ui_->sendToStandardDestination, &QCheckBox::toggled, this,
          &COptionsDlg::showNoDestinationWarning);
  connect(ui_->standardDestination, &QComboBox::currentIndexChanged, this,
          &COptionsDlg::showNoDestinationWarning);
  connect(ui_->okButton, &QPushButton::clicked, this, &COptionsDlg::accept);
  ui_->okButton->setDefault(true);
}

COptionsDlg::~COptionsDlg() = default;

void COptionsDlg::fillDestinations() {
  fillStationChoices(ui_->standardDestination, config_.stations);
  selectStationChoice(ui_->standardDestination, config_.settings.standardDestination);
}

// Ticked with no station chosen, every job would wait for a station by hand.
void COptionsDlg::showNoDestinationWarning() {
  ui_->noDestinationWarning->setVisible(ui_->sendToStandardDestination->isChecked() &&
                                        ui_->standardDestination->currentIndex() < 0);
}

void COptionsDlg::showNoteForCompression() {
  ui_->compressionNote->setEnabled(ui_->noCompressedTransfer->isChecked());
}

bool COptionsDlg::takeTempFolder(std::string& folder) {
  QString text = ui_->tempFolder->text();
  // One trailing separator goes; the root keeps its only one.
  if (text.size() > 1 && text.endsWith(QLatin1Char('/'))) text.chop(1);
  folder = text.toStdString();
  if (folder == config_.settings.tempFolder || folder.empty()) return true;
  // A relative folder would depend on where the application was started.
  QString problem;
  if (!QDir::isAbsolutePath(text))
    problem = invalidFolderMessage(text);
  else if (!CreateFolderChain(folder))
    problem = uncreatableFolderMessage(text);
  else if (const auto why = whyFolderIsNotPrivate(folder))
    problem = QStringLiteral("The temporary folder '%1' is refused: %2.")
                  .arg(text, QString::fromStdString(*why));
  if (problem.isEmpty()) return true;
  MessageBoxes::show(this, problem, MessageBoxes::Icon::Warning);
  ui_->tempFolder->setFocus();
  return false;
}

void COptionsDlg::accept() {
  std::string tempFolder;
  if (!takeTempFolder(tempFolder)) return;
  AppSettings& settings = config_.settings;
  settings.tempFolder = tempFolder;
  settings.useExtensionFilter = ui_->useExtensionFilter->isChecked() ? 1 : 0;
  settings.startMinimized = ui_->startMinimized->isChecked() ? 1 : 0;
  settings.openTrayAfterReading = ui_->openTrayAfterReading->isChecked() ? 1 : 0;
  settings.stayOnTop = ui_->stayOnTop->isChecked() ? 1 : 0;
  settings.verbose = ui_->verbose->isChecked() ? 1 : 0;
  settings.sendToStandardDestination = ui_->sendToStandardDestination->isChecked() ? 1 : 0;
  settings.standardDestination = selectedStationChoice(ui_->standardDestination);
  settings.useForwardRules = ui_->useForwardRules->isChecked() ? 1 : 0;
  settings.anonymize = ui_->anonymize->isChecked() ? 1 : 0;
  settings.askForNewPatientData = ui_->askForNewPatientData->isChecked() ? 1 : 0;
  settings.noCompressedTransfer = ui_->noCompressedTransfer->isChecked() ? 1 : 0;
  KalvoraDialog::accept();
}

void COptionsDlg::browseFolder() {
  const QString folder = CFolderBrowser::browse(ui_->tempFolder->text(), this);
  if (!folder.isEmpty()) ui_->tempFolder->setText(folder);
}

void COptionsDlg::editFilters() {
  CFiltersDlg filters(config_.filters, this);
  filters.exec();
}

void COptionsDlg::editRules() {
  if (config_.stations.GetSize() > 0) {
    CRulesDlg rules(config_.rules, config_.stations, this);
    rules.exec();
    return;
  }
  if (MessageBoxes::askYesNo(this, QStringLiteral("There are no DICOM stations defined. You can "
                                                  "not\ndefine a rule.\n\nDo you want to define a "
                                                  "DICOM station now.")))
    editStations();
}

void COptionsDlg::editAnonymization() {
  CEditAnonymizeDataDlg anonymization(config_.settings, this);
  anonymization.exec();
}

void COptionsDlg::editStations() {
  CPasswordDlg password(this);
  if (password.exec() != QDialog::Accepted) return;
  const StationTlsStore tlsStore{workingFolder_, config_.stationOptions};
  CStationsDlg stations(config_.stations, config_.settings, this,
                        config_.stationOptions && !workingFolder_.empty() ? &tlsStore : nullptr);
  stations.exec();
  fillDestinations();
}

void COptionsDlg::setWorkingFolder(std::string folder) {
  workingFolder_ = std::move(folder);
  if (queryStationButton_) return;
  // Beside the station list, behind the same password.
  queryStationButton_ = new QPushButton(QStringLiteral("Query station"), this);
  queryStationButton_->setObjectName(QStringLiteral("queryStationButton"));
  queryStationButton_->setAutoDefault(false);
  ui_->guardedButtons->insertWidget(ui_->guardedButtons->indexOf(ui_->stationsButton) + 1,
                                    queryStationButton_);
  connect(queryStationButton_, &QPushButton::clicked, this, &COptionsDlg::editQueryStation);
}

void COptionsDlg::editQueryStation() {
  CPasswordDlg password(this);
  if (password.exec() != QDialog::Accepted) return;
  CQueryStationDlg queryStation(workingFolder_, config_.settings, this);
  queryStation.exec();
}

void COptionsDlg::editDicomOptions() {
  CPasswordDlg password(this);
  if (password.exec() != QDialog::Accepted) return;
  CDicomDlg dicom(config_.settings, this);
  dicom.exec();
}
