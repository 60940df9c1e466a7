// One line of a text log in the layout of a formatted print statement: items
// follow each other directly or from the next 14-character print zone
// (columns 1, 15, 29, ...). Numbers carry a leading blank when not negative
// and a trailing blank. Fixed capacity, so building a line never allocates.
#pragma once

#include <cstdint>
#include <string_view>

namespace qv {

class PrintLine {
 public:
  static constexpr int kZone = 14;
  static constexpr int kCapacity = 1024;

  PrintLine& clear() {
    len_ = 0;
    return *this;
  }
  PrintLine& text(std::string_view s);
  // " 42 ", "-7 "
  PrintLine& integer(int64_t v);
  // Up to 7 significant digits, no exponent for ordinary magnitudes.
  PrintLine& real(double v);
  // Moves to the start of the next print zone (always forward, so an item
  // that fills or overflows a zone pushes the next one a zone further).
  PrintLine& zone();
  // Appends CR LF.
  PrintLine& end();

  std::string_view view() const { return {buf_, static_cast<size_t>(len_)}; }
  const char* data() const { return buf_; }
  int size() const { return len_; }

 private:
  char buf_[kCapacity];
  int len_ = 0;
};

// Writes a real the way logs and labels show it (no blanks): "1234.5", "0.01",
// "-3", "86400000". Returns the length; `out` needs 32 bytes.
int formatReal(double v, char* out);
// Leading blank when not negative, as numbers joined into labels are shown.
int formatLabelNumber(double v, char* out);

}  // namespace qv
