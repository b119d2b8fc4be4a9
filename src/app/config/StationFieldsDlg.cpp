#include "app/config/StationFieldsDlg.h"

#include <QBoxLayout>
#include <QLabel>

#include "app/config/StationEchoWorker.h"
#include "app/config/StationTlsStore.h"
#include "app/config/TlsFieldsBox.h"
#include "app/shell/DialogFields.h"
#include "app/shell/MessageBoxes.h"
#include "config/ConfigValidation.h"
#include "ui_StationFields.h"

StationFieldsDlg::StationFieldsDlg(const QString& title, const AppSettings& settings,
                                   QWidget* parent, const StationTlsStore* tlsStore)
    : KalvoraDialog(parent),
      ui_(std::make_unique<Ui::StationFields>()),
      settings_(settings),
      tlsStore_(tlsStore) {
  ui_->setupUi(body());
  tls_ = new TlsFieldsBox(body());
  // The fields take the width the TLS paths give the dialog, not the labels.
  ui_->stationLayout->setColumnStretch(2, 1);
  ui_->mainLayout->insertWidget(1, tls_);
  QWidget* previous = ui_->testButton;
  for (QWidget* next : tls_->tabChain()) {
    setTabOrder(previous, next);
    previous = next;
  }
  setTabOrder(previous, ui_->okButton);
  setTitle(title);
  setHelpFile(QStringLiteral("help_stations.txt"));
  ui_->port->setText(QStringLiteral("0"));
  // A set width, so that the dialog knows the height of a wrapped result before it shows.
  ui_->testResult->setFixedWidth(ui_->testResult->fontMetrics().averageCharWidth() * 44);
  ui_->testResult->hide();
  connect(ui_->okButton, &QPushButton::clicked, this, &StationFieldsDlg::accept);
  connect(ui_->testButton, &QPushButton::clicked, this, &StationFieldsDlg::testStation);
  ui_->okButton->setDefault(true);
  ui_->alias->setFocus();
}

StationFieldsDlg::~StationFieldsDlg() = default;

void StationFieldsDlg::showStation(const CStation& station) {
  ui_->alias->setText(QString::fromStdString(station.alias));
  ui_->aeTitle->setText(QString::fromStdString(station.aeTitle));
  ui_->address->setText(QString::fromStdString(station.host));
  ui_->port->setText(QString::number(station.port));
  if (tlsStore_) tls_->showSettings(tlsStore_->tlsOf(station.alias));
}

std::optional<CStation> StationFieldsDlg::typedStation() {
  CStation station;
  if (!readIntegerField(ui_->port, kStationPortMin, kStationPortMax, station.port))
    return std::nullopt;
  station.alias = ui_->alias->text().toStdString();
  station.aeTitle = ui_->aeTitle->text().toStdString();
  station.host = ui_->address->text().toStdString();
  return station;
}

void StationFieldsDlg::refuse(const std::string& message) {
  MessageBoxes::show(this, QString::fromStdString(message));
}

bool StationFieldsDlg::keepTls(const std::string& alias, const std::string& previousAlias) {
  const TlsSettings tls = tls_->typedSettings();
  if (auto message = validateTlsSettings(tls)) {
    refuse(*message);
    return false;
  }
  if (!tlsStore_) return true;
  if (auto problem = tlsStore_->keep(alias, tls, previousAlias)) {
    MessageBoxes::show(this, QString::fromStdString(*problem), MessageBoxes::Icon::Error);
    return false;
  }
  return true;
}

void StationFieldsDlg::testStation() {
  if (testRunning()) return;
  const std::optional<CStation> station = typedStation();
  if (!station) return;
  if (station->aeTitle.empty() || station->host.empty()) {
    showTestResult(false, QStringLiteral("Enter the AE title and the address of the station "
                                         "first."));
    return;
  }
  echo_ = new StationEchoWorker(this);
  connect(echo_, &StationEchoWorker::finished, this, &StationFieldsDlg::showTestResult);
  ui_->testButton->setEnabled(false);
  showResultText(QStringLiteral("Testing the station (C-ECHO) ..."));
  echo_->start(*station, settings_, tls_->typedSettings());
}

bool StationFieldsDlg::testRunning() const { return echo_ != nullptr && echo_->running(); }

void StationFieldsDlg::showResultText(const QString& text) {
  QLabel* label = ui_->testResult;
  label->setText(text);
  label->setMinimumHeight(label->heightForWidth(label->width()));
  label->show();
  adjustSize();
}

QString StationFieldsDlg::testResult() const { return ui_->testResult->text(); }

void StationFieldsDlg::showTestResult(bool reached, const QString& message) {
  if (echo_) {
    echo_->deleteLater();
    echo_ = nullptr;
  }
  ui_->testButton->setEnabled(true);
  showResultText(reached ? QStringLiteral("Reached. ") + message : message);
  Q_EMIT testFinished(reached);
}
