#pragma once

#include <ctime>
#include <functional>
#include <string>

// Job folders: one private folder per read of a medium, below the temporary folder,
// named from the local time at which the read starts. The path is also the job's key.

// tempFolder + "/" + year month day hour minute second, without separators or leading
// zeros ("/tmp/k" at 2005-03-09 14:05:07 gives "/tmp/k/2005391457"). A tempFolder that
// ends in '/' gives two in a row; the path is used as it is.
std::string MakeJobFolderName(const std::string& tempFolder, std::time_t now = std::time(nullptr));

// Creates every missing folder of `path` (private to the user) and tells whether the
// path exists afterwards.
bool CreateFolderChain(const std::string& path);

// The folder job folders go below: the configured one, or the default private folder
// when none is configured (never the file system's root).
std::string jobsParentFolder(const std::string& tempFolder);

// Makes a new job folder below jobsParentFolder(tempFolder), private (0700) and made by
// this call: a name that exists already, as a folder, file or planted link, or that
// `isTaken` reports, gets a suffix ".2", ".3" ... When nothing can be created, returns the
// plain name (each write will then fail and be reported).
std::string CreateJobFolder(const std::string& tempFolder, std::time_t now = std::time(nullptr),
                            const std::function<bool(const std::string&)>& isTaken = {});

// Bare name of the first plain file in `folder`, or an empty text.
std::string FirstFileInFolder(const std::string& folder);

// Deletes the plain files of the folder, then the folder if it is empty. Subfolders and
// anything that cannot be deleted stay; links are removed, never followed.
void DeleteJobFolder(const std::string& folder);
