// An object far larger than the memory the import may take arrives whole: its large values
// stay on the medium until the copy is written.

#include <gtest/gtest.h>
#include <malloc.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "RawDicomWriter.h"
#include "ScanTestSupport.h"
#include "TempDir.h"

namespace fs = std::filesystem;

namespace {

constexpr std::uint64_t kMiB = 1 << 20;
constexpr std::uint64_t kPixelBytes = 300 * kMiB;

std::string chunkOfPixels() {
  std::string chunk(kMiB, '\0');
  for (size_t i = 0; i < chunk.size(); ++i) chunk[i] = static_cast<char>(i * 13 + i / 509);
  return chunk;
}

// A 300 MiB multi-frame object, written piece by piece; `patientName` empty: none.
void writeLargeObject(const std::string& path, const std::string& patientName) {
  RawDicomWriter head;
  head.element(0x0008, 0x0016, "UI", std::string("1.2.840.10008.5.1.4.1.1.7") + '\0')
      .element(0x0008, 0x0018, "UI", std::string("1.2.3.4.5.6.7.8.9") + '\0')
      .element(0x0008, 0x0060, "CS", "OT");
  if (!patientName.empty()) head.element(0x0010, 0x0010, "PN", patientName);
  head.element(0x0010, 0x0020, "LO", "P1")
      .element(0x0028, 0x0008, "IS", "300 ")
      .element16(0x0028, 0x0010, 512)
      .element16(0x0028, 0x0011, 1024)
      .element16(0x0028, 0x0100, 8)
      .header(0x7FE0, 0x0010, "OB", static_cast<uint32_t>(kPixelBytes));
  std::ofstream out(path, std::ios::binary);
  out << rawMetaHeader("1.2.840.10008.1.2.1") << head.bytes();
  const std::string chunk = chunkOfPixels();
  for (std::uint64_t written = 0; written < kPixelBytes; written += chunk.size()) out << chunk;
  ASSERT_TRUE(out.good());
}

// Whether the last `length` bytes of both files are equal; read piece by piece.
bool sameTail(const std::string& a, const std::string& b, std::uint64_t length) {
  std::ifstream first(a, std::ios::binary);
  std::ifstream second(b, std::ios::binary);
  first.seekg(-static_cast<std::streamoff>(length), std::ios::end);
  second.seekg(-static_cast<std::streamoff>(length), std::ios::end);
  std::string x(kMiB, '\0');
  std::string y(kMiB, '\0');
  for (std::uint64_t done = 0; done < length; done += kMiB) {
    if (!first.read(x.data(), kMiB) || !second.read(y.data(), kMiB) || x != y) return false;
  }
  return true;
}

std::uint64_t addressSpaceInUse() {
  std::ifstream statm("/proc/self/statm");
  std::uint64_t pages = 0;
  statm >> pages;
  return pages * static_cast<std::uint64_t>(sysconf(_SC_PAGESIZE));
}

// The scan in a child whose address space may grow by 150 MiB only; true when it copied IM1.
bool importWithLimitedMemory(const std::string& medium, const std::string& job) {
  const pid_t child = fork();
  if (child == 0) {
    // One malloc arena: each thread's own would reserve 64 MiB of address space unused.
    mallopt(M_ARENA_MAX, 1);
    const rlim_t limit = addressSpaceInUse() + 150 * kMiB;
    const rlimit addressSpace{limit, limit};
    if (setrlimit(RLIMIT_AS, &addressSpace) != 0) _exit(2);
    ScriptedPrompts prompts;
    const auto events = fileEvents(runScan(plainRequest(medium, job), prompts));
    const bool copied =
        events == std::vector<std::pair<ScanEvent, std::string>>{{ScanEvent::FileCopied, "IM1"}};
    _exit(copied ? 0 : 1);
  }
  int status = 0;
  return child > 0 && waitpid(child, &status, 0) == child && WIFEXITED(status) &&
         WEXITSTATUS(status) == 0;
}

TEST(LargeObjectImportTest, A300MiBObjectArrivesWholeWithin150MiBOfAddressSpace) {
  const struct {
    const char* what;
    std::string patientName;
  } cases[] = {
      {"copied as it is", "Doe^Jane"},
      {"written anew with a name added", ""},
  };
  TempDir root;
  const std::string medium = root / "medium";
  const std::string job = root / "job";
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    fs::remove_all(medium);
    fs::remove_all(job);
    fs::create_directories(medium);
    fs::create_directories(job);
    writeLargeObject(medium + "/IM1", c.patientName);

    ASSERT_TRUE(importWithLimitedMemory(medium, job));
    EXPECT_TRUE(sameTail(medium + "/IM1", job + "/IM1", kPixelBytes));
    if (!c.patientName.empty()) {
      EXPECT_EQ(fs::file_size(job + "/IM1"), fs::file_size(medium + "/IM1"));
    }
  }
}

}  // namespace
