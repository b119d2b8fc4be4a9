#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <new>
#include <sstream>

#include "config/ArchiveError.h"
#include "config/ArchiveReader.h"
#include "config/ArchiveWriter.h"
#include "config/CFilterArray.h"
#include "config/CRuleArray.h"
#include "config/CStationArray.h"

namespace {

std::string hexBytes(std::initializer_list<int> bytes) {
  std::string out;
  for (int b : bytes) out.push_back(static_cast<char>(b));
  return out;
}

template <typename T>
std::string written(const T& value) {
  ArchiveWriter archive;
  value.Serialize(archive);
  return archive.bytes();
}

std::string readOneString(const std::string& bytes) {
  std::istringstream in(bytes);
  ArchiveReader archive(in);
  return archive.readString();
}

ArchiveError::Cause readStringFailure(const std::string& bytes) {
  try {
    readOneString(bytes);
  } catch (const ArchiveError& error) {
    return error.cause();
  }
  ADD_FAILURE() << "no archive error";
  return ArchiveError::Cause::Generic;
}

// Reads one string in a child process whose address space may grow by 256 MiB at most, as
// under `prlimit --as`: a reader that reserved a damaged length before checking it against
// the file would fail there with bad_alloc rather than see the end of the file.
enum class LimitedRead { EndOfFile, OtherArchiveError, OutOfMemory, Read, ChildFailed };

void PrintTo(LimitedRead outcome, std::ostream* out) {
  const char* const names[] = {"end of file", "another archive error", "out of memory",
                               "read whole", "child failed"};
  *out << names[static_cast<int>(outcome)];
}

LimitedRead readOneStringUnderAddressLimit(const std::string& bytes) {
  const pid_t child = fork();
  if (child == 0) {
    long pages = 0;
    std::ifstream("/proc/self/statm") >> pages;
    const rlim_t limit = static_cast<rlim_t>(pages) * sysconf(_SC_PAGESIZE) + (256u << 20);
    const rlimit addressSpace{limit, limit};
    if (pages <= 0 || setrlimit(RLIMIT_AS, &addressSpace) != 0) _exit(10);
    try {
      readOneString(bytes);
      _exit(static_cast<int>(LimitedRead::Read));
    } catch (const ArchiveError& error) {
      _exit(static_cast<int>(error.cause() == ArchiveError::Cause::EndOfFile
                                 ? LimitedRead::EndOfFile
                                 : LimitedRead::OtherArchiveError));
    } catch (const std::bad_alloc&) {
      _exit(static_cast<int>(LimitedRead::OutOfMemory));
    } catch (...) {
    }
    _exit(10);
  }
  int status = 0;
  if (child < 0 || waitpid(child, &status, 0) != child || !WIFEXITED(status) ||
      WEXITSTATUS(status) > static_cast<int>(LimitedRead::ChildFailed))
    return LimitedRead::ChildFailed;
  return static_cast<LimitedRead>(WEXITSTATUS(status));
}

std::string prefixOf(std::size_t length) {
  ArchiveWriter archive;
  archive.writeString(std::string(length, 'x'));
  return archive.bytes().substr(0, archive.bytes().size() - length);
}

}  // namespace

TEST(Archive, ListFilesMatchTheDocumentedBytes) {
  CFilterArray filters;
  filters.Add({".exe", "applications"});
  filters.Add({".zip", "ZIP archive"});
  const std::string filterBytes =
      hexBytes({0x02, 0x00, 0x00, 0x00, 0x04, 0x2E, 0x65, 0x78, 0x65, 0x0C, 0x61, 0x70, 0x70,
                0x6C, 0x69, 0x63, 0x61, 0x74, 0x69, 0x6F, 0x6E, 0x73, 0x04, 0x2E, 0x7A, 0x69,
                0x70, 0x0B, 0x5A, 0x49, 0x50, 0x20, 0x61, 0x72, 0x63, 0x68, 0x69, 0x76, 0x65});
  EXPECT_EQ(written(filters), filterBytes);

  CRuleArray rules;
  rules.Add({8, 96, "CT", "PACS"});
  const std::string ruleBytes =
      hexBytes({0x01, 0x00, 0x00, 0x00, 0x08, 0x00, 0x00, 0x00, 0x60, 0x00,
                0x00, 0x00, 0x02, 0x43, 0x54, 0x04, 0x50, 0x41, 0x43, 0x53});
  EXPECT_EQ(written(rules), ruleBytes);

  CStationArray stations;
  stations.Add({"PACS", "STORESCP", "pacs1", 104});
  const std::string stationBytes = hexBytes(
      {0x01, 0x00, 0x00, 0x00, 0x04, 0x50, 0x41, 0x43, 0x53, 0x08, 0x53, 0x54, 0x4F, 0x52,
       0x45, 0x53, 0x43, 0x50, 0x05, 0x70, 0x61, 0x63, 0x73, 0x31, 0x68, 0x00, 0x00, 0x00});
  EXPECT_EQ(written(stations), stationBytes);

  EXPECT_EQ(written(CStationArray()), hexBytes({0, 0, 0, 0}));

  // And back.
  std::istringstream filterIn(filterBytes), ruleIn(ruleBytes), stationIn(stationBytes);
  CFilterArray filtersRead;
  CRuleArray rulesRead;
  CStationArray stationsRead;
  ArchiveReader filterArchive(filterIn), ruleArchive(ruleIn), stationArchive(stationIn);
  filtersRead.Serialize(filterArchive);
  rulesRead.Serialize(ruleArchive);
  stationsRead.Serialize(stationArchive);
  ASSERT_EQ(filtersRead.GetSize(), 2);
  EXPECT_EQ(filtersRead[1].description, "ZIP archive");
  ASSERT_EQ(rulesRead.GetSize(), 1);
  EXPECT_EQ(rulesRead[0].element, 96);
  EXPECT_EQ(rulesRead[0].destination, "PACS");
  ASSERT_EQ(stationsRead.GetSize(), 1);
  EXPECT_EQ(stationsRead[0].host, "pacs1");
  EXPECT_EQ(stationsRead[0].port, 104);
}

TEST(Archive, LengthPrefixFormsAtTheirBoundaries) {
  struct Case {
    std::size_t length;
    std::string prefix;
  };
  const Case cases[] = {
      {0, hexBytes({0x00})},
      {254, hexBytes({0xFE})},
      {255, hexBytes({0xFF, 0xFF, 0x00})},
      {300, hexBytes({0xFF, 0x2C, 0x01})},
      {65533, hexBytes({0xFF, 0xFD, 0xFF})},
      // 0xFFFE in the 2-byte slot would be the wide marker.
      {65534, hexBytes({0xFF, 0xFF, 0xFF, 0xFE, 0xFF, 0x00, 0x00})},
      {70000, hexBytes({0xFF, 0xFF, 0xFF, 0x70, 0x11, 0x01, 0x00})},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.length);
    EXPECT_EQ(prefixOf(c.length), c.prefix);
    EXPECT_EQ(readOneString(c.prefix + std::string(c.length, 'x')), std::string(c.length, 'x'));
  }
}

TEST(Archive, ReaderAcceptsEveryPrefixFormAndWideStrings) {
  struct Case {
    const char* what;
    std::string bytes;
    std::string text;
  };
  const Case cases[] = {
      {"4-byte length", hexBytes({0xFF, 0xFF, 0xFF, 3, 0, 0, 0, 'a', 'b', 'c'}), "abc"},
      {"8-byte length",
       hexBytes({0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 3, 0, 0, 0, 0, 0, 0, 0, 'a', 'b', 'c'}),
       "abc"},
      {"wide, 1-byte length", hexBytes({0xFF, 0xFE, 0xFF, 3, 'h', 0, 0xE9, 0, 0xAC, 0x20}),
       "h\xC3\xA9\xE2\x82\xAC"},
      {"wide, 2-byte length", hexBytes({0xFF, 0xFE, 0xFF, 0xFF, 2, 0, 'o', 0, 'k', 0}), "ok"},
      {"wide surrogate pair", hexBytes({0xFF, 0xFE, 0xFF, 2, 0x3D, 0xD8, 0x00, 0xDE}),
       "\xF0\x9F\x98\x80"},
      {"wide lone surrogate", hexBytes({0xFF, 0xFE, 0xFF, 1, 0x3D, 0xD8}), "\xEF\xBF\xBD"},
      {"NUL cuts", hexBytes({5, 'a', 'b', 0, 'c', 'd'}), "ab"},
      {"wide NUL cuts", hexBytes({0xFF, 0xFE, 0xFF, 3, 'a', 0, 0, 0, 'b', 0}), "a"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(readOneString(c.bytes), c.text);
  }
}

TEST(Archive, WideStringIsWrittenBackSingleByte) {
  const std::string text = readOneString(hexBytes({0xFF, 0xFE, 0xFF, 2, 'o', 0, 'k', 0}));
  ArchiveWriter archive;
  archive.writeString(text);
  EXPECT_EQ(archive.bytes(), hexBytes({2, 'o', 'k'}));
}

TEST(Archive, ShortOrImpossibleInputFailsWithTheRightCause) {
  using Cause = ArchiveError::Cause;
  EXPECT_EQ(readStringFailure(""), Cause::EndOfFile);
  EXPECT_EQ(readStringFailure(hexBytes({4, 'a', 'b'})), Cause::EndOfFile);
  EXPECT_EQ(readStringFailure(hexBytes({0xFF, 0x2C})), Cause::EndOfFile);
  EXPECT_EQ(readStringFailure(hexBytes({0xFF, 0xFE, 0xFF, 2, 'o', 0, 'k'})), Cause::EndOfFile);
  // A length of 2^31 - 1 in a ten-byte file: end of file, and nothing the size of the
  // length is reserved first.
  EXPECT_EQ(readStringFailure(hexBytes({0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x7F, 'a', 'b', 'c'})),
            Cause::EndOfFile);
  EXPECT_EQ(readStringFailure(hexBytes({0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,
                                        0x7F, 0, 0, 0, 0, 'a'})),
            Cause::EndOfFile);
  EXPECT_EQ(readStringFailure(
                hexBytes({0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 0, 0x80, 0, 0, 0, 0})),
            Cause::Generic);
}

// A damaged length is checked against the bytes left before anything is reserved for it.
TEST(Archive, DamagedLengthsReserveNothingUnderAnAddressSpaceLimit) {
  const struct {
    const char* name;
    std::string bytes;
  } cases[] = {
      {"4-byte length of 2 GiB - 2", hexBytes({0xFF, 0xFF, 0xFF, 0xFE, 0xFF, 0xFF, 0x7F, 'a'})},
      {"8-byte length of 2 GiB - 1", hexBytes({0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,
                                               0xFF, 0x7F, 0, 0, 0, 0, 'a'})},
      {"wide, 4 GiB", hexBytes({0xFF, 0xFE, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,
                                0xFF, 0xFF, 0xFF, 0x7F, 0,    0,    0,    0,    'a',  0})},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(readOneStringUnderAddressLimit(c.bytes), LimitedRead::EndOfFile);
  }
  // The limit leaves room for what a real string needs.
  EXPECT_EQ(readOneStringUnderAddressLimit(prefixOf(300) + std::string(300, 'x')),
            LimitedRead::Read);
}
