// Message boxes, input boxes and file dialogs as Qt windows.
#pragma once

#include <QString>
#include <QStringList>

#include "platform/dialogs.h"

class QWidget;

namespace qv {

class QtDialogs : public Dialogs {
 public:
  explicit QtDialogs(QWidget* parent = nullptr) : parent_(parent) {}
  void setParent(QWidget* p) { parent_ = p; }

  MsgAnswer message(const std::string& text, const std::string& title, MsgButtons buttons, MsgIcon icon,
                    MsgAnswer defaultAnswer) override;
  std::string input(const std::string& prompt, const std::string& title, const std::string& initial) override;
  std::vector<std::string> openFile(const FileDialogOptions& o) override;
  std::string saveFile(const FileDialogOptions& o) override;

  // "*.wav", "*.m08;*.m16", or pairs "Wave files|*.wav|All files|*.*" as
  // Qt name filters. Patterns match either letter case, since recordings
  // from other systems often carry upper-case extensions; "*.*" is every file.
  static QStringList nameFilters(const std::string& filter);

 private:
  QWidget* parent_;
};

}  // namespace qv
