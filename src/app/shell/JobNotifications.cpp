#include "app/shell/JobNotifications.h"

#include <QStringList>

#include "jobs/ImportJob.h"
#include "jobs/KalvoraEngine.h"

namespace {

// The last line of a job's log: why it was not delivered.
QString lastLogLine(const std::string& log) {
  const QStringList lines =
      QString::fromStdString(log).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
  for (auto line = lines.rbegin(); line != lines.rend(); ++line) {
    const QString trimmed = line->trimmed();
    if (!trimmed.isEmpty()) return trimmed;
  }
  return {};
}

}  // namespace

QString JobNotifications::stationName(const SendProgress& progress) const {
  const CStationArray& stations = engine_.stations;
  for (int i = 0; i < stations.GetSize(); ++i)
    if (stations[i].aeTitle == progress.destination &&
        stations[i].host == progress.destinationHost &&
        stations[i].port == progress.destinationPort)
      return QString::fromStdString(stations[i].alias);
  return QString::fromStdString(progress.destination);
}

void JobNotifications::sendFinished(const SendProgress& progress) {
  Followed& job = jobs_[progress.jobFolder];
  job.imagesStored += progress.filesSent;
  if (progress.filesSent == 0) return;
  const std::string name = stationName(progress).toStdString();
  if (!job.stations.empty()) job.stations += ", ";
  job.stations += name;
}

std::optional<JobNotifications::Message> JobNotifications::jobChanged(int index) {
  const JobList& list = engine_.jobs();
  if (index < 0 || index >= list.size()) return std::nullopt;
  const ImportJob& job = list[index];
  Followed& followed = jobs_[job.jobFolder];
  const std::string before = followed.status;
  followed.status = job.status;
  // Told once, on the change; a job found Failed at start is shown in the list instead.
  if (before.empty() || before == job.status) return std::nullopt;

  const QString patients = QString::fromStdString(list.PatientsText(index));
  const QString medium = QStringLiteral("Media #%1").arg(QString::fromStdString(job.number));
  const QString who = patients.isEmpty() ? medium : patients;
  Message message;
  message.title = QStringLiteral("Kalvora - %1").arg(medium);
  if (job.status == jobStatusText(JobStatus::Finished)) {
    message.text = QStringLiteral("%1 images of %2 stored at %3")
                       .arg(followed.imagesStored)
                       .arg(who, QString::fromStdString(followed.stations));
    followed.imagesStored = 0;
    followed.stations.clear();
    return message;
  }
  if (job.status == jobStatusText(JobStatus::Failed)) {
    message.problem = true;
    message.text = QStringLiteral(
                       "%1 not delivered: %2\nThe job is kept; send it again from its "
                       "status window.")
                       .arg(who, lastLogLine(job.log));
    followed.imagesStored = 0;
    followed.stations.clear();
    return message;
  }
  return std::nullopt;
}
