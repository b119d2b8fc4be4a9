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

// Two contexts per SOP class (preferred uncompressed syntax alone, then the other uncompressed
// ones), odd ids from 1. `sopClasses` are the classes found in the job's files; unless
// `proposeOnlyRequired`, the standard storage classes are added behind them. Duplicates are
// proposed once. Returns the condition of the last addition (ASC_BADPRESENTATIONCONTEXTID once
// the ids run out).
OFCondition AddStoragePresentationContexts(T_ASC_Parameters* params,
                                           std::vector<std::string> sopClasses,
                                           bool proposeOnlyRequired);
