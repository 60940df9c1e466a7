// A program with the recording controls at their designer values, a fake
// clock at 10:59:30 on 2026-01-15, a fake disk and scripted dialogs.
#pragma once

#include <gtest/gtest.h>

#include <memory>

#include "core/designer.h"
#include "core/program.h"
#include "export/model_screen_grab.h"
#include "platform/doubles/fake_clock.h"
#include "platform/doubles/fake_disk.h"
#include "platform/doubles/scripted_dialogs.h"
#include "platform/qt/qimage_surface.h"
#include "support/temp_dir.h"

namespace qv::test {

struct RecordingFixture : ::testing::Test {
  TempDir dir;
  FakeClock clock{10, 59, 30};
  FakeDisk disk;
  ScriptedDialogs dialogs;
  QImageSurfaceFactory surfaces;
  ModelScreenGrab screen;
  std::unique_ptr<Program> program;

  RecordingFixture() {
    Services s;
    s.clock = &clock;
    s.disk = &disk;
    s.dialogs = &dialogs;
    s.surfaces = &surfaces;
    s.screen = &screen;
    program = std::make_unique<Program>(s, dir.path());
    screen.attach(*program);
    buildForms(program->forms());
    Form& o = p().options0();
    o["FileRecPathField"].setText(dir.path());
    o["FileRecNameField"].setText("Quorvel ");
    o["FSep"].setText("_");
    o["AddTimeStamp"].setValue(1);
    o["FileMaxSizeCombo"].setText("680 MB (CD size)");
    o["FileModeCombo"].setText("2 - single file");
    o["MaxNFiles"].setText("240");
    o["NchanCombo"].setText("2 - stereo");
    o["Combo2"].setText("48000");
    Form& a = p().options1();
    a["DefLogPath"].setText(dir.path());
    a["NotesFileNameText"].setText("notes");
    a["DefSavePath"].setText(dir.path());
  }
  Program& p() { return *program; }
  Control& opt(const char* name) { return p().options0()[name]; }
};

}  // namespace qv::test
