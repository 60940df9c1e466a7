#include "files/playlist.h"

#include <map>
#include <memory>

#include "analysis/text_format.h"
#include "core/program.h"
#include "files/file_info.h"
#include "files/open_dialog.h"
#include "files/open_file.h"
#include "platform/dialogs.h"
#include "platform/surface.h"
#include "realtime/update_form.h"

namespace qv {

namespace {

constexpr int kLineHeightPx = 14;

std::map<const Program*, std::function<void(const std::string&)>>& openers() {
  static std::map<const Program*, std::function<void(const std::string&)>> m;
  return m;
}

// Without the file-opening code: measure the file and make it current.
void measureAndOpen(Program& p, const std::string& path) {
  FileInfo info;
  OpenCheck c = checkFileForOpen(path, rawFileSettings(p.forms()), info);
  if (!c.ok) {
    if (Dialogs* d = p.services().dialogs) d->message(c.message);
    return;
  }
  PublicVars& v = p.vars();
  v.FileType = info.FileType;
  v.HeaderSize = info.HeaderSize;
  v.Channels = info.channels;
  v.SampleRate = info.SampleRate;
  v.FileSize = info.FileSize;
  v.CurrentFile = path;
  v.FileTime = "00:00:00";
  if (Control* l = p.form1().find("Label4"))
    l->setCaption(openFileLabel(path, v.PlayListSize, info.FileSize, info.SampleRate, info.channels));
}

void openEntry(Program& p, const std::string& path) {
  auto it = openers().find(&p);
  if (it != openers().end() && it->second) it->second(path);
  else measureAndOpen(p, path);
}

void printLines(Program& p, const std::vector<std::string>& lines, bool clearFirst) {
  Control* pic = p.form1().find("SpecGram");
  if (!pic) return;
  auto s = ensureSurface(p, *pic, std::max(1, pic->geometry().width), std::max(1, pic->geometry().height));
  if (!s) return;
  if (clearFirst) s->clear();
  for (size_t i = 0; i < lines.size(); ++i)
    s->text(0, static_cast<int>(i) * kLineHeightPx, lines[i], rgb(0, 0, 0));
}

}  // namespace

void setPlayListOpener(Program& p, std::function<void(const std::string&)> openFile) {
  openers()[&p] = std::move(openFile);
}

std::vector<std::string> rotatePlayList(const std::vector<std::string>& chosen) {
  if (chosen.size() < 2) return chosen;
  std::vector<std::string> r(chosen.begin() + 1, chosen.end());
  r.push_back(chosen.front());
  return r;
}

std::vector<std::string> playListLines(const Program& p) {
  const PublicVars& v = const_cast<Program&>(p).vars();
  std::vector<std::string> lines;
  for (int i = 1; i <= v.PlayListSize && i < static_cast<int>(v.PlayList.size()); ++i)
    lines.push_back(strNum(i) + " " + v.PlayList[static_cast<size_t>(i)]);
  return lines;
}

void SetPlayList_Click(Program& p) {
  Dialogs* d = p.services().dialogs;
  if (!d || !p.vars().StopFlag) return;
  FileDialogOptions o;
  o.title = "Play List";
  if (Control* c = p.options0().find("DefPlayPathField")) o.initialFolder = c->text();
  o.initialName = "*.*";
  o.multiple = true;
  std::vector<std::string> chosen = d->openFile(o);
  if (chosen.empty() || chosen.front().empty()) return;
  std::vector<std::string> order = rotatePlayList(chosen);
  std::vector<std::string> lines;
  for (size_t i = 0; i < order.size(); ++i) lines.push_back(strNum(static_cast<double>(i + 1)) + " " + order[i]);
  printLines(p, lines, true);
  const int n = static_cast<int>(order.size());
  if (n < 2) {
    d->message("Use Open .wav to play a file");
    return;
  }
  PublicVars& v = p.vars();
  v.PlayList.assign(1, folderOf(chosen.front()));
  v.PlayList.insert(v.PlayList.end(), order.begin(), order.end());
  v.PlayListSize = n;
  d->message(strNum(n) + "PlayList");
  openEntry(p, v.PlayList[1]);
}

void SpecGram_OLEDragDrop(Program& p, const std::vector<std::string>& paths) {
  if (!p.vars().StopFlag || paths.empty()) return;
  if (paths.size() == 1) {
    openEntry(p, paths.front());
    return;
  }
  PublicVars& v = p.vars();
  v.PlayList.assign(1, std::string());
  v.PlayList.insert(v.PlayList.end(), paths.begin(), paths.end());
  v.PlayListSize = static_cast<int>(paths.size());
  openEntry(p, v.PlayList[1]);
}

void ShowPlayList_Click(Program& p) { printLines(p, playListLines(p), true); }

void installPlayList(Program& p) {
  Form& f = p.form1();
  if (Control* c = f.find("SetPlayList")) c->on(Event::Click, [&p] { SetPlayList_Click(p); });
  if (Control* c = f.find("ShowPlayList")) c->on(Event::Click, [&p] { ShowPlayList_Click(p); });
}

}  // namespace qv
