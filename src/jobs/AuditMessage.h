#pragma once

#include <string>
#include <vector>

#include "jobs/AuditInstance.h"

// Audit records as DICOM's audit message schema has them (<AuditMessage> with event,
// participant and object identification), so that a hospital's audit repository reads
// them as it reads those of its other DICOM nodes. Each record is one line: nothing inside
// breaks a line, so a file of records is read line by line.

// DICOM's EventOutcomeIndicator.
enum class AuditOutcome { Success = 0, MinorFailure = 4, SeriousFailure = 8, MajorFailure = 12 };

struct AuditEventOutcome {
  AuditOutcome outcome = AuditOutcome::Success;
  std::string description;  // why it was not a success; "" for none
};

// Who acts, from where: the user who runs Kalvora and its process on this machine.
struct AuditActor {
  std::string loginName;  // "" when the system knows no name for the user
  long long userId = -1;
  std::string hostName;
  long long processId = 0;
  std::string processName = "kalvora";
  std::string aeTitle;  // our calling AE title, where the event has one
};

// The user and machine this process runs as and on.
AuditActor currentAuditActor();

// A medium read: where it is mounted and its volume label ("" when it has none).
struct AuditMedium {
  std::string mountPoint;
  std::string volumeLabel;
};

// A station sent to.
struct AuditStation {
  std::string alias;  // as the configuration names it; "" when none does
  std::string aeTitle;
  std::string host;
  int port = 0;
};

// "Import" (DCM 110107): the instances copied from a medium.
std::string importAuditMessage(const AuditActor& actor, const AuditMedium& medium,
                               const std::vector<AuditInstance>& instances,
                               const AuditEventOutcome& outcome);
// "DICOM Instances Transferred" (DCM 110104): the instances a station stored.
std::string transferAuditMessage(const AuditActor& actor, const AuditStation& station,
                                 const std::vector<AuditInstance>& instances,
                                 const AuditEventOutcome& outcome);
// "DICOM Study Deleted" (DCM 110105): the copies of a kept job removed when it was discarded.
std::string studyDeletedAuditMessage(const AuditActor& actor,
                                     const std::vector<AuditInstance>& instances,
                                     const AuditEventOutcome& outcome);
// "Security Alert" (DCM 110113) of the type "Software Configuration" (DCM 110131): the
// configuration files written, by path.
std::string configurationChangeAuditMessage(const AuditActor& actor,
                                            const std::vector<std::string>& files,
                                            const AuditEventOutcome& outcome);

// `text` as XML character data or attribute value. Bytes that are no UTF-8, and characters
// XML cannot hold, become U+FFFD; tab, line feed and carriage return become references.
std::string xmlEscaped(const std::string& text);
