// Bitmap snapshots of the spectrogram area, the main window or the screen.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "core/control.h"

namespace qv {

class Program;
class Surface;

enum class SnapshotKind { Spectrogram, Form, Screen };

// The spectrogram area of the main window: from (8, 50), the window's width
// less 17 across, the spectrogram's top + height + 36 down.
Geometry spectrogramRegion(Program& p);

// Grabs the picture through the program's screen grab and writes path +
// ".bmp"; with an empty path only the grab is done. False when nothing could
// be grabbed or written.
bool captureSnapshot(Program& p, SnapshotKind kind, const std::string& pathWithoutExt);

// Path without extension of the one-key snapshot.
std::string oneKeySnapshotPath(Program& p);
// "[ScreenSnapshot]": the kind chosen in the advanced panel's "Snapshot"
// combo, named from the date and time or from the open file and position.
bool ScreenSnapshot_Click(Program& p);
// The menu saves: propose a name, ask with the save dialog, capture.
bool saveSnapshotAs(Program& p, SnapshotKind kind);
inline bool SaveSpectrogram_Click(Program& p) { return saveSnapshotAs(p, SnapshotKind::Spectrogram); }
inline bool SaveForm_Click(Program& p) { return saveSnapshotAs(p, SnapshotKind::Form); }
inline bool SaveScreen_Click(Program& p) { return saveSnapshotAs(p, SnapshotKind::Screen); }

void installSnapshots(Program& p);

}  // namespace qv
