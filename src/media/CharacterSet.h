#pragma once

#include <string>

class DcmDataset;

// Values we write are UTF-8. Before a non-ASCII value goes in, the data set is converted
// to UTF-8 and declares ISO_IR 192, so the receiving station reads every name right.
// When DCMTK cannot convert the data set's own texts, they keep their character set and
// its label (a new label would garble them), and the value goes in as ASCII with '?' for
// each other character: that reads the same in every character set.
// Call it only for a value that is actually written; returns the text to write.
std::string PrepareForText(DcmDataset& dataset, const std::string& value);
