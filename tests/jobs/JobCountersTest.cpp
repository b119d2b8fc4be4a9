#include <gtest/gtest.h>

#include "jobs/JobCounters.h"

TEST(JobCounters, StoppedScanMovesItsCopiesToErrors) {
  JobCounters counters;
  EXPECT_EQ(counters.scanFilesLabel, "-");
  counters.scanStarted();
  for (int i = 0; i < 5; ++i) counters.fileCopied();
  counters.fileNotCopied();
  counters.scanStopped(5);
  EXPECT_EQ(counters.scanFiles, 0);
  EXPECT_EQ(counters.scanErrors, 6);
  EXPECT_EQ(counters.scanFilesLabel, "0");
  EXPECT_EQ(counters.scanErrorsLabel, "6");
  EXPECT_FALSE(counters.busy);
  EXPECT_EQ(counters.scanIcon, StatusIcon::Idle);
}

TEST(JobCounters, BusyUntilTheLastWorkerEnds) {
  JobCounters counters;
  counters.scanStarted();
  counters.scanStarted();
  counters.scanEnded();
  EXPECT_TRUE(counters.busy);
  counters.sendStarted();
  counters.scanEnded();
  EXPECT_TRUE(counters.busy);
  counters.sendEnded(0, 0);
  EXPECT_FALSE(counters.busy);
  counters.scanEnded();  // never below zero
  EXPECT_EQ(counters.scansRunning, 0);
}

// Each file not stored is one error, whether it failed or was never attempted.
TEST(JobCounters, AFailedSendCountsEachFileItDidNotStoreOnce) {
  JobCounters counters;
  counters.sendStarted();
  counters.fileNotSent();  // the file being stored when the peer went away
  counters.sendFailed();
  EXPECT_EQ(counters.sendErrors, 1);
  EXPECT_EQ(counters.sendIcon, StatusIcon::Error);
  counters.sendEnded(7, 6);  // 7 left of the queue, 6 of them never attempted
  EXPECT_EQ(counters.sendErrors, 7);
  EXPECT_EQ(counters.sendErrorsLabel, "7");
  EXPECT_EQ(counters.sendFilesLabel, "-");
}
