#pragma once

#include <string>

// Replaces the file at `path` with exactly `bytes`: writes a new file beside it under a
// private name, flushes it to disk and renames it over the old one, so a crash or a full
// disk leaves either the old or the new content, never a mix. An existing file's
// permission bits are kept. Returns 0, or the errno of the step that failed, in which
// case the old file is untouched and the new one is gone.
int replaceFileContents(const std::string& path, const std::string& bytes);
