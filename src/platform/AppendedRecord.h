#pragma once

#include <optional>
#include <string>

// Appends `line` and a line feed to the file at `path` in one write and flushes it to the
// disk, so that processes appending at once never mix their lines. A missing file is created
// private (0600); an existing one keeps its mode, but a file others may read, or anything but
// a regular file, is refused. Returns nothing on success, else "<path>: <reason>".
std::optional<std::string> appendRecordLine(const std::string& path, const std::string& line);
