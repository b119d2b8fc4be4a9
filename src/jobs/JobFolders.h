#pragma once

#include <ctime>
#include <functional>
#include <string>
#include <vector>

#include "jobs/JobJournal.h"

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
// with or without a ".N" suffix, whose journal proves it made with it (provesFolder).
// Nothing else may ever be deleted as a job folder.
bool IsKalvoraJobFolder(const std::string& folder, const std::string& tempFolder);

// The same test for a folder with that name and place: whether it holds a journal, and
// whether the journal proves the folder (false for an empty journal, or one copied from
// another folder).
struct JobFolderMark {
  bool namedAndPlaced = false;  // a folder of this user below the temporary folder, named so
  bool holdsJournal = false;
  bool proven = false;
};
JobFolderMark ReadJobFolderMark(const std::string& folder, const std::string& tempFolder);

// Bare name of the first plain file in `folder` that is a copy (not Kalvora's own), or an
// empty text.
std::string FirstFileInFolder(const std::string& folder);

// Bare names of the plain files of a folder, less Kalvora's own hidden files (journal, a
// copy still being written), sorted.
std::vector<std::string> ListJobCopies(const std::string& folder);

// A job folder sorted by its journal.
struct JobFolderContents {
  // What is to be sent and may be deleted once delivered, sorted by name: with this version's
  // journal the copies it records that are still as written; otherwise every plain file.
  std::vector<JobCopy> copies;
  // Everything else, sorted: files Kalvora did not write (or that changed since), links,
  // subfolders (named with a trailing '/'), other kinds of entries.
  std::vector<std::string> others;
};
JobFolderContents SortJobFolder(const std::string& folder, const JobJournalState& journal);

struct JobFolderRemoval {
  int removed = 0;                // copies removed; -1 for a folder without Kalvora's journal
  std::vector<std::string> left;  // what stayed (as JobFolderContents::others), sorted
  bool folderGone = false;
};

// Deletes the copies `journal` records that are still as written, and Kalvora's own part
// copies; then, when nothing else is left, the journal and the folder. Anything else stays
// with the journal, so the folder stays a kept job, and is named in `left`. With an earlier
// version's journal, which does not record its copies, no file is deleted. Links are never
// followed. Nothing is deleted in a folder without Kalvora's journal.
JobFolderRemoval DeleteJobFolder(const std::string& folder, const JobJournalState& journal);
