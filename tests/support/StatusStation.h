#pragma once

#include <memory>
#include <string>
#include <thread>
#include <vector>

#include <dcmtk/config/osconfig.h>
#include <dcmtk/ofstd/oftypes.h>

// A storage station made with DCMTK on a free port that takes every C-STORE and answers it
// with one chosen status: a warning (0xB000, 0xB006, 0xB007) or a refusal. storescp only
// ever answers success or its own failures. Talk to it on 127.0.0.1.
class StatusStation {
 public:
  explicit StatusStation(Uint16 status, const std::string& aeTitle = "STORESCP");
  ~StatusStation();
  StatusStation(const StatusStation&) = delete;
  StatusStation& operator=(const StatusStation&) = delete;

  int port() const { return port_; }
  // SOP Instance UIDs of the data sets received, in order.
  std::vector<std::string> receivedInstances() const;

  class Provider;

 private:
  std::unique_ptr<Provider> provider_;
  std::thread listener_;
  int port_ = 0;
};
