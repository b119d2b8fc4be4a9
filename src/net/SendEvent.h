#pragma once

// The kinds of report a send job makes; the values are those of the window
// messages' events and stay fixed.
enum SendEvent : int {
  SendStarted = 0,
  SendNotice = 1,
  SendFailed = 2,
  FileSent = 3,
  FileFailed = 4,
  FileConverted = 5,
  SendFinished = 6,
};
