#include "platform/qt/headless_dialogs.h"

namespace qv {

namespace {
bool offered(MsgButtons b, MsgAnswer a) {
  switch (b) {
    case MsgButtons::Ok: return a == MsgAnswer::Ok;
    case MsgButtons::OkCancel: return a == MsgAnswer::Ok || a == MsgAnswer::Cancel;
    case MsgButtons::YesNo: return a == MsgAnswer::Yes || a == MsgAnswer::No;
    case MsgButtons::YesNoCancel: return a == MsgAnswer::Yes || a == MsgAnswer::No || a == MsgAnswer::Cancel;
    case MsgButtons::RetryCancel: return a == MsgAnswer::Retry || a == MsgAnswer::Cancel;
  }
  return false;
}
MsgAnswer firstButton(MsgButtons b) {
  switch (b) {
    case MsgButtons::YesNo:
    case MsgButtons::YesNoCancel: return MsgAnswer::Yes;
    case MsgButtons::RetryCancel: return MsgAnswer::Retry;
    default: return MsgAnswer::Ok;
  }
}
}  // namespace

void HeadlessDialogs::print(const std::string& text) {
  // One prefixed line per line of the message.
  std::string line;
  auto flush = [&] {
    std::fprintf(out_, "quorvel: %s\n", line.c_str());
    line.clear();
  };
  for (size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    if (c == '\r') {
      if (i + 1 < text.size() && text[i + 1] == '\n') ++i;
      flush();
    } else if (c == '\n') {
      flush();
    } else {
      line += c;
    }
  }
  if (!line.empty() || text.empty()) flush();
  std::fflush(out_);
}

MsgAnswer HeadlessDialogs::message(const std::string& text, const std::string&, MsgButtons buttons, MsgIcon,
                                   MsgAnswer defaultAnswer) {
  print(text);
  // A default that is not among the buttons would be an answer nobody could give.
  return offered(buttons, defaultAnswer) ? defaultAnswer : firstButton(buttons);
}

std::string HeadlessDialogs::input(const std::string& prompt, const std::string&, const std::string& initial) {
  print(prompt);
  return initial;
}

std::vector<std::string> HeadlessDialogs::openFile(const FileDialogOptions& o) {
  print((o.title.empty() ? std::string("Open file") : o.title) + ": cancelled (no display)");
  return {};
}

std::string HeadlessDialogs::saveFile(const FileDialogOptions& o) {
  print((o.title.empty() ? std::string("Save file") : o.title) + ": cancelled (no display)");
  return {};
}

}  // namespace qv
