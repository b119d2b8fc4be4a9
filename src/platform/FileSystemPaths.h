#pragma once

#include <string>

// `path` without the '/' at its end ("/" stays "/"): with one, lstat would follow a link.
std::string withoutTrailingSlashes(std::string path);

// `path` with every link, "." and ".." resolved; "" (errno set) when it cannot be.
std::string resolvedPath(const std::string& path);

// Makes every missing folder of `path`, level by level. A level made here is private (0700)
// whatever the umask; levels that were there stay as they are. Returns 0, or the errno of the
// last level when it could not be made.
int makePrivateFolders(const std::string& path);
