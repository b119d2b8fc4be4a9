#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <thread>

#include "OrthancPatients.h"
#include "OrthancPeer.h"
#include "StoreScpPeer.h"
#include "TempDir.h"
#include "TestCertificates.h"
#include "WorklistPeer.h"
#include "net/PatientQuery.h"

namespace {

const std::string kMuellerUtf8 = "M\xC3\x9CLLER^J\xC3\x9CRGEN";
const std::string kAstroemUtf8 = "\xC3\x85STR\xC3\x96M^G\xC3\x96RAN";

// The hospital's patients, in the worklist and in the archive alike.
std::vector<WorklistEntry> hospitalPatients() {
  return {
      {"", "MUSTERMANN^ERIKA", "H-0042", "HOSP", "19800101", "F", "A-77", "CT Thorax"},
      {"", "MUSTERMANN^MAX", "H-0043", "HOSP", "19750505", "M", "A-78", "MR Knee"},
      {"ISO_IR 100", "M\xDCLLER^J\xDCRGEN", "H-0100", "HOSP", "19600202", "M", "A-80", "CR"},
      {"ISO_IR 192", kAstroemUtf8, "H-0101", "HOSP", "19700303", "M", "A-81", "US"},
  };
}

class PatientQueryTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    worklist_ = std::make_unique<WorklistPeer>("WORKLIST");
    archive_ = std::make_unique<OrthancPeer>("ARCHIVE", "KALVORA");
    scratch_ = std::make_unique<TempDir>();
    for (const WorklistEntry& patient : hospitalPatients()) {
      worklist_->add(patient);
      storeOrthancPatient(*archive_, patient, scratch_->path());
    }
  }
  static void TearDownTestSuite() {
    worklist_.reset();
    archive_.reset();
    scratch_.reset();
  }

  static PatientQueryParams params(QueryModel model) {
    PatientQueryParams p;
    p.callingAeTitle = "KALVORA";
    p.timeoutMs = 5000;
    if (model == QueryModel::Worklist)
      p.station = {worklist_->aeTitle(), "127.0.0.1", worklist_->port(), model, {}};
    else
      p.station = {archive_->aeTitle(), "127.0.0.1", archive_->dicomPort(), model, {}};
    return p;
  }

  static std::unique_ptr<WorklistPeer> worklist_;
  static std::unique_ptr<OrthancPeer> archive_;
  static std::unique_ptr<TempDir> scratch_;
};

std::unique_ptr<WorklistPeer> PatientQueryTest::worklist_;
std::unique_ptr<OrthancPeer> PatientQueryTest::archive_;
std::unique_ptr<TempDir> PatientQueryTest::scratch_;

std::vector<std::string> idsOf(const PatientQueryResult& result) {
  std::vector<std::string> ids;
  for (const PatientMatch& match : result.matches) ids.push_back(match.patientId);
  std::sort(ids.begin(), ids.end());
  return ids;
}

const PatientMatch* find(const PatientQueryResult& result, const std::string& id) {
  for (const PatientMatch& match : result.matches)
    if (match.patientId == id) return &match;
  return nullptr;
}

}  // namespace

TEST_F(PatientQueryTest, BothKindsOfStationFindTheFilesPatientByItsOwnData) {
  struct Case {
    PatientQueryKeys keys;
    std::vector<std::string> ids;
  };
  const Case cases[] = {
      {{"MUSTERMANN", "19800101", ""}, {"H-0042"}},
      {{"MUSTERMANN", "19750505", ""}, {"H-0043"}},  // same family, told apart by birth date
      {{"MUSTERMANN", "", "F"}, {"H-0042"}},
      {{"MUSTERMANN", "", ""}, {"H-0042", "H-0043"}},
      {{"MUSTER", "19800101", ""}, {"H-0042"}},  // the family name is a prefix
      {{"SCHMIDT", "", ""}, {}},
      {{"MUSTERMANN", "20000101", ""}, {}},
  };
  for (const QueryModel model : {QueryModel::Worklist, QueryModel::PatientRoot}) {
    for (const Case& c : cases) {
      SCOPED_TRACE(std::string(queryModelName(model)) + " " + c.keys.familyName + " " +
                   c.keys.birthDate + " " + c.keys.sex);
      const PatientQueryResult result = PatientQuery(params(model)).run(c.keys);
      ASSERT_TRUE(result.ok) << result.message;
      EXPECT_EQ(idsOf(result), c.ids);
    }
  }
}

TEST_F(PatientQueryTest, AMatchCarriesTheLocalDemographics) {
  const PatientQueryKeys keys{"MUSTERMANN", "19800101", "F"};
  const PatientQueryResult fromWorklist = PatientQuery(params(QueryModel::Worklist)).run(keys);
  ASSERT_EQ(fromWorklist.matches.size(), 1u) << fromWorklist.message;
  const PatientMatch& scheduled = fromWorklist.matches[0];
  EXPECT_EQ(scheduled.patientId, "H-0042");
  EXPECT_EQ(scheduled.issuer, "HOSP");
  EXPECT_EQ(scheduled.patientName, "MUSTERMANN^ERIKA");
  EXPECT_EQ(scheduled.birthDate, "19800101");
  EXPECT_EQ(scheduled.sex, "F");
  EXPECT_EQ(scheduled.accessionNumber, "A-77");
  EXPECT_EQ(scheduled.scheduledProcedure, "CT Thorax");

  const PatientQueryResult fromArchive = PatientQuery(params(QueryModel::PatientRoot)).run(keys);
  ASSERT_EQ(fromArchive.matches.size(), 1u) << fromArchive.message;
  EXPECT_EQ(fromArchive.matches[0].patientId, "H-0042");
  EXPECT_EQ(fromArchive.matches[0].patientName, "MUSTERMANN^ERIKA");
  EXPECT_EQ(fromArchive.matches[0].accessionNumber, "");  // a patient has no accession number
}

TEST_F(PatientQueryTest, NamesInAnyCharacterSetArriveAsUtf8) {
  struct Case {
    std::string familyName;
    std::string id;
    std::string name;
  };
  const Case cases[] = {
      {"M\xC3\x9CLLER", "H-0100", kMuellerUtf8},         // stored as Latin-1
      {"\xC3\x85STR\xC3\x96M", "H-0101", kAstroemUtf8},  // stored as UTF-8
  };
  for (const QueryModel model : {QueryModel::Worklist, QueryModel::PatientRoot}) {
    for (const Case& c : cases) {
      SCOPED_TRACE(std::string(queryModelName(model)) + " " + c.id);
      const PatientQueryResult result = PatientQuery(params(model)).run({c.familyName, "", ""});
      ASSERT_TRUE(result.ok) << result.message;
      const PatientMatch* match = find(result, c.id);
      ASSERT_NE(match, nullptr);
      EXPECT_EQ(match->patientName, c.name);
    }
  }
}

TEST(PatientQuery, AStationThatRefusesOrIsNotThereSaysSo) {
  WorklistPeer worklist("WORKLIST");
  const int closedPort = freeLoopbackPort();
  struct Case {
    QueryStation station;
    std::string expected;
  };
  const Case cases[] = {
      {{"UNKNOWN", "127.0.0.1", worklist.port(), QueryModel::Worklist, {}},
       "refused the association"},
      {{"WORKLIST", "127.0.0.1", closedPort, QueryModel::Worklist, {}},
       "Could not reach the station"},
      // A worklist station asked for patients refuses an association offering only that.
      {{"WORKLIST", "127.0.0.1", worklist.port(), QueryModel::PatientRoot, {}},
       "refused the association"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(describeQueryStation(c.station));
    const PatientQueryResult result =
        PatientQuery({"KALVORA", c.station, 5000, 16384}).run({"MUSTERMANN", "", ""});
    EXPECT_FALSE(result.ok);
    EXPECT_TRUE(result.matches.empty());
    EXPECT_NE(result.message.find(c.expected), std::string::npos) << result.message;
  }
}

// No worklist server here speaks TLS; storescp does, and answers no query: a trusted one is
// reached and says so at the DICOM level, an untrusted one is named before any query.
TEST(PatientQuery, OverTlsTheStationsCertificateMustBeTrusted) {
  TempDir dir;
  const TestCertificates certs(dir / "certs");
  const TlsSettings tls{true, certs.path("ca.pem"), "", ""};
  for (const std::string name : {"server", "rogue"}) {
    SCOPED_TRACE(name);
    StoreScpPeer station(
        dir.path(),
        {"+tls", certs.path(name + ".key"), certs.path(name + ".pem"), "--ignore-peer-cert"},
        "WORKLIST");
    const QueryStation query{"WORKLIST", "127.0.0.1", station.port(), QueryModel::Worklist, tls};
    const PatientQueryResult result =
        PatientQuery({"KALVORA", query, 5000, 16384}).run({"MUSTERMANN", "", ""});
    EXPECT_FALSE(result.ok);
    EXPECT_NE(result.message.find(name == "server"
                                      ? "does not answer this kind of query"
                                      : "certificate of 'WORKLIST' not trusted: self-signed"),
              std::string::npos)
        << result.message;
  }
}

TEST(PatientQueryTimeout, AStationThatNeverAnswersEndsTheQueryAfterTheTimeout) {
  SilentStation silent;
  const PatientQueryResult result =
      PatientQuery({"KALVORA",
                    {"SILENT", "127.0.0.1", silent.port(), QueryModel::Worklist, {}},
                    1000,
                    16384})
          .run({"MUSTERMANN", "", ""});
  EXPECT_FALSE(result.ok);
  EXPECT_NE(result.message.find("Could not reach the station SILENT"), std::string::npos)
      << result.message;
}

// A time-out far beyond the test's own limit: only the cut can end the query.
TEST(PatientQuery, ACutEndsAQueryThatWaitsOnASilentStation) {
  SilentStation silent;
  PatientQuery query({"KALVORA",
                      {"SILENT", "127.0.0.1", silent.port(), QueryModel::Worklist, {}},
                      3600000,
                      16384});
  PatientQueryResult result;
  std::thread asking([&] { result = query.run({"MUSTERMANN", "", ""}); });
  query.cut();
  asking.join();
  EXPECT_FALSE(result.ok);
  EXPECT_EQ(result.message, "The query was cancelled.");
}

TEST(PatientQuery, FamilyNameIsTheFirstComponent) {
  EXPECT_EQ(familyNameOf("MUSTERMANN^ERIKA^^DR"), "MUSTERMANN");
  EXPECT_EQ(familyNameOf("MUSTERMANN"), "MUSTERMANN");
  EXPECT_EQ(familyNameOf(""), "");
}

// A station that answers with a flood of matches is cut off at a list a clerk can read.
TEST(PatientQuery, MatchesBeyondTheLimitAreCutOffAndSaidToBe) {
  WorklistPeer worklist("WORKLIST");
  for (size_t i = 0; i <= PatientQuery::kMaxMatches; ++i)
    worklist.add({"", "MANY^" + std::to_string(i), "H-" + std::to_string(i), "", "19800101", "F",
                  "A-" + std::to_string(i), "CT"});
  const PatientQueryResult result =
      PatientQuery({"KALVORA",
                    {"WORKLIST", "127.0.0.1", worklist.port(), QueryModel::Worklist, {}},
                    5000,
                    16384})
          .run({"MANY", "", ""});
  ASSERT_TRUE(result.ok) << result.message;
  EXPECT_TRUE(result.truncated);
  EXPECT_EQ(result.matches.size(), PatientQuery::kMaxMatches);
}
