// Dialogs without a window, for runs with no display (remote-controlled
// stations, scripted runs): every text goes to stderr with a "quorvel:"
// prefix, questions take their default answer, file dialogs are cancelled.
#pragma once

#include <cstdio>

#include "platform/dialogs.h"

namespace qv {

class HeadlessDialogs : public Dialogs {
 public:
  explicit HeadlessDialogs(std::FILE* out = stderr) : out_(out) {}
  MsgAnswer message(const std::string& text, const std::string& title, MsgButtons buttons, MsgIcon icon,
                    MsgAnswer defaultAnswer) override;
  std::string input(const std::string& prompt, const std::string& title, const std::string& initial) override;
  std::vector<std::string> openFile(const FileDialogOptions& o) override;
  std::string saveFile(const FileDialogOptions& o) override;

 private:
  void print(const std::string& text);
  std::FILE* out_;
};

}  // namespace qv
