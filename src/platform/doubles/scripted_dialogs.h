// Dialogs double: records every text shown and returns queued answers.
#pragma once

#include <deque>
#include <string>
#include <vector>

#include "platform/dialogs.h"

namespace qv {

class ScriptedDialogs : public Dialogs {
 public:
  struct Shown {
    std::string text, title;
    MsgButtons buttons;
    MsgIcon icon;
  };
  std::vector<Shown> shown;
  std::deque<MsgAnswer> answers;                       // default: the dialog's default answer
  std::deque<std::string> inputs;                      // default: the initial text
  std::deque<std::vector<std::string>> openAnswers;    // default: cancel
  std::deque<std::string> saveAnswers;                 // default: cancel
  std::vector<FileDialogOptions> fileDialogs;

  MsgAnswer message(const std::string& text, const std::string& title, MsgButtons buttons, MsgIcon icon,
                    MsgAnswer def) override {
    shown.push_back({text, title, buttons, icon});
    if (answers.empty()) return def;
    MsgAnswer a = answers.front();
    answers.pop_front();
    return a;
  }
  std::string input(const std::string& prompt, const std::string& title, const std::string& initial) override {
    shown.push_back({prompt, title, MsgButtons::OkCancel, MsgIcon::None});
    if (inputs.empty()) return initial;
    std::string s = inputs.front();
    inputs.pop_front();
    return s;
  }
  std::vector<std::string> openFile(const FileDialogOptions& o) override {
    fileDialogs.push_back(o);
    if (openAnswers.empty()) return {};
    auto a = openAnswers.front();
    openAnswers.pop_front();
    return a;
  }
  std::string saveFile(const FileDialogOptions& o) override {
    fileDialogs.push_back(o);
    if (saveAnswers.empty()) return {};
    auto a = saveAnswers.front();
    saveAnswers.pop_front();
    return a;
  }
  // Texts shown, in order.
  std::vector<std::string> texts() const {
    std::vector<std::string> t;
    for (auto& s : shown) t.push_back(s.text);
    return t;
  }
};

}  // namespace qv
