#pragma once

#include <ctime>
#include <string>

#include <dcmtk/dcmdata/dcdatset.h>
#include <dcmtk/ofstd/ofcond.h>

// Changes to one element at the top level of a data set (sequences are never searched).
// Each returns a condition of module 0, code 0, with a text saying what happened.

// Puts `value` into the element if present; never inserts one. `dataset` may be null.
OFCondition ReplaceValue(DcmDataset* dataset, Uint16 group, Uint16 element,
                         const std::string& value, const std::string& name);
// Keeps the year of a DA value and sets month and day to 0101.
OFCondition SetJanuaryFirst(DcmDataset& dataset, Uint16 group, Uint16 element,
                            const std::string& name);
// Sets a DA value to the UTC date of `now`.
OFCondition SetCurrentDate(DcmDataset& dataset, Uint16 group, Uint16 element,
                           const std::string& name, std::time_t now = std::time(nullptr));
OFCondition DeleteTag(DcmDataset& dataset, Uint16 group, Uint16 element);
