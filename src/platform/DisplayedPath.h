#pragma once

#include <string>

// `path` as it is shown to a user: every run of '/' written as one. A job folder keeps the
// name it was made with (a temporary folder ending in '/' gives "...//2026..."), which is
// its key; only what is printed changes.
std::string displayedPath(const std::string& path);

// `text` with every occurrence of `path` shown as displayedPath(path).
std::string withDisplayedPath(std::string text, const std::string& path);
