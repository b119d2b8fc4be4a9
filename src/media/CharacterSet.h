#pragma once

#include <string>

class DcmDataset;

// Values we write are UTF-8. Before a non-ASCII value goes in, the data set is converted
// to UTF-8 and declares ISO_IR 192, so the receiving station reads every name right.
// Pure ASCII values leave the data set alone.
void PrepareForText(DcmDataset& dataset, const std::string& value);
