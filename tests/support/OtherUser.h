#pragma once

#include <sys/types.h>

#include <optional>
#include <string>

// The unprivileged user `nobody`, for checks of what another user may do. Only root can
// hand a folder to it or run a program as it; the tests that need it skip elsewhere.
std::optional<uid_t> nobodyUid();
// Why tests acting as another user cannot run here (not root, no `nobody`, no runuser),
// or an empty text when they can.
std::string whyNoOtherUser(bool needRunuser);
// Hands `path` (not following a link) and everything below it to `nobody`.
void giveToNobody(const std::string& path);
