#pragma once

#include <string>

// Checks of a folder path typed or chosen for the temporary folder: an absolute path
// whose components are each a plausible folder name.

enum class FolderCheckMode { CheckOnly, Create };

enum class FolderCheck {
  Valid = 0,         // and in create mode: it exists now
  Invalid = 1,       // not absolute, an empty component, or a bad component name
  CannotCreate = 2,  // create mode: a level could not be made
};

// One path component: not empty, no blank or tab at either end, no "." at its end (so
// neither "." nor ".."), and none of " * / : < > ? \ | in it. A leading "." is allowed, as
// in ~/.cache. Bytes of 128 and above are always allowed.
bool isValidFolderName(const std::string& name);

// The root "/" is valid (in create mode when it exists). Otherwise every component after
// the leading "/" is checked from left to right; in create mode each level is created
// private (0700) as soon as its name passed. A trailing "/" or "//" makes an empty
// component.
FolderCheck checkFolderPath(const std::string& path, FolderCheckMode mode);

// True when `path` names an existing folder.
bool folderExists(const std::string& path);
