#include "app/media/PatientMatchPanel.h"

#include <QGridLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>

#include "app/media/PatientQueryWorker.h"
#include "config/KalvoraSettings.h"

namespace {

QString birthDateForDisplay(const std::string& date) {
  const QString text = QString::fromStdString(date);
  if (text.size() != 8) return text;
  return text.mid(6, 2) + QLatin1Char('/') + text.mid(4, 2) + QLatin1Char('/') + text.left(4);
}

QString matchText(const PatientMatch& m) {
  QString text = QString::fromStdString(m.patientId);
  if (!m.issuer.empty()) text += QStringLiteral(" (%1)").arg(QString::fromStdString(m.issuer));
  text += QStringLiteral("  %1  %2  %3")
              .arg(QString::fromStdString(m.patientName), birthDateForDisplay(m.birthDate),
                   QString::fromStdString(m.sex));
  if (!m.accessionNumber.empty())
    text += QStringLiteral("  Acc. %1").arg(QString::fromStdString(m.accessionNumber));
  if (!m.scheduledProcedure.empty())
    text += QStringLiteral("  %1").arg(QString::fromStdString(m.scheduledProcedure));
  return text;
}

}  // namespace

PatientQueryOffer patientQueryOffer(const std::string& workingFolder, const std::string& callingAe,
                                    int timeoutMs, int maxPduSize) {
  KalvoraSettings settings;
  if (auto problem = loadKalvoraSettings(workingFolder, settings)) return {std::nullopt, *problem};
  if (!settings.queryStation) return {};
  return {PatientQueryParams{callingAe, *settings.queryStation, timeoutMs, maxPduSize}, {}};
}

PatientMatchPanel::PatientMatchPanel(PatientQueryOffer offer, PatientQueryKeys keys,
                                     QWidget* parent)
    : QWidget(parent),
      offer_(std::move(offer)),
      keys_(std::move(keys)),
      findButton_(new QPushButton(QStringLiteral("Find"), this)),
      status_(new QLabel(this)),
      list_(new QListWidget(this)),
      worker_(new PatientQueryWorker(this)) {
  setObjectName(QStringLiteral("patientMatchPanel"));
  findButton_->setObjectName(QStringLiteral("findButton"));
  status_->setObjectName(QStringLiteral("findStatus"));
  list_->setObjectName(QStringLiteral("matchList"));
  status_->setWordWrap(true);
  list_->setMaximumHeight(110);
  list_->hide();
  findButton_->setAutoDefault(false);

  auto* layout = new QGridLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(findButton_, 0, 0);
  layout->addWidget(status_, 0, 1);
  layout->addWidget(list_, 1, 0, 1, 2);
  layout->setColumnStretch(1, 1);

  if (offer_.params) {
    findButton_->setToolTip(
        QStringLiteral("Ask %1 for this patient by family name, birth date "
                       "and sex")
            .arg(QString::fromStdString(describeQueryStation(offer_.params->station))));
  } else {
    findButton_->setEnabled(false);
    status_->setText(QString::fromStdString(offer_.problem));
  }
  connect(findButton_, &QPushButton::clicked, this, &PatientMatchPanel::find);
  connect(worker_, &PatientQueryWorker::finished, this, &PatientMatchPanel::showResult);
  // Only the user's own click or Enter chooses; a list of one is not taken by itself.
  connect(list_, &QListWidget::itemClicked, this,
          [this](QListWidgetItem* item) { choose(list_->row(item)); });
  connect(list_, &QListWidget::itemActivated, this,
          [this](QListWidgetItem* item) { choose(list_->row(item)); });
}

PatientMatchPanel::~PatientMatchPanel() = default;

const QueryStation* PatientMatchPanel::station() const {
  return offer_.params ? &offer_.params->station : nullptr;
}

void PatientMatchPanel::find() {
  if (!offer_.params || worker_->running()) return;
  findButton_->setEnabled(false);
  list_->clear();
  list_->hide();
  matches_.clear();
  status_->setText(QStringLiteral("Asking %1 ...")
                       .arg(QString::fromStdString(describeQueryStation(offer_.params->station))));
  worker_->start(*offer_.params, keys_);
}

void PatientMatchPanel::showResult(const PatientQueryResult& result) {
  findButton_->setEnabled(true);
  if (!result.ok) {
    status_->setText(QString::fromStdString(result.message) +
                     QStringLiteral("\nThe new data can still be typed in."));
    return;
  }
  matches_ = result.matches;
  if (matches_.empty()) {
    status_->setText(QStringLiteral("No patient with this name, birth date and sex is known."));
    return;
  }
  for (const PatientMatch& match : matches_) list_->addItem(matchText(match));
  list_->show();
  QString text =
      matches_.size() == 1
          ? QStringLiteral("1 match: click it to use its data.")
          : QStringLiteral("%1 matches: click one to use its data.").arg(matches_.size());
  if (result.truncated) text += QStringLiteral(" There are more; type the data if none fits.");
  status_->setText(text);
}

void PatientMatchPanel::choose(int row) {
  if (row < 0 || row >= static_cast<int>(matches_.size())) return;
  Q_EMIT matchChosen(matches_[static_cast<size_t>(row)]);
}
