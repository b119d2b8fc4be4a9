#include "cli/CliPrompts.h"

#include <algorithm>
#include <iostream>
#include <string>

#include "cli/PatientMatchText.h"
#include "cli/Terminal.h"
#include "config/CStationArray.h"

namespace {

// The terminal is held to write, never while the user types.
void say(const std::string& text) {
  std::lock_guard<std::mutex> terminal(terminalMutex());
  std::cerr << text << std::flush;
}

std::string askLine(const std::string& prompt, bool& endOfInput) {
  say(prompt);
  std::string line;
  endOfInput = !std::getline(std::cin, line);
  return line;
}

struct QuestionWaiting {
  QuestionWaiting() { questionWaiting() = true; }
  ~QuestionWaiting() { questionWaiting() = false; }
};

std::string secondsText(std::chrono::milliseconds pause) {
  const long long ms = pause.count();
  if (ms % 1000 == 0) return std::to_string(ms / 1000) + " s";
  return std::to_string(ms / 1000) + "." + std::to_string(ms % 1000 / 100) + " s";
}

// Shown day first, as the dialog does for a full date.
std::string displayBirthDate(const std::string& date) {
  if (date.size() != 8) return date;
  return date.substr(6, 2) + "/" + date.substr(4, 2) + "/" + date.substr(0, 4);
}

// An empty answer takes the value offered in brackets.
std::string askWithDefault(const std::string& prompt, const std::string& offered, bool& end) {
  const std::string line =
      askLine(offered.empty() ? prompt + ": " : prompt + " [" + offered + "]: ", end);
  return line.empty() ? offered : line;
}

}  // namespace

std::optional<PatientMatch> CliPrompts::pickMatch(const NewPatientDataQuestion& question) {
  PatientQuery query(*patientQuery);
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (cancel_) return std::nullopt;
    runningQuery_ = &query;
  }
  say("Asking the query station " + describeQueryStation(patientQuery->station) + " ...\n");
  const PatientQueryResult result =
      query.run({familyNameOf(question.patientName), question.birthDate, question.sex});
  {
    std::lock_guard<std::mutex> lock(mutex_);
    runningQuery_ = nullptr;
  }
  if (!result.ok) {
    say(result.message + "\nType the new data by hand.\n");
    return std::nullopt;
  }
  if (result.matches.empty()) {
    say("The query station knows no patient with this name, birth date and sex.\n");
    return std::nullopt;
  }
  std::string list = "Matches of the query station:\n";
  for (size_t i = 0; i < result.matches.size(); ++i)
    list += "  " + std::to_string(i + 1) + ") " + matchLine(result.matches[i]) + "\n";
  if (result.truncated) list += "  (more matches than these: type the data by hand if none fits)\n";
  say(list);
  bool end = false;
  const std::string line = askLine("Pick a match by number (empty: type by hand): ", end);
  try {
    const size_t number = std::stoul(line);
    if (!end && number >= 1 && number <= result.matches.size()) return result.matches[number - 1];
  } catch (...) {
  }
  return std::nullopt;
}

std::optional<NewPatientDataAnswer> CliPrompts::askNewPatientData(
    const NewPatientDataQuestion& question) {
  if (patientData) {
    NewPatientDataAnswer answer = *patientData;
    if (answer.newPatientId.empty()) answer.newPatientId = question.patientId;
    return answer;
  }
  if (!interactive) return std::nullopt;

  QuestionWaiting waiting;
  say("\nChange Patient ID / Accession Number / Patients Name\n  Patient ID:       " +
      question.patientId + "\n  Accession number: " + question.accessionNumber +
      "\n  Patients name:    " + question.patientName + "\n  Birthdate:        " +
      displayBirthDate(question.birthDate) + "\n  Modality:         " + question.modality +
      "\n(empty answer keeps the current value; end of input cancels)\n");
  // A match only offers its values: each is still confirmed (or replaced) below.
  const std::optional<PatientMatch> match =
      patientQuery ? pickMatch(question) : std::optional<PatientMatch>();
  bool end = false;
  NewPatientDataAnswer answer;
  answer.newPatientId = askWithDefault("New patient ID", match ? match->patientId : "", end);
  if (end) return std::nullopt;
  if (answer.newPatientId.empty()) answer.newPatientId = question.patientId;
  answer.newAccessionNumber =
      askWithDefault("New accession number", match ? match->accessionNumber : "", end);
  if (end) return std::nullopt;
  answer.newPatientName = askWithDefault("New patients name", match ? match->patientName : "", end);
  if (end) return std::nullopt;
  if (match && answer.newPatientId == match->patientId)
    answer.chosenMatch = describeChosenMatch(*match, patientQuery->station);
  return answer;
}

// --retry N answers the question Yes N times per send, then No; either way a line says so. A
// Yes is given only after a pause that doubles from kFirstRetryPause up to
// kLongestRetryPause: a station that is down is not hammered, and a large N cannot flood
// the terminal.
bool CliPrompts::askRetryAssociation(const AssociationRetryQuestion& question) {
  std::unique_lock<std::mutex> lock(mutex_);
  int& used = retriesUsed_[std::this_thread::get_id()];
  const bool retry = !cancel_ && used < retries;
  if (retry) ++used;
  const std::chrono::milliseconds pause = std::min<std::chrono::milliseconds>(
      kFirstRetryPause * (1 << std::min(std::max(used - 1, 0), 16)), kLongestRetryPause);
  {
    // Nobody is asked: a statement of what was done, not a question answered for the user.
    std::lock_guard<std::mutex> terminal(terminalMutex());
    std::cerr << "Association to '" << question.calledAeTitle << "' failed";
    if (!question.reason.empty()) std::cerr << " (" << question.reason << ")";
    if (retry)
      std::cerr << "; retry " << used << " of " << retries << " in " << secondsText(pause) << "\n";
    else if (retries == 0)
      std::cerr << "; not retried (use --retry N)\n";
    else
      std::cerr << "; not retried again (" << retries << " retries used)\n";
  }
  return retry && !cancelled_.wait_for(lock, pause, [this] { return cancel_; });
}

void CliPrompts::cancel() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    cancel_ = true;
    if (runningQuery_) runningQuery_->cut();
  }
  cancelled_.notify_all();
}

std::optional<StationChoice> CliPrompts::chooseStation(const CStationArray& stations) {
  if (station) return station;
  if (!interactive || stations.GetSize() == 0) return std::nullopt;

  QuestionWaiting waiting;
  std::string list = "\nNo destination is configured. Stations:\n";
  for (int i = 0; i < stations.GetSize(); ++i)
    list += "  " + std::to_string(i + 1) + ") " + stations[i].alias + " (" + stations[i].aeTitle +
            " at " + stations[i].host + ":" + std::to_string(stations[i].port) + ")\n";
  say(list);
  bool end = false;
  const std::string line = askLine("Send to station number (empty cancels): ", end);
  try {
    const int index = std::stoi(line) - 1;
    if (!end && stations.isValidIndex(index))
      return StationChoice{stations[index].aeTitle, stations[index].host, stations[index].port};
  } catch (...) {
  }
  return std::nullopt;
}
