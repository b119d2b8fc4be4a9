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
      defaultNo.push_back(request.defaultNo);
      return answer_;
    });
  }
  ~MessageBoxRecorder() { MessageBoxes::setHandlerForTests(nullptr); }
  MessageBoxRecorder(const MessageBoxRecorder&) = delete;
  MessageBoxRecorder& operator=(const MessageBoxRecorder&) = delete;

  void setAnswer(bool answer) { answer_ = answer; }

  QStringList texts;
  std::vector<MessageBoxes::Icon> icons;
  std::vector<bool> defaultNo;  // per box: a question whose default answer is No

 private:
  bool answer_;
};
