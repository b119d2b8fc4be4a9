#include "net/FileTransfer.h"

#include <algorithm>

int countTransfers(const std::vector<FileTransfer>& transfers, FileTransfer::Outcome outcome) {
  return static_cast<int>(
      std::count_if(transfers.begin(), transfers.end(),
                    [&](const FileTransfer& t) { return t.outcome == outcome; }));
}
