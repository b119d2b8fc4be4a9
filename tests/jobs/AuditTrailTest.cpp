#include <gtest/gtest.h>
#include <libxml/parser.h>
#include <libxml/xpath.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <memory>

#include "DicomFixtures.h"
#include "ScriptedPrompts.h"
#include "StoreScpPeer.h"
#include "TempDir.h"
#include "TestMainThread.h"
#include "jobs/AuditMessage.h"
#include "jobs/AuditTrail.h"
#include "jobs/KalvoraEngine.h"

namespace fs = std::filesystem;

namespace {

// One audit record parsed, its fields found by XPath.
class ParsedRecord {
 public:
  explicit ParsedRecord(const std::string& text)
      : doc_(xmlReadMemory(text.data(), static_cast<int>(text.size()), "record.xml", "UTF-8",
                           XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING),
             xmlFreeDoc) {}
  bool wellFormed() const { return doc_ != nullptr; }

  // The text of every node `xpath` selects (an attribute's value), in document order.
  std::vector<std::string> values(const std::string& xpath) const {
    std::vector<std::string> found;
    if (!doc_) return found;
    std::unique_ptr<xmlXPathContext, decltype(&xmlXPathFreeContext)> context(
        xmlXPathNewContext(doc_.get()), xmlXPathFreeContext);
    std::unique_ptr<xmlXPathObject, decltype(&xmlXPathFreeObject)> result(
        xmlXPathEvalExpression(reinterpret_cast<const xmlChar*>(xpath.c_str()), context.get()),
        xmlXPathFreeObject);
    if (!result || !result->nodesetval) return found;
    for (int i = 0; i < result->nodesetval->nodeNr; ++i) {
      xmlChar* content = xmlNodeGetContent(result->nodesetval->nodeTab[i]);
      found.emplace_back(content ? reinterpret_cast<const char*>(content) : "");
      xmlFree(content);
    }
    return found;
  }
  // The one value `xpath` selects; a note of how many there were otherwise.
  std::string value(const std::string& xpath) const {
    const std::vector<std::string> found = values(xpath);
    return found.size() == 1 ? found[0] : "<" + std::to_string(found.size()) + " values>";
  }

 private:
  std::unique_ptr<xmlDoc, decltype(&xmlFreeDoc)> doc_;
};

std::vector<std::string> linesOf(const std::string& text) {
  std::vector<std::string> lines;
  for (size_t start = 0, end; (end = text.find('\n', start)) != std::string::npos; start = end + 1)
    lines.push_back(text.substr(start, end - start));
  return lines;
}

std::string loginName() {
  const passwd* entry = getpwuid(geteuid());
  return entry ? entry->pw_name : std::to_string(geteuid());
}

std::string hostName() {
  char host[256] = {};
  gethostname(host, sizeof host - 1);
  return host;
}

const char kCtImage[] = "1.2.840.10008.5.1.4.1.1.2";
const char kMrImage[] = "1.2.840.10008.5.1.4.1.1.4";
// Names as a medium may hold them: markup characters and letters beyond ASCII (UTF-8).
const char kMuellerName[] = "M\xC3\xBCller & S\xC3\xB6hne^<Anna>";

const char kUser[] = "ActiveParticipant[@UserIsRequestor='true']";
const char kPatients[] = "ParticipantObjectIdentification[@ParticipantObjectTypeCode='1']";
const char kStudies[] = "ParticipantObjectIdentification[@ParticipantObjectTypeCode='2']";

class AuditTrailTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directories(work / "medium/DICOM");
    fs::create_directories(work / "received");
    fs::create_directories(work / "audit");
    engine.settings.tempFolder = work / "temp/";
    engine.settings.openTrayAfterReading = 0;
    engine.settings.timeoutMs = 5000;
    engine.auditTrail.file = trailFile;
  }

  // Two CT images of one study of Mr Müller, one MR image of Mr Doe.
  void writeMedium() {
    const auto image = [](const std::string& id, const std::string& name, const std::string& study,
                          const std::string& sopClass) {
      FixtureImage fixture;
      fixture.patientId = id;
      fixture.patientName = name;
      fixture.studyInstanceUid = study;
      fixture.sopClassUid = sopClass;
      return fixture;
    };
    writeFixtureImage(work / "medium/DICOM/IM1", image("P1", kMuellerName, "1.2.3.1", kCtImage));
    writeFixtureImage(work / "medium/DICOM/IM2", image("P1", kMuellerName, "1.2.3.1", kCtImage));
    writeFixtureImage(work / "medium/DICOM/IM3", image("P2", "Doe^John", "1.2.3.2", kMrImage));
  }

  std::string runJob() {
    const std::string jobFolder = engine.StartScan(work / "medium");
    EXPECT_FALSE(jobFolder.empty());
    EXPECT_TRUE(mainThread.runUntil([&] { return !engine.isJobActive(jobFolder); }));
    return jobFolder;
  }

  std::vector<ParsedRecord> records() const {
    std::vector<ParsedRecord> parsed;
    for (const std::string& line : linesOf(readFileBytes(trailFile))) parsed.emplace_back(line);
    return parsed;
  }

  // The patients and the studies with their instances, as every record of the job names them.
  static void expectPatientsAndStudies(const ParsedRecord& record) {
    const std::string patients = std::string("/AuditMessage/") + kPatients;
    EXPECT_EQ(record.values(patients + "/@ParticipantObjectID"),
              (std::vector<std::string>{"P1", "P2"}));
    EXPECT_EQ(record.values(patients + "/@ParticipantObjectTypeCodeRole"),
              (std::vector<std::string>{"1", "1"}));
    EXPECT_EQ(record.values(patients + "/ParticipantObjectName"),
              (std::vector<std::string>{kMuellerName, "Doe^John"}));
    const std::string studies = std::string("/AuditMessage/") + kStudies;
    EXPECT_EQ(record.values(studies + "/@ParticipantObjectID"),
              (std::vector<std::string>{"1.2.3.1", "1.2.3.2"}));
    EXPECT_EQ(record.values(studies + "/@ParticipantObjectTypeCodeRole"),
              (std::vector<std::string>{"3", "3"}));
    EXPECT_EQ(record.values(studies + "/ParticipantObjectIDTypeCode/@csd-code"),
              (std::vector<std::string>{"110180", "110180"}));
    EXPECT_EQ(record.values(studies + "/ParticipantObjectDescription"),
              (std::vector<std::string>{"2 instances", "1 instance"}));
    EXPECT_EQ(record.values(studies + "/SOPClass/@UID"),
              (std::vector<std::string>{kCtImage, kMrImage}));
    EXPECT_EQ(record.values(studies + "/SOPClass/@NumberOfInstances"),
              (std::vector<std::string>{"2", "1"}));
  }

  static void expectUserAndSource(const ParsedRecord& record) {
    EXPECT_EQ(record.value(std::string("/AuditMessage/") + kUser + "/@UserID"), loginName());
    EXPECT_EQ(record.value(std::string("/AuditMessage/") + kUser + "/@AlternativeUserID"),
              std::to_string(geteuid()));
    EXPECT_EQ(record.value("/AuditMessage/AuditSourceIdentification/@AuditSourceID"), hostName());
    EXPECT_FALSE(record.value("/AuditMessage/EventIdentification/@EventDateTime").empty());
  }

  TempDir work;
  const std::string trailFile = work / "audit/trail.log";
  TestMainThread mainThread;
  ScriptedPrompts prompts;
  KalvoraEngine engine{mainThread, prompts};
};

}  // namespace

TEST_F(AuditTrailTest, AnImportAndASendEachLeaveARecordOfPatientsStudiesAndStation) {
  writeMedium();
  StoreScpPeer peer(work / "received");
  engine.stations.Add({"PACS & Co", peer.aeTitle(), "127.0.0.1", peer.port()});
  engine.settings.standardDestination = 0;
  const std::string root = work / "medium";
  runJob();

  const std::vector<ParsedRecord> trail = records();
  ASSERT_EQ(trail.size(), 2u) << readFileBytes(trailFile);
  const ParsedRecord& import = trail[0];
  ASSERT_TRUE(import.wellFormed()) << readFileBytes(trailFile);
  EXPECT_EQ(import.value("/AuditMessage/EventIdentification/EventID/@csd-code"), "110107");
  EXPECT_EQ(import.value("/AuditMessage/EventIdentification/EventID/@originalText"), "Import");
  EXPECT_EQ(import.value("/AuditMessage/EventIdentification/@EventActionCode"), "C");
  EXPECT_EQ(import.value("/AuditMessage/EventIdentification/@EventOutcomeIndicator"), "0");
  EXPECT_EQ(import.value("/AuditMessage/EventIdentification/EventOutcomeDescription"),
            "3 instances");
  expectUserAndSource(import);
  EXPECT_EQ(import.value("/AuditMessage/ActiveParticipant[RoleIDCode/@csd-code='110155']/@UserID"),
            root);
  EXPECT_EQ(import.value("/AuditMessage/ActiveParticipant[RoleIDCode/@csd-code='110152']/"
                         "@AlternativeUserID"),
            "AETITLES=KALVORA");
  expectPatientsAndStudies(import);

  const ParsedRecord& send = trail[1];
  ASSERT_TRUE(send.wellFormed());
  EXPECT_EQ(send.value("/AuditMessage/EventIdentification/EventID/@csd-code"), "110104");
  EXPECT_EQ(send.value("/AuditMessage/EventIdentification/EventID/@originalText"),
            "DICOM Instances Transferred");
  EXPECT_EQ(send.value("/AuditMessage/EventIdentification/@EventOutcomeIndicator"), "0");
  expectUserAndSource(send);
  const std::string station = "/AuditMessage/ActiveParticipant[RoleIDCode/@csd-code='110152']";
  EXPECT_EQ(send.value(station + "/@UserID"), "STORESCP");
  EXPECT_EQ(send.value(station + "/@AlternativeUserID"), "AETITLES=STORESCP");
  EXPECT_EQ(send.value(station + "/@UserName"), "PACS & Co");
  EXPECT_EQ(send.value(station + "/@NetworkAccessPointID"), "127.0.0.1");
  EXPECT_EQ(send.value(station + "/@NetworkAccessPointTypeCode"), "2");
  EXPECT_EQ(send.value("/AuditMessage/ActiveParticipant[RoleIDCode/@csd-code='110153']/"
                       "@AlternativeUserID"),
            "AETITLES=KALVORA");
  expectPatientsAndStudies(send);

  struct stat status {};
  ASSERT_EQ(stat(trailFile.c_str(), &status), 0);
  EXPECT_EQ(status.st_mode & 0777, 0600u);
}

TEST_F(AuditTrailTest, ASendNothingReachedIsASeriousFailureNamingNoInstance) {
  writeMedium();
  engine.stations.Add({"GONE", "GONE", "127.0.0.1", freeLoopbackPort()});
  engine.settings.standardDestination = 0;
  runJob();

  const std::vector<ParsedRecord> trail = records();
  ASSERT_EQ(trail.size(), 2u);
  const ParsedRecord& send = trail[1];
  EXPECT_EQ(send.value("/AuditMessage/EventIdentification/EventID/@csd-code"), "110104");
  EXPECT_EQ(send.value("/AuditMessage/EventIdentification/@EventOutcomeIndicator"), "8");
  EXPECT_EQ(send.value("/AuditMessage/EventIdentification/EventOutcomeDescription"),
            "0 instances; 3 files not stored");
  EXPECT_TRUE(send.values(std::string("/AuditMessage/") + kPatients).empty());
}

// Closing cuts the send off: its last reports are never handled, its record is still written.
TEST_F(AuditTrailTest, ASendThatClosingCutsOffIsStillRecorded) {
  writeMedium();
  StoreScpPeer stalled(work / "received", {"--sleep-during", "60"});
  engine.stations.Add({"STALLED", stalled.aeTitle(), "127.0.0.1", stalled.port()});
  engine.settings.standardDestination = 0;
  engine.settings.timeoutMs = 100000;
  engine.StartScan(work / "medium");
  ASSERT_TRUE(mainThread.runUntil(
      [&] { return engine.jobs().size() == 1 && engine.jobs()[0].status == "Sending"; }));
  engine.Shutdown();

  const std::vector<ParsedRecord> trail = records();
  ASSERT_EQ(trail.size(), 2u);
  const ParsedRecord& send = trail[1];
  EXPECT_EQ(send.value("/AuditMessage/EventIdentification/EventID/@csd-code"), "110104");
  EXPECT_EQ(send.value("/AuditMessage/EventIdentification/@EventOutcomeIndicator"), "8");
  EXPECT_EQ(send.value("/AuditMessage/EventIdentification/EventOutcomeDescription"),
            "0 instances; ended as Kalvora closed");
  EXPECT_EQ(send.value("/AuditMessage/ActiveParticipant[RoleIDCode/@csd-code='110152']/@UserName"),
            "STALLED");
}

// A job of an earlier run is known only by its files: the record names what they hold.
TEST_F(AuditTrailTest, DiscardingAKeptJobOfAnEarlierRunRecordsTheDeletedStudies) {
  writeMedium();
  const std::string jobFolder = runJob();  // no station: kept
  engine.Shutdown();

  KalvoraEngine later{mainThread, prompts};
  later.settings = engine.settings;
  later.auditTrail.file = trailFile;
  ASSERT_EQ(later.RecoverJobFolders(), (std::vector<std::string>{jobFolder}));
  ASSERT_EQ(later.DiscardJob(jobFolder), 3);

  const std::vector<ParsedRecord> trail = records();
  ASSERT_EQ(trail.size(), 2u);
  const ParsedRecord& deleted = trail[1];
  ASSERT_TRUE(deleted.wellFormed());
  EXPECT_EQ(deleted.value("/AuditMessage/EventIdentification/EventID/@csd-code"), "110105");
  EXPECT_EQ(deleted.value("/AuditMessage/EventIdentification/@EventActionCode"), "D");
  EXPECT_EQ(deleted.value("/AuditMessage/EventIdentification/@EventOutcomeIndicator"), "0");
  expectUserAndSource(deleted);
  expectPatientsAndStudies(deleted);
}

TEST_F(AuditTrailTest, ARecordThatCannotBeWrittenIsReportedInTheJobLog) {
  writeFixtureImage(work / "medium/DICOM/IM1");
  engine.setSendAfterScan(false);
  const std::string othersMayRead = work / "audit/open.log";
  writeFileBytes(othersMayRead, "");
  chmod(othersMayRead.c_str(), 0644);
  const struct {
    std::string file;
    std::string reason;
  } cases[] = {
      {work / "no-such-folder/trail.log", "No such file or directory"},
      {othersMayRead, "readable by others; nothing written"},
  };
  for (const auto& c : cases) {
    engine.auditTrail.file = c.file;
    const std::string jobFolder = runJob();
    const ImportJob& job = engine.jobs()[engine.jobs().FindJob(jobFolder)];
    EXPECT_NE(
        job.log.find("ERROR: Audit record not written to " + c.file + ": " + c.reason + "\r\n"),
        std::string::npos)
        << job.log;
  }
  EXPECT_EQ(readFileBytes(othersMayRead), "");
}

TEST(AuditMessage, TextThatIsNoXmlIsEscapedOrReplaced) {
  const struct {
    std::string text;
    std::string escaped;
  } cases[] = {
      {"a&b<c>d\"e'f", "a&amp;b&lt;c&gt;d&quot;e&apos;f"},
      {"M\xC3\xBCller \xE2\x82\xAC \xF0\x9F\x98\x80",
       "M\xC3\xBCller \xE2\x82\xAC \xF0\x9F\x98\x80"},
      {"tab\tline\ncr\r", "tab&#9;line&#10;cr&#13;"},
      // Latin-1, a cut sequence, an overlong one, a surrogate, a control character.
      {"M\xFCller", "M\xEF\xBF\xBDller"},
      {"ab\xC3", "ab\xEF\xBF\xBD"},
      {"\xC0\xAF", "\xEF\xBF\xBD\xEF\xBF\xBD"},
      {"\xED\xA0\x80", "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD"},
      {std::string("a\0b\x1F", 4),
       "a\xEF\xBF\xBD"
       "b\xEF\xBF\xBD"},
  };
  for (const auto& c : cases) EXPECT_EQ(xmlEscaped(c.text), c.escaped) << c.text;

  // Whatever a name holds, the record stays well-formed XML on one line.
  AuditInstance instance{"P\n1", "\xFF<&>\x01", "1.2.3", kCtImage};
  const std::string record =
      importAuditMessage(currentAuditActor(), {"/media/x\ny", "L&L"}, {instance}, {});
  EXPECT_EQ(record.find('\n'), std::string::npos);
  const ParsedRecord parsed(record);
  ASSERT_TRUE(parsed.wellFormed()) << record;
  EXPECT_EQ(parsed.value(std::string("/AuditMessage/") + kPatients + "/@ParticipantObjectID"),
            "P\n1");
  EXPECT_EQ(parsed.value(std::string("/AuditMessage/") + kPatients + "/ParticipantObjectName"),
            "\xEF\xBF\xBD<&>\xEF\xBF\xBD");
}

TEST(AuditMessage, NamesInTheFilesCharacterSetAreWrittenInUtf8) {
  const struct {
    std::string value;
    std::string characterSet;
    std::string utf8;
  } cases[] = {
      {"M\xFCller^Anna", "ISO_IR 100", "M\xC3\xBCller^Anna"},
      {"\xC4\xE5\xEC\xE1\xF2", "ISO_IR 126", "\xCE\x94\xCE\xB5\xCE\xBC\xCE\xB1\xCF\x82"},  // Greek
      {"Doe^John", "ISO_IR 100", "Doe^John"},
      {"M\xC3\xBCller", "ISO_IR 192", "M\xC3\xBCller"},
      // Undeclared: left as it is (the record replaces what is no UTF-8).
      {"M\xFCller", "", "M\xFCller"},
  };
  for (const auto& c : cases) EXPECT_EQ(textInUtf8(c.value, c.characterSet), c.utf8) << c.value;
}
