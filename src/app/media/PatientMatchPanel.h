#pragma once

#include <QWidget>

#include <optional>
#include <string>
#include <vector>

#include "net/PatientQuery.h"

class QLabel;
class QListWidget;
class QPushButton;
class PatientQueryWorker;

// What the new patient data question may offer: the query station to ask, or why it
// cannot be asked (a settings file that cannot be read).
struct PatientQueryOffer {
  std::optional<PatientQueryParams> params;
  std::string problem;
};

// Reads the query station from the working folder's kalvora.json; nothing offered when
// none is set up.
PatientQueryOffer patientQueryOffer(const std::string& workingFolder, const std::string& callingAe,
                                    int timeoutMs, int maxPduSize);

// "Find" in the new patient data question: asks the query station for the file's patient
// and lists the matches. Choosing one only reports it; nothing is chosen by itself.
class PatientMatchPanel : public QWidget {
  Q_OBJECT
 public:
  PatientMatchPanel(PatientQueryOffer offer, PatientQueryKeys keys, QWidget* parent = nullptr);
  ~PatientMatchPanel() override;

  const QueryStation* station() const;

 Q_SIGNALS:
  void matchChosen(const PatientMatch& match);

 private:
  void find();
  void showResult(const PatientQueryResult& result);
  void choose(int row);

  PatientQueryOffer offer_;
  PatientQueryKeys keys_;
  std::vector<PatientMatch> matches_;
  QPushButton* findButton_;
  QLabel* status_;
  QListWidget* list_;
  PatientQueryWorker* worker_;
};
