// Field notes: each note button appends one time-stamped line to the daily
// notes file in the log folder.
#pragma once

#include <memory>
#include <string>
#include <vector>

namespace qv {

class Program;

struct NoteButton {
  const char* control;  // main-window button
  const char* text;     // written to the file; empty: the notes field's text
};
// The buttons in their row order.
const std::vector<NoteButton>& noteButtons();

class NotesLog {
 public:
  explicit NotesLog(Program& p) : p_(p) {}
  // Appends one note; false (and a status-line message) when the file
  // cannot be written.
  bool write(const std::string& note);
  // notes file for today: folder + base name + " " + YYYYMMDD + ".log".
  std::string fileName();

 private:
  Program& p_;
  std::string lastName_;  // name of the open file last written to the notes
};

// Attaches the note buttons and the "Other >" button (text of Text7). The
// writer is shared by everything that writes notes, so the name line of a
// newly opened file is written once.
std::shared_ptr<NotesLog> installNotes(Program& p);

}  // namespace qv
