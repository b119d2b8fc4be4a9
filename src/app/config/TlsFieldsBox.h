#pragma once

#include <QGroupBox>

#include "config/TlsSettings.h"

class QLineEdit;

// The TLS fields the station dialogs share: a checkable group "Use TLS" with the trusted
// certificates (a file or a folder), our own certificate and its private key, each with a
// browse button. Checks nothing itself: the dialogs validate what it gives.
class TlsFieldsBox : public QGroupBox {
  Q_OBJECT
 public:
  // `labelSuffix` follows each label, as the dialog's other labels have it (":" or none).
  explicit TlsFieldsBox(QWidget* parent = nullptr, const QString& labelSuffix = {});

  void showSettings(const TlsSettings& tls);
  TlsSettings typedSettings() const;
  // The box and its fields in the order Tab visits them.
  QList<QWidget*> tabChain() const { return tabChain_; }

 private:
  QLineEdit* addPathRow(int row, const QString& label, const QString& objectName,
                        const QString& toolTip);

  QString labelSuffix_;
  void browse(QLineEdit* field);

  QLineEdit* trustedCertificates_;
  QLineEdit* clientCertificate_;
  QLineEdit* clientKey_;
  QList<QWidget*> tabChain_;
};
