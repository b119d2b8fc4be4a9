#include "WorklistPeer.h"

#include <signal.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <stdexcept>
#include <vector>

#include "StoreScpPeer.h"
#include "ToolRun.h"

WorklistPeer::WorklistPeer(std::string aeTitle) : aeTitle_(std::move(aeTitle)) {
  const std::string station = folder_ / aeTitle_;
  mkdir(station.c_str(), 0700);
  writeFileBytes(station + "/lockfile", "");
  for (int attempt = 0; attempt < 5 && pid_ < 0; ++attempt) {
    port_ = freeLoopbackPort();
    const pid_t child = fork();
    if (child == 0) {
      prctl(PR_SET_PDEATHSIG, SIGKILL);
      if (!freopen("/dev/null", "a", stdout) || !freopen("/dev/null", "a", stderr)) _exit(126);
      const std::string port = std::to_string(port_);
      // -csk: answers declare the character set of their file, as a RIS's do.
      execlp("wlmscpfs", "wlmscpfs", "-csk", "-dfp", folder_.path().c_str(), port.c_str(),
             static_cast<char*>(nullptr));
      _exit(127);
    }
    if (waitForListener(port_, 5000) && waitpid(child, nullptr, WNOHANG) == 0) {
      pid_ = child;
    } else {
      kill(child, SIGKILL);
      waitpid(child, nullptr, 0);
    }
  }
  if (pid_ < 0) throw std::runtime_error("wlmscpfs did not start");
}

WorklistPeer::~WorklistPeer() {
  kill(pid_, SIGTERM);
  waitpid(pid_, nullptr, 0);
}

void WorklistPeer::add(const WorklistEntry& e) {
  // wlmscpfs ignores a file that lacks any attribute a worklist entry must have.
  std::string dump;
  if (!e.characterSet.empty()) dump += "(0008,0005) CS [" + e.characterSet + "]\n";
  dump += "(0008,0050) SH [" + e.accessionNumber + "]\n";
  dump += "(0008,0090) PN [REFERRING]\n";
  dump += "(0010,0010) PN [" + e.patientName + "]\n";
  dump += "(0010,0020) LO [" + e.patientId + "]\n";
  dump += "(0010,0021) LO [" + e.issuer + "]\n";
  dump += "(0010,0030) DA [" + e.birthDate + "]\n";
  dump += "(0010,0040) CS [" + e.sex + "]\n";
  dump += "(0020,000d) UI [1.2.826.0.1.3680043.2.1143." + std::to_string(entries_ + 1) + "]\n";
  dump += "(0032,1032) PN [REQUESTING]\n";
  dump += "(0032,1060) LO [" + e.procedure + "]\n";
  dump += "(0040,1001) SH [RP" + std::to_string(entries_ + 1) + "]\n";
  dump += "(0040,1003) SH [LOW]\n";
  dump += "(0040,0100) SQ (Sequence with undefined length)\n";
  dump += "  (fffe,e000) na (Item with undefined length)\n";
  dump += "    (0008,0060) CS [CT]\n";
  dump += "    (0040,0001) AE [CT1]\n";
  dump += "    (0040,0002) DA [20261210]\n";
  dump += "    (0040,0003) TM [1000]\n";
  dump += "    (0040,0006) PN [PERFORMING]\n";
  dump += "    (0040,0007) LO [" + e.procedure + "]\n";
  dump += "    (0040,0009) SH [SPS" + std::to_string(entries_ + 1) + "]\n";
  dump += "    (0040,0010) SH [STATION]\n";
  dump += "    (0040,0011) SH [ROOM 1]\n";
  dump += "  (fffe,e00d) na (ItemDelimitationItem)\n";
  dump += "(fffe,e0dd) na (SequenceDelimitationItem)\n";
  const std::string name = folder_ / ("entry" + std::to_string(++entries_));
  writeFileBytes(name + ".dump", dump);
  runTool(
      {"dump2dcm", name + ".dump", folder_ / (aeTitle_ + "/" + std::to_string(entries_) + ".wl")});
}
