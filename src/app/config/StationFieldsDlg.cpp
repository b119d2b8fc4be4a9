#include "app/config/StationFieldsDlg.h"

#include <QLabel>

#include "app/config/StationEchoWorker.h"
#include "app/shell/DialogFields.h"
#include "app/shell/MessageBoxes.h"
#include "config/ConfigValidation.h"
#include "ui_StationFields.h"

StationFieldsDlg::StationFieldsDlg(const QString& title, const AppSettings& settings,
                                   QWidget* parent)
    : KalvoraDialog(parent), ui_(std::make_unique<Ui::StationFields>()), settings_(settings) {
  ui_->setupUi(body());
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
  echo_->start(*station, settings_);
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
