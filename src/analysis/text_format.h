// Number and duration texts as the program prints them in labels and logs.
#pragma once

#include <string>

namespace qv {

// x rounded half up to n decimals: integer part of x * 10^n + 0.5, over 10^n.
double roundHalfUp(double x, int n);
// Plain decimal text without a leading blank ("48000", "21.333", "-3.5").
std::string numText(double x);
// Decimal text with a leading blank when not negative (" 48000", "-3").
std::string strNum(double x);
// A single-precision value as the labels print it: seven significant
// digits, no zero before the decimal point, a leading blank when not
// negative (" 85.33333", " .043", "-2.5", " 1.234568E+07").
std::string strSingle(float x);
// Seconds as hh:mm:ss.mmm; hours keep their last two digits.
std::string formatDuration(double seconds);

}  // namespace qv
