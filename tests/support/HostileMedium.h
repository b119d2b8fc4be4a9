#pragma once

#include <string>
#include <vector>

// One file of the hostile regression medium and whether DCMTK (behind the guard) loads it.
struct HostileFile {
  std::string name;
  bool loadable;
};

// Writes the hostile regression medium into `folder`: the shapes behind DCMTK's security
// fixes, damaged and non-DICOM files, a nesting bomb and a few good images among them.
std::vector<HostileFile> writeHostileMedium(const std::string& folder);
