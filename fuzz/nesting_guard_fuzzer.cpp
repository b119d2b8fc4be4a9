// The nesting guard against DCMTK itself: whenever the guard lets a file through and DCMTK
// loads it, the guard must have seen at least the nesting depth of the tree DCMTK built.
// A file the guard wrongly passes with thousands of levels crashes DCMTK here.

#include "FuzzSupport.h"

#include "dicom/NestingGuard.h"

#include <dcmtk/dcmdata/dcdatset.h>
#include <dcmtk/dcmdata/dcfilefo.h>
#include <dcmtk/dcmdata/dcmetinf.h>
#include <dcmtk/dcmdata/dcsequen.h>

#include <algorithm>
#include <cstdlib>
#include <vector>

namespace {

// Deepest nesting of sequences (an encapsulated pixel data element counts as one), walked
// without recursion.
int treeDepth(DcmItem& root) {
  struct Node {
    DcmItem* item;
    int depth;
  };
  std::vector<Node> pending{{&root, 0}};
  int deepest = 0;
  while (!pending.empty()) {
    const Node node = pending.back();
    pending.pop_back();
    for (unsigned long i = 0; i < node.item->card(); ++i) {
      DcmElement* element = node.item->getElement(i);
      if (element->ident() == EVR_SQ) {
        deepest = std::max(deepest, node.depth + 1);
        auto* sequence = static_cast<DcmSequenceOfItems*>(element);
        for (unsigned long j = 0; j < sequence->card(); ++j)
          pending.push_back({sequence->getItem(j), node.depth + 1});
      } else if (element->ident() == EVR_PixelData &&
                 element->getLengthField() == DCM_UndefinedLength) {
        deepest = std::max(deepest, node.depth + 1);
      }
    }
  }
  return deepest;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  silenceDcmtk();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::string path = scratchFolder() + "/guarded.dcm";
  writeInput(path, data, size);
  const NestingVerdict verdict = checkNestingDepth(path);
  if (!safeToLoad(verdict)) return 0;
  DcmFileFormat file;
  if (file.loadFile(path.c_str()).bad()) return 0;
  const int depth = std::max(treeDepth(*file.getMetaInfo()), treeDepth(*file.getDataset()));
  if (depth > kMaxSequenceNesting) std::abort();        // let through what it must not
  if (verdict != NestingVerdict::Acceptable) return 0;  // walk given up: no depth to compare
  // The guard may see more than the tree keeps (DCMTK parses a repeated element, recursing
  // into it, then drops it), never less.
  if (depth > 0 && checkNestingDepth(path, depth - 1) != NestingVerdict::TooDeep)
    std::abort();  // missed a level
  return 0;
}
