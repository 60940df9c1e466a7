// Texts shared by the recording files, logs and snapshots: durations, date
// stamps, the number style of log lines and the print-zone line layout.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/clock.h"

namespace qv {

// Seconds as hh:mm:ss.mmm; hours keep their last two digits.
std::string FormatDuration(double seconds);

namespace rec {

// Numbers joined into labels and logs: a blank before a non-negative number,
// shortest decimal form, no leading zero before the point (" 680", " .5", "-3").
std::string numText(double v);
std::string numText(int64_t v);
inline std::string numText(int v) { return numText(static_cast<int64_t>(v)); }

// YYYYMMDD.
std::string dateStamp(const DateTime& t);
// YYYYMMDD hhmmss.
std::string dateTimeStamp(const DateTime& t);
// mm-dd-yyyy, the date of log lines.
std::string logDate(const DateTime& t);
// hh:mm:ss, 24-hour.
std::string clockTime(const DateTime& t);

// Items in 14-character print zones: each item starts at the next zone
// boundary after the previous one (columns 1, 15, 29, ...), at least one
// blank apart; an empty item still takes its zone. No line end.
std::string printZones(const std::vector<std::string>& items);

// Folder of a path, with its trailing "/" ("" when there is none).
std::string folderOf(const std::string& path);
// Everything after the last "/".
std::string fileNameOf(const std::string& path);
// Drops the last four characters when the fourth from the end is ".".
std::string removeExtension(const std::string& path);
std::string removeColons(const std::string& s);
// Appends "/" to a non-empty folder that lacks it.
std::string withSlash(const std::string& folder);
std::string trimBlanks(const std::string& s);
// A part of a file name (GPS text, prefix, postfix, note text): every
// character that a folder separator or a FAT or exFAT card refuses
// (/ \ : * ? < > | " and control characters) becomes "-".
std::string fileNameSafe(std::string s);

}  // namespace rec
}  // namespace qv
