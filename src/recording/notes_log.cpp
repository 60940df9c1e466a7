#include "recording/notes_log.h"

#include <cstdio>
#include <filesystem>
#include <memory>

#include "core/program.h"
#include "platform/clock.h"
#include "recording/rec_text.h"
#include "recording/folders.h"

namespace qv {

const std::vector<NoteButton>& noteButtons() {
  static const std::vector<NoteButton> buttons = {
      {"NoteR", "RC Regular Clicks"},       {"NoteSN", "SN Sonar"},
      {"NoteCD", "CD Codas"},               {"NoteC", "C Clicks"},
      {"NoteB", "B Bursts"},                {"NoteWH", "HW High freq. whistles"},
      {"NoteWL", "LW Low freq. whistles"},  {"NoteSC", "SC Tonal ship noise"},
      {"NoteSP", "SP Pulsed ship noise"},   {"NoteN", "N Nacchere"},
      {"NoteOther", ""},
  };
  return buttons;
}

static std::string opt1Text(Program& p, const char* name) {
  Control* c = p.options1().find(name);
  return c ? c->text() : std::string();
}

std::string NotesLog::fileName() {
  DateTime now = p_.services().clock ? p_.services().clock->now() : DateTime{};
  return rec::withSlash(opt1Text(p_, "DefLogPath")) + opt1Text(p_, "NotesFileNameText") + " " + rec::dateStamp(now) +
         ".log";
}

bool NotesLog::write(const std::string& note) {
  const DateTime now = p_.services().clock ? p_.services().clock->now() : DateTime{};
  const std::string sep = " " + opt1Text(p_, "NotesFieldSeparatorText") + " ";
  const std::string path = fileName();

  std::string text;
  const std::string& current = p_.vars().CurrentFile;
  const bool nameLine = current != lastName_;
  if (nameLine) text += current + "\r\n";
  const int task = p_.vars().Task;
  if (task == 1 || task == 2)
    text += rec::dateStamp(now) + sep + rec::clockTime(now) + sep + note + "\r\n";
  else
    text += p_.vars().FileTime + sep + note + "\r\n";

  // A missing log folder is made rather than losing the note, one level
  // only: a missing parent is an unmounted disk, said in the status line.
  const std::string folder = rec::folderOf(path);
  if (!folder.empty()) {
    FolderCheck made = makeFolderOneLevel(folder);
    if (!made.ok) {
      p_.setStatus("Note not written to " + path + ": " + made.message);
      return false;
    }
  }
  FILE* f = std::fopen(path.c_str(), "ab");
  bool ok = f && std::fwrite(text.data(), 1, text.size(), f) == text.size();
  if (f) ok = std::fclose(f) == 0 && ok;
  if (!ok) {
    p_.setStatus("Note not written to " + path);
    return false;
  }
  if (nameLine) lastName_ = current;
  // The recordings of a live run carry its last note.
  if ((task == 1 || task == 2) && !p_.vars().StopFlag) p_.vars().LastNote = note;
  return true;
}

std::shared_ptr<NotesLog> installNotes(Program& p) {
  auto log = std::make_shared<NotesLog>(p);
  Form& f = p.form1();
  for (const NoteButton& b : noteButtons()) {
    Control* c = f.find(b.control);
    if (!c) continue;
    std::string text = b.text;
    c->on(Event::Click, [&p, log, text] {
      if (!text.empty()) {
        log->write(text);
      } else if (Control* field = p.form1().find("Text7")) {
        log->write(field->text());
      }
    });
  }
  return log;
}

}  // namespace qv
