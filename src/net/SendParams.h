#pragma once

#include <optional>
#include <set>
#include <string>

#include "config/TlsSettings.h"

struct AppSettings;

// What one send job is given: our own AE settings, the station and the folder to send.
struct SendParams {
  // Our side, from the settings; by default as the default settings give it.
  std::string callingAETitle;
  int maxPduSize;
  int networkTimeout;  // milliseconds: connect, association, release (a store waits longer)
  int correctUidPadding;
  int proposeOnlyRequired;
  int convertCompressed;
  // The station and the job.
  std::string calledAETitle;
  std::string peerHost;
  int peerPort = 0;
  // Associations opened to the station at once, each taking the next file not yet taken.
  int associations = 1;
  // How every association with the station is secured.
  TlsSettings tls;
  std::string jobFolder;
  // Bare names of files this station stored before: a resend leaves them out.
  std::set<std::string> storedAlready;
  // When set, only these bare names are sent (the copies a job's journal records); the
  // folder's other entries are left to the job, which names them.
  std::optional<std::set<std::string>> onlyFiles;

  SendParams();
};

// The parameters of a send of `jobFolder` to one station, with our side from the settings.
SendParams makeSendParams(const AppSettings& settings, const std::string& calledAETitle,
                          const std::string& peerHost, int peerPort, const std::string& jobFolder);
