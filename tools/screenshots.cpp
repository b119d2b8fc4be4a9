// Renders every window of the desktop application with sample data to PNG files:
//   kalvora-screenshots <folder>
// Run with QT_QPA_PLATFORM=offscreen (and QT_SCALE_FACTOR=2 for the large pictures).
#include <dcmtk/oflog/oflog.h>

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QTreeWidget>

#include <cstdio>
#include <filesystem>

#include "ConfigDialogScreenshots.h"
#include "SampleMedium.h"
#include "app/config/CStationsErrorDlg.h"
#include "app/help/CHelpDlg.h"
#include "app/help/HelpFiles.h"
#include "app/media/CQueryNewPatientIDDlg.h"
#include "app/shell/CAboutBox.h"
#include "app/shell/CKalvoraDlg.h"
#include "app/shell/CSelectMediaDialog.h"
#include "app/shell/CStatusDlg.h"
#include "app/shell/GuiPrompts.h"
#include "app/shell/QtMainThreadPoster.h"
#include "config/ConfigFiles.h"
#include "jobs/KalvoraEngine.h"

namespace fs = std::filesystem;

namespace {

QString outputFolder;
int failures = 0;

void save(QWidget& window, const char* name) {
  // Shown at the size the application gives it: its layout's, or the one it chose.
  window.show();
  QApplication::processEvents();
  const QString path = QDir(outputFolder).filePath(QString::fromLatin1(name) + ".png");
  if (!window.grab().save(path)) {
    std::fprintf(stderr, "could not write %s\n", path.toLocal8Bit().constData());
    ++failures;
  } else {
    std::printf("%s\n", path.toLocal8Bit().constData());
  }
  window.hide();
}

CStationArray sampleStations() {
  CStationArray stations;
  stations.Add({"PACS", "ARCHIVE01", "pacs.example.org", 104});
  stations.Add({"Cardiology viewer", "CARDVIEW", "10.20.1.15", 11112});
  stations.Add({"MR workstation", "MRWS2", "mr-ws2.example.org", 104});
  return stations;
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setQuitOnLastWindowClosed(false);
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s <folder>\n", argv[0]);
    return 2;
  }
  outputFolder = QString::fromLocal8Bit(argv[1]);
  QDir().mkpath(outputFolder);
  OFLog::configure(OFLogger::FATAL_LOG_LEVEL);

  // A scratch working folder with a configuration and three read media.
  const QString scratch = QDir::temp().filePath(QStringLiteral("kalvora-screenshots-XXXXXX"));
  QByteArray pattern = scratch.toLocal8Bit();
  if (!mkdtemp(pattern.data())) return 1;
  const std::string work = pattern.constData();
  fs::create_directories(work + "/config");
  Configuration config;
  config.settings.tempFolder = work + "/jobs/";
  config.settings.verbose = 1;
  config.settings.windowX = 0;
  config.settings.windowY = 0;
  config.stations = sampleStations();
  config.settings.sendToStandardDestination = 1;
  config.settings.standardDestination = 0;
  saveConfiguration(work + "/config", config);
  setHelpFolders(QString::fromLocal8Bit(KALVORA_SOURCE_DIR), QString());

  QtMainThreadPoster mainThread;
  GuiPrompts prompts;
  KalvoraEngine engine(mainThread, prompts);
  engine.setSendAfterScan(false);
  {
    CKalvoraDlg window(engine, prompts, QString::fromStdString(work + "/config"));
    window.setAutomountControl([] { return AutomountSetting::Absent; }, [] { return false; });
    window.initialise();
    save(window, "main-window");

    const int patientsPerMedium[] = {1, 2, 3};
    for (int medium = 0; medium < 3; ++medium) {
      SampleMediumOptions options;
      options.images = 4 * patientsPerMedium[medium];
      options.patients = patientsPerMedium[medium];
      options.studiesPerPatient = 1;
      options.seriesPerStudy = 1;
      options.rows = options.columns = 32;
      const std::string root = work + "/medium" + std::to_string(medium + 1);
      makeSampleMedium(root, options);
      engine.StartScan(root);
      QElapsedTimer waited;
      waited.start();
      while ((engine.jobs().size() <= medium || engine.counters().busy) && waited.elapsed() < 30000)
        QApplication::processEvents(QEventLoop::AllEvents, 50);
    }
    window.toggleExpanded();
    save(window, "main-window-expanded");
    window.toggleExpanded();

    window.jobList()->setCurrentItem(window.jobList()->topLevelItem(1));
    CStatusDlg status(engine.jobs(), window.jobList());
    save(status, "status-window");
  }

  CSelectMediaDialog select({"/media/cdrom0", "/media/cdrom1"});
  save(select, "media-selection");
  CAboutBox about;
  save(about, "about-box");
  CHelpDlg help(nullptr, QStringLiteral("help_option.txt"));
  save(help, "help-window");
  CQueryNewPatientIDDlg patient(
      {"EXT-20394", "A7781203", "MUSTER^ERIKA", "19630517", "CT", "F", "", ""});
  save(patient, "new-patient-data");
  CQueryNewPatientIDDlg patientWithFind(
      {"EXT-20394", "A7781203", "MUSTER^ERIKA", "19630517", "CT", "F", "", ""});
  patientWithFind.offerPatientQuery(
      {PatientQueryParams{"KALVORA",
                          {"RISWORKLIST", "ris.example.org", 104, QueryModel::Worklist, {}},
                          1000,
                          16384},
       {}});
  save(patientWithFind, "new-patient-data-find");
  const CStationArray stations = sampleStations();
  CStationsErrorDlg choice(stations);
  save(choice, "station-choice");
  QMessageBox retry(QMessageBox::Critical, QStringLiteral("Kalvora"),
                    QStringLiteral("DICOM ERROR: The Request of the association to 'ARCHIVE01' "
                                   "failed.\nPerhaps the destination is not reachable at the "
                                   "moment. Do you want to retry?"),
                    QMessageBox::Yes | QMessageBox::No);
  save(retry, "retry-question");
  saveConfigurationDialogs(save, work);

  prompts.cancelAll();
  engine.Shutdown();
  fs::remove_all(work);
  return failures == 0 ? 0 : 1;
}
