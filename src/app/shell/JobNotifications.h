#pragma once

#include <QString>

#include <map>
#include <optional>
#include <string>

#include "net/SendProgress.h"

class KalvoraEngine;

// What the tray says when a medium is done: delivered, or not delivered and kept. Follows
// the jobs' states on the main thread and tells each job's end once.
class JobNotifications {
 public:
  struct Message {
    QString title;
    QString text;
    bool problem = false;
  };

  explicit JobNotifications(const KalvoraEngine& engine) : engine_(engine) {}

  // A send of a job has ended: its station and the files it stored go into the message.
  void sendFinished(const SendProgress& progress);
  // The job at `index` may have changed state: the message its end calls for, if any.
  std::optional<Message> jobChanged(int index);

 private:
  struct Followed {
    std::string status;
    int imagesStored = 0;
    std::string stations;  // aliases, comma separated, in the order their sends ended
  };
  QString stationName(const SendProgress& progress) const;

  const KalvoraEngine& engine_;
  std::map<std::string, Followed> jobs_;  // by job folder
};
