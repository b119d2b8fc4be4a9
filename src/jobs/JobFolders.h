#pragma once

#include <ctime>
#include <functional>
#include <string>
#include <vector>

// Job folders: one private folder per read of a medium, below the temporary folder,
// named from the local time at which the read starts. The path is also the job's key.

// tempFolder + "/" + year month day hour minute second, without separators or leading
// zeros ("/tmp/k" at 2005-03-09 14:05:07 gives "/tmp/k/2005391457"). A tempFolder that
// ends in '/' gives two in a row; the path is used as it is.
std::string MakeJobFolderName(const std::string& tempFolder, std::time_t now = std::time(nullptr));

// Creates every missing folder of `path` (private to the user) and tells whether the
// path exists afterwards.
bool CreateFolderChain(const std::string& path);

// The folder job folders go below, from the setting as typed: an empty one means the
// default private folder. A relative one is refused (it would move with the current
// folder): returns "" and sets `error`.
std::string ResolveTempFolder(const std::string& tempFolder, std::string& error);

struct JobFolder {
  std::string path;   // the job folder, and the job's key even when it was not made
  std::string error;  // why it was not made; empty when it was
};

// Makes a new job folder below the resolved `tempFolder` (created when missing), private
// (0700) and made by this call: a name that exists already, as a folder, file or planted
// link, or that `isTaken` reports, gets a suffix ".2", ".3" ... Nothing is made, and the
// error tells why, when the temporary folder is relative, cannot be created, or is not
// private (see whyFolderIsNotPrivate), or when the job folder cannot be created.
JobFolder CreateJobFolder(const std::string& tempFolder, std::time_t now = std::time(nullptr),
                          const std::function<bool(const std::string&)>& isTaken = {});

// True only for a folder that job folders are made as: this user's own folder (not a
// link) directly below the resolved `tempFolder`, named as MakeJobFolderName names one,
// with or without a ".N" suffix, that holds Kalvora's journal (made with the job folder).
// Nothing else may ever be deleted as a job folder.
bool IsKalvoraJobFolder(const std::string& folder, const std::string& tempFolder);

// Bare name of the first plain file in `folder` that is a copy (not Kalvora's own), or an
// empty text.
std::string FirstFileInFolder(const std::string& folder);

// Bare names of the copies in a job folder: its plain files, less Kalvora's own hidden
// files (journal, a copy still being written), sorted.
std::vector<std::string> ListJobCopies(const std::string& folder);

// Deletes the plain files of the folder, then the folder if it is empty. Subfolders and
// anything that cannot be deleted stay; links are removed, never followed. Returns how many
// copies (as ListJobCopies counts them) were removed; -1, with nothing deleted, for a folder
// without Kalvora's journal: not a job folder of Kalvora's.
int DeleteJobFolder(const std::string& folder);
