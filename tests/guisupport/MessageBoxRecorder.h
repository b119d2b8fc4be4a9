#pragma once

#include <QString>
#include <QStringList>

#include "app/shell/MessageBoxes.h"

// Records every message box while it lives and answers questions with `answer`.
class MessageBoxRecorder {
 public:
  explicit MessageBoxRecorder(bool answer = false) : answer_(answer) {
    MessageBoxes::setHandlerForTests([this](const MessageBoxes::Request& request) {
      texts.append(request.text);
      icons.push_back(request.icon);
      return answer_;
    });
  }
  ~MessageBoxRecorder() { MessageBoxes::setHandlerForTests(nullptr); }
  MessageBoxRecorder(const MessageBoxRecorder&) = delete;
  MessageBoxRecorder& operator=(const MessageBoxRecorder&) = delete;

  void setAnswer(bool answer) { answer_ = answer; }

  QStringList texts;
  std::vector<MessageBoxes::Icon> icons;

 private:
  bool answer_;
};
