#pragma once

#include <string>
#include <vector>

#include <sys/types.h>

// The password that opens the configuration dialogs. A site replaces the built-in one with
// its own: a salted hash in crypt(3) form (as `openssl passwd -6` or `mkpasswd -m sha-512`
// print it) in a file named "password" in its configuration folder (/etc/xdg/kalvora). Only a
// regular file owned by `trustedOwner` (root) that no one else may write counts: anyone else
// could otherwise set the site's password. With no such file the built-in password stays.
bool configurationPasswordMatches(const std::string& typed,
                                  const std::vector<std::string>& siteFolders,
                                  uid_t trustedOwner = 0);

// The same, with the site folders of this process's environment.
bool configurationPasswordMatches(const std::string& typed);
