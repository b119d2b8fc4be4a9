#pragma once

#include <optional>
#include <string>

// Why `folder` cannot be trusted to keep patient data private, or nullopt when it can.
// It must be a folder of this user, not a symbolic link, that neither group nor others
// may write to. The folders above it (as the path resolves) are checked upwards until the
// first that belongs to root or this user and that neither group nor others may write to;
// each one before that must belong to root or this user and may be writable by others only
// when it is sticky (as /tmp). Otherwise another user could swap what lies below.
std::optional<std::string> whyFolderIsNotPrivate(const std::string& folder);
