#include <gtest/gtest.h>

#include <set>

#include "HostileMedium.h"
#include "SendJobHarness.h"
#include "StoreScpPeer.h"
#include "TempDir.h"
#include "net/StoreScu.h"

// The hostile regression medium as a job folder, sent with conversion on in both proposal
// modes: the job ends normally, every file has its outcome, the good images arrive.
TEST(HostileSend, EveryFileHasItsOutcomeAndTheGoodOnesArrive) {
  TempDir job;
  const std::vector<HostileFile> files = writeHostileMedium(job.path());
  int unloadable = 0;
  for (const HostileFile& file : files) unloadable += file.loadable ? 0 : 1;

  for (const int proposeOnlyRequired : {0, 1}) {
    TempDir received;
    StoreScpPeer peer(received.path());
    ScriptedPrompts prompts;
    SendParams params = loopbackParams(job.path(), peer.port());
    params.convertCompressed = 1;
    params.proposeOnlyRequired = proposeOnlyRequired;

    const SendRun run = runSendJob(params, prompts);

    ASSERT_TRUE(run.finished()) << "mode " << proposeOnlyRequired;
    std::set<std::string> outcomes;
    for (const SendProgress& report : run.reports) {
      if (report.event == FileSent || report.event == FileFailed) {
        EXPECT_TRUE(outcomes.insert(report.currentFile).second) << report.currentFile;
      }
    }
    EXPECT_TRUE(outcomes.count(job / "good.dcm")) << "mode " << proposeOnlyRequired;
    EXPECT_TRUE(outcomes.count(job / "good-rle.dcm")) << "mode " << proposeOnlyRequired;
    EXPECT_GE(run.count(FileSent), 2);
    if (proposeOnlyRequired) {
      // Files without readable UIDs are left out when the folder is read.
      EXPECT_EQ(outcomes.size(), files.size() - unloadable);
    } else {
      EXPECT_EQ(outcomes.size(), files.size());
      EXPECT_GE(run.count(FileFailed), unloadable);
    }
  }
}
