#pragma once

#include <memory>
#include <optional>

#include "app/shell/KalvoraDialog.h"
#include "net/PatientMatch.h"
#include "workers/UserPrompts.h"

class PatientMatchPanel;
struct PatientQueryOffer;

namespace Ui {
class CQueryNewPatientIDDlg;
}

// Asks for a new patient ID, accession number and name for one patient and modality
// of a medium, showing what the file holds now.
class CQueryNewPatientIDDlg : public KalvoraDialog {
  Q_OBJECT
 public:
  explicit CQueryNewPatientIDDlg(const NewPatientDataQuestion& current, QWidget* parent = nullptr);
  ~CQueryNewPatientIDDlg() override;

  // What the "New data" fields hold; with the match they came from, while its ID stands.
  NewPatientDataAnswer answer() const;

  // Adds "Find": the query station's matches for this patient, one of which the user may
  // pick to fill the new data (still to be confirmed with OK).
  void offerPatientQuery(PatientQueryOffer offer);

  void accept() override;

 private:
  void useMatch(const PatientMatch& match);

  std::unique_ptr<Ui::CQueryNewPatientIDDlg> ui_;
  NewPatientDataQuestion current_;
  PatientMatchPanel* matchPanel_ = nullptr;
  std::optional<PatientMatch> chosen_;
};
