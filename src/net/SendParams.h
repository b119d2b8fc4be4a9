#pragma once

#include <string>

struct AppSettings;

// What one send job is given: our own AE settings, the station and the folder to send.
struct SendParams {
  std::string callingAETitle;
  int maxPduSize = 16384;
  // Handed to DCMTK unchanged (DCMTK counts it in seconds); bounds every network wait.
  int networkTimeout = 1000;
  int correctUidPadding = 0;
  int proposeOnlyRequired = 0;
  int convertCompressed = 1;
  std::string calledAETitle;
  std::string peerHost;
  int peerPort = 0;
  std::string jobFolder;
};

// The parameters of a send of `jobFolder` to one station, with our side from the settings.
SendParams makeSendParams(const AppSettings& settings, const std::string& calledAETitle,
                          const std::string& peerHost, int peerPort, const std::string& jobFolder);
