#pragma once

#include <string>

#include "OrthancPeer.h"
#include "WorklistPeer.h"

// Stores one small CT image of the patient `entry` describes into the archive (as the AE
// title it accepts), so that a patient-level query finds the patient. Texts are written
// as given, in the declared character set. Throws when the store fails.
void storeOrthancPatient(const OrthancPeer& archive, const WorklistEntry& entry,
                         const std::string& scratchFolder);
