#pragma once

#include <string>

// Replaces the file at `path` with exactly `bytes`: writes a new file beside it under a
// private name, flushes it to disk and renames it over the old one, so a crash or a full
// disk leaves either the old or the new content, never a mix. A new file is private
// (0600); an existing file's permission bits are kept, except that group and others lose
// write access. Returns 0, or the errno of the step that failed, in which case the old
// file is untouched and the new one is gone.
int replaceFileContents(const std::string& path, const std::string& bytes);

// Copies everything `sourceFd` holds (from its start) into a new private file at `path`,
// or at path-2, path-3 ... when that name is taken, and flushes it to disk. Returns 0 or
// the errno of the step that failed, in which case no new file is left.
int copyToNewFile(int sourceFd, const std::string& path);
