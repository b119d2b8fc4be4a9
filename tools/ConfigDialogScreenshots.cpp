#include "ConfigDialogScreenshots.h"

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QTreeWidget>

#include <filesystem>

#include "app/config/CDicomDlg.h"
#include "app/config/CFiltersAddDlg.h"
#include "app/config/CFiltersDlg.h"
#include "app/config/CFiltersEditDlg.h"
#include "app/config/CFolderBrowser.h"
#include "app/config/COptionsDlg.h"
#include "app/config/CPasswordDlg.h"
#include "app/config/CQueryStationDlg.h"
#include "app/config/CRulesAddDlg.h"
#include "app/config/CRulesDlg.h"
#include "app/config/CRulesEditDlg.h"
#include "app/config/CStationsAddDlg.h"
#include "app/config/CStationsDlg.h"
#include "app/config/CStationsEditDlg.h"
#include "app/config/StationTlsStore.h"
#include "app/media/CEditAnonymizeDataDlg.h"
#include "config/KalvoraSettings.h"

namespace {

// The folder tree fills and sorts itself in the background.
void showAWhile(QWidget& window, int milliseconds) {
  window.show();
  QElapsedTimer waited;
  waited.start();
  while (waited.elapsed() < milliseconds) QApplication::processEvents(QEventLoop::AllEvents, 50);
}

void waitForTest(StationFieldsDlg& dialog) {
  QElapsedTimer waited;
  waited.start();
  while (dialog.testRunning() && waited.elapsed() < 10000)
    QApplication::processEvents(QEventLoop::AllEvents, 50);
}

}  // namespace

void saveConfigurationDialogs(const std::function<void(QWidget&, const char*)>& save,
                              const std::string& scratchFolder) {
  AppSettings settings;
  settings.tempFolder = scratchFolder + "/jobs";
  std::filesystem::create_directories(settings.tempFolder);
  settings.callingAeTitle = "FRONTDESK1";
  settings.timeoutMs = 3000;
  settings.standardDestination = 0;
  settings.useForwardRules = 1;
  settings.anonymizePatientId = 1;
  settings.anonymizedPatientId = "ANON0001";
  settings.anonymizePhysicians = 1;
  settings.physiciansName = "Anonymized";
  settings.birthdayToJanuaryFirst = 1;
  CStationArray stations;
  stations.Add({"PACS", "ARCHIVE01", "pacs.example.org", 104});
  stations.Add({"Cardiology viewer", "CARDVIEW", "10.20.1.15", 11112});
  stations.Add({"MR workstation", "MRWS2", "mr-ws2.example.org", 104});
  CRuleArray rules;
  rules.Add({8, 96, "XA", "Cardiology viewer"});
  rules.Add({8, 96, "MR", "MR workstation"});
  rules.Add({8, 128, "St. Mary Cardiology", "Cardiology viewer"});
  CFilterArray filters;
  filters.resetToDefaults();
  const LiveConfiguration config{settings, stations, rules, filters};

  COptionsDlg options(config);
  options.setWorkingFolder(scratchFolder);
  save(options, "options");
  CFolderBrowser browser(QString::fromStdString(settings.tempFolder));
  showAWhile(browser, 500);
  save(browser, "options-folder-browser");
  CPasswordDlg password;
  save(password, "password");
  CDicomDlg dicom(settings);
  save(dicom, "dicom-options");
  KalvoraSettings own;
  own.queryStation = QueryStation{"RISWORKLIST", "ris.example.org", 104, QueryModel::Worklist,
                                  TlsSettings{true, "/etc/kalvora/hospital-ca.pem", "", ""}};
  saveKalvoraSettings(scratchFolder, own);
  CQueryStationDlg queryStation(scratchFolder, settings);
  save(queryStation, "query-station");

  CStationsDlg stationList(stations, settings);
  save(stationList, "station-list");
  CStationsAddDlg addStation(stations, settings);
  save(addStation, "station-add");
  // A station reached over TLS, with a certificate of ours.
  std::map<std::string, StationOptions> stationOptions;
  stationOptions["PACS"].tls = {true, "/etc/kalvora/hospital-ca.pem",
                                "/home/clerk/.config/kalvora/kalvora.pem",
                                "/home/clerk/.config/kalvora/kalvora.key"};
  const StationTlsStore tlsStore{scratchFolder, &stationOptions};
  CStationsEditDlg tlsStation(stations, 0, settings, nullptr, &tlsStore);
  save(tlsStation, "station-edit-tls");
  // The station test as it reports a station that does not answer.
  CStationsEditDlg editStation(stations, 0, settings);
  editStation.findChild<QLineEdit*>(QStringLiteral("address"))->setText("127.0.0.1");
  editStation.findChild<QLineEdit*>(QStringLiteral("port"))->setText("9");
  editStation.testStation();
  waitForTest(editStation);
  save(editStation, "station-edit-tested");

  CRulesDlg ruleList(rules, stations);
  save(ruleList, "rule-list");
  CRulesAddDlg addRule(rules, stations);
  save(addRule, "rule-add");
  CRulesEditDlg editRule(rules, 0, stations);
  save(editRule, "rule-edit");

  CFiltersDlg filterList(filters);
  save(filterList, "filter-list");
  CFiltersAddDlg addFilter(filters);
  save(addFilter, "filter-add");
  CFiltersEditDlg editFilter(filters, 4);
  save(editFilter, "filter-edit");

  CEditAnonymizeDataDlg anonymization(settings);
  save(anonymization, "anonymization-settings");
}
