#include "app/config/CQueryStationDlg.h"

#include "app/config/StationEchoWorker.h"
#include "app/config/TlsFieldsBox.h"
#include "app/shell/DialogFields.h"
#include "app/shell/MessageBoxes.h"
#include "config/AppSettings.h"
#include "config/CStation.h"
#include "config/ConfigValidation.h"
#include "config/KalvoraSettings.h"
#include "jobs/AuditTrail.h"
#include "ui_CQueryStationDlg.h"

CQueryStationDlg::CQueryStationDlg(std::string workingFolder, const AppSettings& settings,
                                   QWidget* parent)
    : KalvoraDialog(parent),
      ui_(std::make_unique<Ui::CQueryStationDlg>()),
      workingFolder_(std::move(workingFolder)),
      settings_(settings) {
  ui_->setupUi(body());
  tls_ = new TlsFieldsBox(body(), QStringLiteral(":"));
  ui_->mainLayout->insertWidget(ui_->mainLayout->indexOf(ui_->testResult), tls_);
  QWidget* previous = ui_->model;
  for (QWidget* next : tls_->tabChain()) {
    setTabOrder(previous, next);
    previous = next;
  }
  setTabOrder(previous, ui_->testButton);
  setTitle(QStringLiteral("Kalvora - Query station"));
  setHelpFile(QStringLiteral("help_stations.txt"));
  ui_->testResult->hide();

  KalvoraSettings stored;
  if (auto problem = loadKalvoraSettings(workingFolder_, stored)) {
    // Saving over a file that could not be read would lose what it holds.
    ui_->testResult->setText(QString::fromStdString(*problem));
    ui_->testResult->show();
    ui_->okButton->setEnabled(false);
  } else if (stored.queryStation) {
    ui_->aeTitle->setText(QString::fromStdString(stored.queryStation->aeTitle));
    ui_->host->setText(QString::fromStdString(stored.queryStation->host));
    ui_->port->setText(QString::number(stored.queryStation->port));
    ui_->model->setCurrentIndex(stored.queryStation->model == QueryModel::PatientRoot ? 1 : 0);
    tls_->showSettings(stored.queryStation->tls);
  }
  connect(ui_->okButton, &QPushButton::clicked, this, &CQueryStationDlg::accept);
  connect(ui_->testButton, &QPushButton::clicked, this, &CQueryStationDlg::testStation);
  connect(ui_->removeButton, &QPushButton::clicked, this, [this] {
    ui_->aeTitle->clear();
    ui_->host->clear();
    ui_->port->clear();
    ui_->model->setCurrentIndex(0);
    tls_->showSettings({});
  });
  ui_->okButton->setDefault(true);
  ui_->aeTitle->setFocus();
}

CQueryStationDlg::~CQueryStationDlg() = default;

bool CQueryStationDlg::typedStation(std::optional<QueryStation>& station) {
  station.reset();
  if (ui_->aeTitle->text().isEmpty() && ui_->host->text().isEmpty() &&
      ui_->port->text().trimmed().isEmpty())
    return true;
  QueryStation typed;
  if (!readIntegerField(ui_->port, kStationPortMin, kStationPortMax, typed.port)) return false;
  typed.aeTitle = ui_->aeTitle->text().toStdString();
  typed.host = ui_->host->text().toStdString();
  typed.model = ui_->model->currentIndex() == 1 ? QueryModel::PatientRoot : QueryModel::Worklist;
  typed.tls = tls_->typedSettings();
  auto message = validateQueryStation(typed);
  if (!message) message = validateTlsSettings(typed.tls);
  if (message) {
    MessageBoxes::show(this, QString::fromStdString(*message));
    return false;
  }
  station = typed;
  return true;
}

void CQueryStationDlg::accept() {
  std::optional<QueryStation> station;
  if (!typedStation(station)) return;
  // Read again just before writing: only this section changes.
  KalvoraSettings stored;
  std::optional<std::string> problem = loadKalvoraSettings(workingFolder_, stored);
  if (!problem) {
    stored.queryStation = station;
    problem = saveKalvoraSettings(workingFolder_, stored);
  }
  const std::string settingsFile = workingFolder_ + "/" + kKalvoraSettingsFileName;
  if (problem) {
    if (auto notRecorded = auditConfigurationChange(workingFolder_, {settingsFile}, *problem))
      *problem += "\n" + *notRecorded;
    MessageBoxes::show(this, QString::fromStdString(*problem), MessageBoxes::Icon::Error);
    return;
  }
  if (auto notRecorded = auditConfigurationChange(workingFolder_, {settingsFile}))
    MessageBoxes::show(this, QString::fromStdString(*notRecorded), MessageBoxes::Icon::Error);
  KalvoraDialog::accept();
}

void CQueryStationDlg::testStation() {
  if (echo_ && echo_->running()) return;
  std::optional<QueryStation> station;
  if (!typedStation(station)) return;
  if (!station) {
    showTestResult(false, QStringLiteral("Enter the query station first."));
    return;
  }
  echo_ = new StationEchoWorker(this);
  connect(echo_, &StationEchoWorker::finished, this, &CQueryStationDlg::showTestResult);
  ui_->testButton->setEnabled(false);
  ui_->testResult->setText(QStringLiteral("Testing the station (C-ECHO) ..."));
  ui_->testResult->show();
  echo_->start(CStation{"", station->aeTitle, station->host, station->port}, settings_,
               station->tls);
}

QString CQueryStationDlg::testResult() const { return ui_->testResult->text(); }

void CQueryStationDlg::showTestResult(bool reached, const QString& message) {
  if (echo_) {
    echo_->deleteLater();
    echo_ = nullptr;
  }
  ui_->testButton->setEnabled(true);
  ui_->testResult->setText(reached ? QStringLiteral("Reached. ") + message : message);
  ui_->testResult->show();
  adjustSize();
  Q_EMIT testFinished(reached);
}
