#pragma once

#include <string>
#include <vector>

// What a patient CD typically looks like: CT images in a DICOMDIR tree
// (DICOM/PATn/STUn/SERn/IMnnnnn, DICOMDIR at the root) and a viewer folder of other files.
struct SampleMediumOptions {
  int images = 300;
  int patients = 3;
  int studiesPerPatient = 2;
  int seriesPerStudy = 2;
  int rows = 512;
  int columns = 512;
};

struct SampleMedium {
  std::string root;
  std::vector<std::string> imageFiles;  // full paths, in tree order
};

// Writes the medium below `root` (created if missing). Throws std::runtime_error on failure.
SampleMedium makeSampleMedium(const std::string& root, const SampleMediumOptions& options);
