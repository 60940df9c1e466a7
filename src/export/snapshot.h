// Bitmap snapshots of the spectrogram area, the main window or the screen.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "core/control.h"

namespace qv {

class Program;
class Surface;

// How pictures of what is shown are grabbed. The app sets these to grab the
// real window and screen; left empty, the main window is rendered from its
// model (its pictures at their places) so snapshots work headless.
struct ScreenCapture {
  // The main window as shown (its left/top edge at pixel 0, 0), or null.
  std::function<std::shared_ptr<Surface>()> grabForm;
  std::function<std::shared_ptr<Surface>()> grabScreen;
};
ScreenCapture& screenCapture();

enum class SnapshotKind { Spectrogram, Form, Screen };

// The spectrogram area of the main window: from (8, 50), the window's width
// less 17 across, the spectrogram's top + height + 36 down.
Geometry spectrogramRegion(Program& p);

// Grabs the picture and writes path + ".bmp"; with an empty path only the
// grab is done. False when nothing could be grabbed or written.
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
