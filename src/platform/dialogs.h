// Message boxes, input boxes and file dialogs: what the operator is asked.
#pragma once

#include <string>
#include <vector>

namespace qv {

enum class MsgButtons { Ok, OkCancel, YesNo, YesNoCancel, RetryCancel };
enum class MsgIcon { None, Information, Warning, Error, Question };
enum class MsgAnswer { Ok, Cancel, Yes, No, Retry };

struct FileDialogOptions {
  std::string title;
  std::string initialFolder;
  std::string initialName;
  std::string filter;        // "*.wav", "*.preset", ...
  std::string defaultExt;    // without the dot
  bool multiple = false;
};

class Dialogs {
 public:
  virtual ~Dialogs() = default;
  virtual MsgAnswer message(const std::string& text, const std::string& title = "",
                            MsgButtons buttons = MsgButtons::Ok, MsgIcon icon = MsgIcon::None,
                            MsgAnswer defaultAnswer = MsgAnswer::Ok) = 0;
  // Empty on cancel.
  virtual std::string input(const std::string& prompt, const std::string& title, const std::string& initial) = 0;
  // Empty vector on cancel.
  virtual std::vector<std::string> openFile(const FileDialogOptions& o) = 0;
  virtual std::string saveFile(const FileDialogOptions& o) = 0;
};

}  // namespace qv
