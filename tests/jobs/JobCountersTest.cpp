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
  counters.sendEnded(0);
  EXPECT_FALSE(counters.busy);
  counters.scanEnded();  // never below zero
  EXPECT_EQ(counters.scansRunning, 0);
}

TEST(JobCounters, FailedAssociationCountsTheRemainingFiles) {
  JobCounters counters;
  counters.sendStarted();
  counters.fileNotSent();
  counters.sendFailed(7);
  EXPECT_EQ(counters.sendErrors, 8);
  counters.sendEnded(7);
  EXPECT_EQ(counters.sendErrors, 8);
  EXPECT_EQ(counters.sendErrorsLabel, "7");
  EXPECT_EQ(counters.sendFilesLabel, "-");
}
