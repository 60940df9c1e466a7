#include "export/snapshot.h"

#include "core/program.h"
#include "platform/clock.h"
#include "platform/dialogs.h"
#include "platform/screen_grab.h"
#include "platform/surface.h"
#include "recording/rec_text.h"

namespace qv {

Geometry spectrogramRegion(Program& p) {
  Geometry g;
  g.left = 8;
  g.top = 50;
  g.width = p.form1().width() - 17;
  Control* spec = p.form1().find("SpecGram");
  g.height = spec ? spec->geometry().top + spec->geometry().height + 36 : 0;
  return g;
}

namespace {

std::shared_ptr<Surface> newSurface(Program& p, int w, int h) {
  SurfaceFactory* f = p.services().surfaces;
  if (!f || w <= 0 || h <= 0) return nullptr;
  return f->create(w, h);
}

std::shared_ptr<Surface> grabForm(Program& p) {
  ScreenGrab* g = p.services().screen;
  return g ? g->grabMainWindow() : nullptr;
}

std::shared_ptr<Surface> grabScreen(Program& p) {
  ScreenGrab* g = p.services().screen;
  return g ? g->grabScreen() : nullptr;
}

// A short pause with events served, so the window is drawn before the grab.
void settle(Program& p) {
  p.pumpEvents();
  Clock* clock = p.services().clock;
  if (!clock) return;
  const int64_t start = clock->tickMs();
  for (int i = 0; i < 1000 && clock->tickMs() - start < 10; ++i) p.pumpEvents();
}

std::string nowStamp(Program& p) {
  return rec::dateTimeStamp(p.services().clock ? p.services().clock->now() : DateTime{});
}

std::string openFileStem(Program& p) { return rec::removeExtension(rec::fileNameOf(p.vars().CurrentFile)); }

}  // namespace

bool captureSnapshot(Program& p, SnapshotKind kind, const std::string& pathWithoutExt) {
  std::shared_ptr<Surface> picture;
  switch (kind) {
    case SnapshotKind::Spectrogram: {
      settle(p);
      const Geometry r = spectrogramRegion(p);
      auto form = grabForm(p);
      picture = newSurface(p, r.width, r.height);
      if (!form || !picture) return false;
      picture->clear();
      picture->blit(0, 0, r.width, r.height, *form, r.left, r.top);
      break;
    }
    case SnapshotKind::Form:
      picture = grabForm(p);
      break;
    case SnapshotKind::Screen:
      picture = grabScreen(p);
      break;
  }
  if (!picture) return false;
  if (pathWithoutExt.empty()) return true;
  return picture->save(pathWithoutExt + ".bmp");
}

std::string oneKeySnapshotPath(Program& p) {
  if (p.vars().Task > 2)
    return rec::folderOf(p.vars().CurrentFile) + "wSpec " + openFileStem(p) + " at " +
           rec::removeColons(p.vars().FileTime);
  // The folder as stored, with its "/" added when missing: without it the
  // picture would land beside the folder under a mangled name.
  std::string folder;
  if (Control* c = p.options1().find("DefSavePath")) folder = rec::withSlash(c->text());
  return folder + "wSpec " + nowStamp(p);
}

bool ScreenSnapshot_Click(Program& p) {
  const std::string remembered = p.status();
  const std::string path = oneKeySnapshotPath(p);
  p.setStatus("Saving to");
  Control* which = p.options1().find("Combo3");
  const std::string kind = which ? which->text() : std::string();
  bool ok = false;
  bool attempted = true;
  if (kind == "Form") ok = captureSnapshot(p, SnapshotKind::Form, path);
  else if (kind == "Spectrogram") ok = captureSnapshot(p, SnapshotKind::Spectrogram, path);
  else if (kind == "Screen") ok = captureSnapshot(p, SnapshotKind::Screen, path);
  else attempted = false;
  p.setStatus(remembered);
  if (attempted && !ok) p.setStatus("Snapshot not saved: " + path + ".bmp");
  return ok;
}

bool saveSnapshotAs(Program& p, SnapshotKind kind) {
  Dialogs* d = p.services().dialogs;
  Control* savePath = p.options1().find("DefSavePath");
  if (!d) return false;
  FileDialogOptions o;
  o.title = "Save";
  o.initialFolder = rec::withSlash(savePath ? savePath->text() : std::string());
  o.defaultExt = "bmp";
  o.filter = "*.bmp";
  if (p.vars().Task > 2)
    o.initialName = "wSpec " + openFileStem(p) + " " + rec::removeColons(p.vars().FileTime);
  else
    o.initialName = "wSpec " + nowStamp(p);
  const std::string chosen = d->saveFile(o);
  if (chosen.empty()) return false;
  const std::string path = rec::removeExtension(chosen);
  const bool ok = captureSnapshot(p, kind, path);
  if (!ok) {
    p.setStatus("Snapshot not saved: " + path + ".bmp");
    return false;
  }
  if (savePath) savePath->setText(rec::folderOf(chosen));
  return true;
}

void installSnapshots(Program& p) {
  Form& f = p.form1();
  if (Control* c = f.find("ScreenSnapshot")) c->on(Event::Click, [&p] { ScreenSnapshot_Click(p); });
  if (Control* c = f.find("SaveSpectrogram")) c->on(Event::Click, [&p] { SaveSpectrogram_Click(p); });
  if (Control* c = f.find("SaveForm")) c->on(Event::Click, [&p] { SaveForm_Click(p); });
  if (Control* c = f.find("SaveScreen")) c->on(Event::Click, [&p] { SaveScreen_Click(p); });
}

}  // namespace qv
