#include "platform/AutomountSetting.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "TempDir.h"

namespace {

using Clock = std::chrono::steady_clock;

// A stand-in for gsettings that keeps the one key in a file beside it. Anything but
// the media handling automount key is an unknown schema, as with the real tool.
std::string fakeGsettings(const TempDir& dir, const std::string& behaviour) {
  const std::string program = dir / "gsettings";
  writeFileBytes(program, "#!/bin/sh\nstate=\"$(dirname \"$0\")/automount\"\n" + behaviour);
  chmod(program.c_str(), 0700);
  return program;
}

const char kStoredKey[] =
    "[ \"$2 $3\" = 'org.gnome.desktop.media-handling automount' ] || exit 1\n"
    "case \"$1\" in\n"
    "  get) [ -f \"$state\" ] || exit 1; cat \"$state\" ;;\n"
    "  set) echo \"$4\" > \"$state\" ;;\n"
    "  *) exit 1 ;;\n"
    "esac\n";

}  // namespace

TEST(AutomountSettingTest, ReadsAndEnablesTheDesktopSetting) {
  TempDir dir;
  const std::string program = fakeGsettings(dir, kStoredKey);
  EXPECT_EQ(readAutomountSetting(program), AutomountSetting::Absent);

  writeFileBytes(dir / "automount", "false\n");
  EXPECT_EQ(readAutomountSetting(program), AutomountSetting::Disabled);
  EXPECT_TRUE(enableAutomount(program));
  EXPECT_EQ(readFileBytes(dir / "automount"), "true\n");
  EXPECT_EQ(readAutomountSetting(program), AutomountSetting::Enabled);
}

TEST(AutomountSettingTest, AnUnusableToolEnablesNothingAndNeverHangs) {
  TempDir dir;
  const struct {
    const char* what;
    std::string behaviour;
    AutomountSetting read;
  } tools[] = {
      {"unknown schema", "echo 'No such schema' >&2; exit 1\n", AutomountSetting::Absent},
      {"odd answer", "echo 'maybe'\n", AutomountSetting::Absent},
      // Without a settings store the value is taken and forgotten.
      {"forgets what it is told", "[ \"$1\" = get ] && echo false; exit 0\n",
       AutomountSetting::Disabled},
      {"never answers", "exec sleep 30\n", AutomountSetting::Absent},
  };
  for (const auto& tool : tools) {
    SCOPED_TRACE(tool.what);
    const std::string program = fakeGsettings(dir, tool.behaviour);
    const auto started = Clock::now();
    EXPECT_EQ(readAutomountSetting(program, std::chrono::milliseconds(300)), tool.read);
    EXPECT_FALSE(enableAutomount(program, std::chrono::milliseconds(300)));
    EXPECT_LT(Clock::now() - started, std::chrono::seconds(5));
  }
  EXPECT_EQ(readAutomountSetting(dir / "missing"), AutomountSetting::Absent);
  EXPECT_FALSE(enableAutomount(dir / "missing"));
}
