#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// A private scratch folder for the whole fuzzing run, removed at exit.
const std::string& scratchFolder();

// Writes the input to `path`, replacing what was there.
void writeInput(const std::string& path, const uint8_t* data, size_t size);

// Empties a folder (plain files only).
void clearFolder(const std::string& folder);

// DCMTK's log would flood the output and slow every run down.
void silenceDcmtk();
