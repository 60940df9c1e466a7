// A copy of the spectrogram image kept while a dialog or panel covers it.
// Laying out the idle window clears the picture, so whatever cleared it in
// between, the picture comes back when the dialog is done.
#pragma once

#include <memory>

namespace qv {

class Program;
class Surface;

class SpecGramCopy {
 public:
  // Keeps the picture unless a copy is already held (an inner dialog of a
  // panel must not replace the panel's copy with a cleared picture). Only
  // while idle: a running loop keeps drawing its own picture.
  void SaveSpecGram(Program& p);
  // Gives the copy back and lets it go. A copy of another layout (a changed
  // size or image height) or one taken before a run is dropped instead.
  void RestoreSpecGram(Program& p);
  // Lets the copy go without giving it back (a run began, the picture was
  // cleared for changed settings).
  void discard() { copy_.reset(); }
  bool held() const { return copy_ != nullptr; }

 private:
  std::shared_ptr<Surface> copy_;
  int specVsize_ = 0;
};

}  // namespace qv
