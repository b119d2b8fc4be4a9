#pragma once

#include <string>
#include <vector>

#include <dcmtk/config/osconfig.h>
#include <dcmtk/dcmnet/assoc.h>

// The 63 storage SOP classes proposed when the job does not propose only what its files need.
const std::vector<std::string>& storageSopClassUids();

// One presentation context with the default role. An empty transfer syntax is passed as "".
OFCondition AddPresentationContext(T_ASC_Parameters* params, int contextId,
                                   const std::string& abstractSyntax,
                                   const std::string& transferSyntax);
OFCondition AddPresentationContext(T_ASC_Parameters* params, int contextId,
                                   const std::string& abstractSyntax,
                                   const std::vector<std::string>& transferSyntaxes);

// A storage class and a transfer syntax in which some of its files go as they are.
struct ClassInOwnSyntax {
  std::string sopClass;
  std::string transferSyntax;
};

// The accepted context for `sopClass` in exactly `transferSyntax`, or 0.
T_ASC_PresentationContextID acceptedContextInSyntax(T_ASC_Association* association,
                                                    const std::string& sopClass,
                                                    const char* transferSyntax);
// An accepted context for `sopClass` in an uncompressed syntax (explicit little endian first,
// then implicit little endian, then explicit big endian), or 0.
T_ASC_PresentationContextID uncompressedContext(T_ASC_Association* association,
                                                const std::string& sopClass);

// Up to 128 contexts, odd ids from 1, in this order:
// 1. each class of `sopClasses` (the classes found in the job's files, in order of first
//    appearance) with two contexts: the preferred uncompressed syntax alone, then the other
//    uncompressed ones;
// 2. for each class of step 1, one context per syntax of `ownSyntaxes` for it, as room allows;
// 3. unless `proposeOnlyRequired`, the standard storage classes not found in the files, two
//    contexts each, as room allows.
// Duplicates are proposed once. Returns the condition of the last addition; with
// `proposeOnlyRequired`, ASC_BADPRESENTATIONCONTEXTID when the classes of step 1 do not fit.
OFCondition AddStoragePresentationContexts(T_ASC_Parameters* params,
                                           const std::vector<std::string>& sopClasses,
                                           bool proposeOnlyRequired,
                                           const std::vector<ClassInOwnSyntax>& ownSyntaxes = {});
