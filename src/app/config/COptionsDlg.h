#pragma once

#include <memory>
#include <string>

#include "app/config/LiveConfiguration.h"
#include "app/shell/KalvoraDialog.h"

namespace Ui {
class COptionsDlg;
}
class QPushButton;

// The general settings, and the way into every other configuration dialog. Its own
// fields reach the settings only by OK; the dialogs it opens store their changes when
// they are closed with OK, whatever happens to this one afterwards.
class COptionsDlg : public KalvoraDialog {
  Q_OBJECT
 public:
  explicit COptionsDlg(LiveConfiguration config, QWidget* parent = nullptr);
  ~COptionsDlg() override;

  void accept() override;

  void browseFolder();
  void editFilters();
  // Without stations no rule can name a destination: offers to define a station first.
  void editRules();
  void editAnonymization();
  // Both behind the configuration password.
  void editStations();
  void editDicomOptions();
  void editQueryStation();

  // The folder whose kalvora.json keeps the query station; the "Query station" button
  // shows only once it is known.
  void setWorkingFolder(std::string folder);

 private:
  // Entries in alias order; the one of the stored standard destination is selected.
  void fillDestinations();
  void showNoteForCompression();
  void showNoDestinationWarning();
  // The folder typed as it is to be stored; false (after saying why) when it cannot be.
  bool takeTempFolder(std::string& folder);

  std::unique_ptr<Ui::COptionsDlg> ui_;
  LiveConfiguration config_;
  std::string workingFolder_;
  QPushButton* queryStationButton_ = nullptr;
};
