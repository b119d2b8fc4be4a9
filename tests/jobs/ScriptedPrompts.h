#pragma once

#include <atomic>
#include <chrono>
#include <functional>
#include <thread>

#include "config/CStationArray.h"
#include "workers/UserPrompts.h"

// Answers the engine's questions as a test scripts them.
class ScriptedPrompts : public UserPrompts {
 public:
  std::optional<StationChoice> station;
  bool retry = false;
  std::chrono::milliseconds patientQuestionDelay{0};
  std::atomic<int> stationQuestions{0};
  std::atomic<int> retryQuestions{0};

  std::optional<NewPatientDataAnswer> askNewPatientData(const NewPatientDataQuestion&) override {
    std::this_thread::sleep_for(patientQuestionDelay);
    return std::nullopt;
  }
  bool askRetryAssociation(const AssociationRetryQuestion&) override {
    ++retryQuestions;
    return retry;
  }
  std::optional<StationChoice> chooseStation(const CStationArray&) override {
    ++stationQuestions;
    return station;
  }
};
