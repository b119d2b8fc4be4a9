// Writes a sample patient medium for demos and benchmarks:
//   kalvora-make-medium <folder> [images] [patients]
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>

#include <dcmtk/config/osconfig.h>
#include <dcmtk/oflog/oflog.h>

#include "SampleMedium.h"

namespace {

void printUsage(std::FILE* out, const char* program) {
  std::fprintf(out, "usage: %s <folder> [images (default 300)] [patients (default 3)]\n", program);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
    printUsage(stdout, argv[0]);
    return 0;
  }
  if (argc < 2 || argc > 4) {
    printUsage(stderr, argv[0]);
    return 2;
  }
  // A folder named like an option is a typing error, never a medium to make.
  for (int i = 1; i < argc; ++i) {
    if (argv[i][0] == '-') {
      std::fprintf(stderr, "unknown option '%s'\n", argv[i]);
      printUsage(stderr, argv[0]);
      return 2;
    }
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
