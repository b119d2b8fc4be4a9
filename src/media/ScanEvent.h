#pragma once

#include <cstdint>

// What a scan report is about. The numbers are part of the worker contract.
enum class ScanEvent : int32_t {
  ScanStarted = 0,
  ScanStopped = 1,
  ScanError = 2,
  FileCopied = 3,
  FileAnonymized = 4,
  FileNotCopied = 5,
  ScanSkipped = 6,
  ScanFinished = 7,
};
