#include <gtest/gtest.h>

#include "jobs/JobList.h"

TEST(JobList, NumbersCountFromOneAndReportsFindTheFirstJobOfAFolder) {
  JobList jobs;
  for (int i = 0; i < 10; ++i) jobs.AddJob("/tmp/job" + std::to_string(i), "Copying", "");
  EXPECT_EQ(jobs[0].number, "1");
  EXPECT_EQ(jobs[9].number, "10");

  const int first = jobs.AddJob("/tmp/same", "Copying", "first\r\n");
  const int second = jobs.AddJob("/tmp/same", "Copying", "second\r\n");
  jobs.SetJobStatus("/tmp/same", "Pending");
  jobs.AppendJobLog("/tmp/same", "more\r\n");
  EXPECT_EQ(jobs[first].status, "Pending");
  EXPECT_EQ(jobs[first].log, "first\r\nmore\r\n");
  EXPECT_EQ(jobs[second].status, "Copying");
  EXPECT_EQ(jobs[second].log, "second\r\n");

  // A stray report changes nothing.
  jobs.SetJobStatus("/tmp/SAME", "Finished");
  EXPECT_FALSE(jobs.AddJobPatient("/tmp/other", "X", "1"));
  EXPECT_EQ(jobs.size(), 12);
  EXPECT_EQ(jobs.FindJob("/tmp/same/"), -1);
}

TEST(JobList, PatientsAreKeyedByExactIdAndKeepTheirFirstName) {
  JobList jobs;
  const int index = jobs.AddJob("/j", "Copying", "");
  EXPECT_TRUE(jobs.AddJobPatient("/j", "DOE^JOHN", "123"));
  EXPECT_FALSE(jobs.AddJobPatient("/j", "DOE^J", "123"));
  EXPECT_TRUE(jobs.AddJobPatient("/j", "ROE^ANN", "abc"));
  EXPECT_TRUE(jobs.AddJobPatient("/j", "ROE^ANN", "ABC"));
  EXPECT_TRUE(jobs.AddJobPatient("/j", "", ""));

  const auto& patients = jobs[index].patients;
  ASSERT_EQ(patients.size(), 4u);
  EXPECT_EQ(patients[0].name, "DOE JOHN");
  EXPECT_EQ(patients[0].imageCount, 2);
  EXPECT_EQ(jobs.PatientsText(index), "DOE JOHN, ROE ANN, ROE ANN, ");
  EXPECT_EQ(jobs.PatientsText(jobs.AddJob("/k", "Copying", "")), "");
}
