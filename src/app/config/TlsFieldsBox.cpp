#include "app/config/TlsFieldsBox.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

TlsFieldsBox::TlsFieldsBox(QWidget* parent, const QString& labelSuffix)
    : QGroupBox(QStringLiteral("Use TLS"), parent), labelSuffix_(labelSuffix) {
  setObjectName(QStringLiteral("tlsGroup"));
  setCheckable(true);
  setChecked(false);
  setToolTip(
      QStringLiteral("Reach the station over TLS only; its certificate must be signed "
                     "by a trusted authority"));
  auto* grid = new QGridLayout(this);
  grid->setColumnStretch(1, 1);
  tabChain_.append(this);
  trustedCertificates_ = addPathRow(
      0, QStringLiteral("Trusted CA"), QStringLiteral("trustedCertificates"),
      QStringLiteral("PEM file (or folder) of the authorities whose certificates are trusted"));
  clientCertificate_ =
      addPathRow(1, QStringLiteral("Certificate"), QStringLiteral("clientCertificate"),
                 QStringLiteral("Our own certificate (PEM), for a station that "
                                "asks for one; optional"));
  clientKey_ = addPathRow(2, QStringLiteral("Private key"), QStringLiteral("clientKey"),
                          QStringLiteral("The certificate's private key (PEM, no pass phrase), "
                                         "readable by you alone (mode 0600)"));
}

QLineEdit* TlsFieldsBox::addPathRow(int row, const QString& label, const QString& objectName,
                                    const QString& toolTip) {
  auto* grid = static_cast<QGridLayout*>(layout());
  auto* field = new QLineEdit(this);
  field->setObjectName(objectName);
  field->setToolTip(toolTip);
  // Room for a whole path as a site keeps its certificates.
  field->setMinimumWidth(field->fontMetrics().averageCharWidth() * 44);
  auto* caption = new QLabel(label + labelSuffix_, this);
  caption->setBuddy(field);
  auto* browseButton = new QPushButton(QStringLiteral("..."), this);
  browseButton->setObjectName(objectName + QStringLiteral("Browse"));
  browseButton->setAutoDefault(false);
  browseButton->setFixedWidth(browseButton->fontMetrics().horizontalAdvance(QStringLiteral("...")) +
                              16);
  connect(browseButton, &QPushButton::clicked, this, [this, field] { browse(field); });
  tabChain_.append({field, browseButton});
  grid->addWidget(caption, row, 0);
  grid->addWidget(field, row, 1);
  grid->addWidget(browseButton, row, 2);
  return field;
}

void TlsFieldsBox::browse(QLineEdit* field) {
  const QString start = field->text().isEmpty() ? QString() : QFileInfo(field->text()).path();
  const QString chosen = QFileDialog::getOpenFileName(
      this, QStringLiteral("Kalvora - Choose a file"), start,
      QStringLiteral("PEM files (*.pem *.crt *.cer *.key);;All files (*)"));
  if (!chosen.isEmpty()) field->setText(chosen);
}

void TlsFieldsBox::showSettings(const TlsSettings& tls) {
  setChecked(tls.enabled);
  trustedCertificates_->setText(QString::fromStdString(tls.trustedCertificates));
  clientCertificate_->setText(QString::fromStdString(tls.clientCertificate));
  clientKey_->setText(QString::fromStdString(tls.clientKey));
}

TlsSettings TlsFieldsBox::typedSettings() const {
  return {isChecked(), trustedCertificates_->text().trimmed().toStdString(),
          clientCertificate_->text().trimmed().toStdString(),
          clientKey_->text().trimmed().toStdString()};
}
