#include <gtest/gtest.h>

#include "jobs/JobLog.h"

TEST(JobLog, ACopyWhosePatientDataWerePickedNamesTheMatchEvenWhenNotVerbose) {
  ScanProgress copied;
  copied.fileName = "IM1";
  const std::string picked =
      "INFO: New patient data of 'IM1' picked from the match H-0042 (HOSP) from WORKLIST at "
      "ris:104 (worklist)\r\n";
  EXPECT_EQ(scanLogLine(ScanEvent::FileCopied, copied, false), std::nullopt);

  copied.patientMatch = "H-0042 (HOSP) from WORKLIST at ris:104 (worklist)";
  EXPECT_EQ(scanLogLine(ScanEvent::FileCopied, copied, false), picked);
  EXPECT_EQ(scanLogLine(ScanEvent::FileCopied, copied, true),
            picked + "INFO: File 'IM1' copied\r\n");
}
