#include "OtherUser.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

std::optional<uid_t> nobodyUid() {
  if (const passwd* entry = getpwnam("nobody")) return entry->pw_uid;
  return std::nullopt;
}

std::string whyNoOtherUser(bool needRunuser) {
  if (geteuid() != 0) return "needs root, to act as the user nobody";
  if (!nobodyUid()) return "there is no user nobody";
  if (needRunuser && std::system("command -v runuser >/dev/null 2>&1") != 0)
    return "runuser is missing";
  return "";
}

void giveToNobody(const std::string& path) {
  const uid_t uid = *nobodyUid();
  const passwd* entry = getpwuid(uid);
  const gid_t gid = entry ? entry->pw_gid : static_cast<gid_t>(-1);
  lchown(path.c_str(), uid, gid);
  if (!std::filesystem::is_directory(std::filesystem::symlink_status(path))) return;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(path))
    lchown(entry.path().c_str(), uid, gid);
}
