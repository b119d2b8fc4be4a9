#include <QGroupBox>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

#include <sys/stat.h>

#include "DialogDriving.h"
#include "GuiTestRegistry.h"
#include "MessageBoxRecorder.h"
#include "StoreScpPeer.h"
#include "TempDir.h"
#include "TestCertificates.h"
#include "app/config/CStationsEditDlg.h"
#include "app/config/StationTlsStore.h"

// The TLS fields of the station dialogs: what OK keeps, what it refuses, and the Test
// button going over TLS.
class StationTlsDialogTest : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  void okKeepsAPrivateKeyAndRefusesOneOthersMayReadAndTestUsesTls() {
    TempDir work;
    TempDir received;
    const TestCertificates certs(work / "certs");
    StoreScpPeer peer(received.path(), {"+tls", certs.path("server.key"), certs.path("server.pem"),
                                        "+cf", certs.path("ca.pem"), "--require-peer-cert"});
    AppSettings settings;
    settings.timeoutMs = 5000;
    CStationArray stations;
    stations.Add({"PACS", peer.aeTitle(), "127.0.0.1", peer.port()});
    std::map<std::string, StationOptions> live;
    live["PACS"].associations = 2;
    const StationTlsStore store{work.path(), &live};

    CStationsEditDlg dialog(stations, 0, settings, nullptr, &store);
    dialog.show();
    auto* tls = control<QGroupBox>(&dialog, "tlsGroup");
    QVERIFY(!tls->isChecked());
    tls->setChecked(true);
    type(&dialog, "trustedCertificates", QString::fromStdString(certs.path("ca.pem")));
    type(&dialog, "clientCertificate", QString::fromStdString(certs.path("client.pem")));
    type(&dialog, "clientKey", QString::fromStdString(certs.path("client.key")));

    QSignalSpy finished(&dialog, &StationFieldsDlg::testFinished);
    dialog.testStation();
    QTRY_COMPARE_WITH_TIMEOUT(finished.size(), 1, 20000);
    QVERIFY2(finished.at(0).at(0).toBool(), qPrintable(dialog.testResult()));

    chmod(certs.path("client.key").c_str(), 0644);
    {
      MessageBoxRecorder boxes;
      dialog.accept();
      QCOMPARE(boxes.texts.size(), 1);
      QVERIFY2(boxes.texts.at(0).contains("chmod 600"), qPrintable(boxes.texts.at(0)));
    }
    QVERIFY(dialog.isVisible());
    QVERIFY(!live["PACS"].tls.enabled);
    KalvoraSettings stored;
    QCOMPARE(loadKalvoraSettings(work.path(), stored), std::nullopt);
    QVERIFY(!stationTls(stored, "PACS").enabled);

    chmod(certs.path("client.key").c_str(), 0600);
    dialog.accept();
    QVERIFY(!dialog.isVisible());
    const TlsSettings wanted{true, certs.path("ca.pem"), certs.path("client.pem"),
                             certs.path("client.key")};
    QVERIFY(live["PACS"].tls == wanted);
    QCOMPARE(live["PACS"].associations, 2);
    QCOMPARE(loadKalvoraSettings(work.path(), stored), std::nullopt);
    QVERIFY(stationTls(stored, "PACS") == wanted);

    // Opened again, the dialog shows what was kept.
    CStationsEditDlg again(stations, 0, settings, nullptr, &store);
    QVERIFY(control<QGroupBox>(&again, "tlsGroup")->isChecked());
    QCOMPARE(textOf(&again, "clientKey"), QString::fromStdString(certs.path("client.key")));

    // Renamed, the station keeps its TLS and its associations: they are keyed by its alias.
    type(&again, "alias", QStringLiteral("ARCHIVE"));
    again.accept();
    QCOMPARE(QString::fromStdString(stations[0].alias), QStringLiteral("ARCHIVE"));
    QVERIFY(live["ARCHIVE"].tls == wanted);
    QCOMPARE(live["ARCHIVE"].associations, 2);
    QCOMPARE(loadKalvoraSettings(work.path(), stored), std::nullopt);
    QVERIFY(stationTls(stored, "ARCHIVE") == wanted);
  }
};

KALVORA_GUI_TEST(StationTlsDialogTest);
#include "StationTlsDialogTest.moc"
