// Writes a sample patient medium for demos and benchmarks:
//   kalvora-make-medium <folder> [images] [patients]
#include <cstdio>
#include <cstdlib>
#include <exception>

#include <dcmtk/config/osconfig.h>
#include <dcmtk/oflog/oflog.h>

#include "SampleMedium.h"

int main(int argc, char** argv) {
  if (argc < 2 || argc > 4) {
    std::fprintf(stderr, "usage: %s <folder> [images (default 300)] [patients (default 3)]\n",
                 argv[0]);
    return 2;
  }
  OFLog::configure(OFLogger::WARN_LOG_LEVEL);
  SampleMediumOptions options;
  if (argc > 2) options.images = std::atoi(argv[2]);
  if (argc > 3) options.patients = std::atoi(argv[3]);
  if (options.images < 1 || options.patients < 1) {
    std::fprintf(stderr, "images and patients must be positive numbers\n");
    return 2;
  }
  try {
    const SampleMedium medium = makeSampleMedium(argv[1], options);
    std::printf("%zu images written below %s\n", medium.imageFiles.size(), argv[1]);
  } catch (const std::exception& error) {
    std::fprintf(stderr, "%s\n", error.what());
    return 1;
  }
  return 0;
}
