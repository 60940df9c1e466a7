#include <gtest/gtest.h>

#include <QImage>
#include <cstdio>
#include <filesystem>

#include "export/snapshot.h"
#include "recording_fixture.h"

namespace qv {
namespace {

namespace fs = std::filesystem;

std::string identify(const std::string& file) {
  if (!fs::exists("/usr/bin/identify")) return "";
  FILE* f = popen(("/usr/bin/identify -format '%m %w %h' '" + file + "' 2>&1").c_str(), "r");
  char buf[256] = {};
  std::string out;
  while (fgets(buf, sizeof buf, f)) out += buf;
  pclose(f);
  return out;
}

struct Snapshots : test::RecordingFixture {
  std::shared_ptr<Surface> spec;
  Snapshots() {
    installSnapshots(p());
    p().form1().setSize(800, 600);
    Control& sg = p().form1()["SpecGram"];
    sg.setGeometry({10, 40, 640, 256});
    spec = surfaces.create(640, 256);
    spec->clear();
    spec->setPixel(0, 10, rgb(255, 0, 0));    // lands at (2, 0) of the region
    spec->setPixel(639, 255, rgb(0, 0, 255));  // at (641, 245)
    sg.setSurface(spec);
    p().options1()["Combo3"].setText("Spectrogram");
    p().vars().Task = 1;
  }
  std::vector<std::string> bmps() {
    std::vector<std::string> v;
    for (auto& e : fs::recursive_directory_iterator(dir.path()))
      if (e.path().extension() == ".bmp") v.push_back(e.path().string());
    return v;
  }
};

TEST_F(Snapshots, SpectrogramRegionOpensWithItsSize) {
  p().setStatus("Running");
  ASSERT_TRUE(ScreenSnapshot_Click(p()));
  EXPECT_EQ(p().status(), "Running");
  const std::string file = dir.path() + "wSpec 20260115 105930.bmp";
  ASSERT_TRUE(fs::exists(file));
  EXPECT_EQ(bmps().size(), 1u);
  QImage img(QString::fromStdString(file));
  ASSERT_FALSE(img.isNull());
  EXPECT_EQ(img.width(), 800 - 17);
  EXPECT_EQ(img.height(), 40 + 256 + 36);
  EXPECT_EQ(img.pixel(2, 0) & 0xFFFFFF, 0xFF0000u);
  EXPECT_EQ(img.pixel(641, 245) & 0xFFFFFF, 0x0000FFu);
  std::string id = identify(file);
  if (!id.empty()) {
    EXPECT_EQ(id.rfind("BMP", 0), 0u) << id;
    EXPECT_NE(id.find(" 783 332"), std::string::npos) << id;
  }
}

TEST_F(Snapshots, FileModesNameTheSnapshotAfterTheFileAndPosition) {
  fs::create_directory(dir.path() + "rec");
  p().vars().Task = 4;
  p().vars().CurrentFile = dir.path() + "rec/dolphins.wav";
  p().vars().FileTime = "00:01:30";
  EXPECT_EQ(oneKeySnapshotPath(p()), dir.path() + "rec/wSpec dolphins at 000130");
  p().options1()["Combo3"].setText("Form");
  ASSERT_TRUE(ScreenSnapshot_Click(p()));
  QImage img(QString::fromStdString(dir.path() + "rec/wSpec dolphins at 000130.bmp"));
  EXPECT_EQ(img.size(), QSize(800, 600));
  EXPECT_EQ(img.pixel(10, 50) & 0xFFFFFF, 0xFF0000u);
}

TEST_F(Snapshots, SaveFolderWithoutSlashAndUnknownKind) {
  p().options1()["DefSavePath"].setText(dir.path() + "pics");
  EXPECT_EQ(oneKeySnapshotPath(p()), dir.path() + "pics/wSpec 20260115 105930");
  p().options1()["Combo3"].setText("Nothing");
  EXPECT_FALSE(ScreenSnapshot_Click(p()));
  EXPECT_TRUE(bmps().empty());
}

TEST_F(Snapshots, ScreenWithoutWindowsIsTheScreenSizeWithTheWindowAtItsCorner) {
  p().vars().ScreenXsize = 1024;
  p().vars().ScreenYsize = 768;
  p().options1()["Combo3"].setText("Screen");
  ASSERT_TRUE(ScreenSnapshot_Click(p()));
  QImage img(QString::fromStdString(dir.path() + "wSpec 20260115 105930.bmp"));
  EXPECT_EQ(img.size(), QSize(1024, 768));
  EXPECT_EQ(img.pixel(10, 50) & 0xFFFFFF, 0xFF0000u);
  // An empty path grabs and writes nothing.
  EXPECT_TRUE(captureSnapshot(p(), SnapshotKind::Screen, ""));
  EXPECT_EQ(bmps().size(), 1u);
}

TEST_F(Snapshots, MenuSavesAskForTheName) {
  p().options1()["DefSavePath"].setText(dir.path() + "old");
  fs::create_directory(dir.path() + "chosen");
  dialogs.saveAnswers.push_back(dir.path() + "chosen/my picture.bmp");
  p().form1()["SaveSpectrogram"].click();
  ASSERT_EQ(dialogs.fileDialogs.size(), 1u);
  EXPECT_EQ(dialogs.fileDialogs[0].initialFolder, dir.path() + "old/");
  EXPECT_EQ(dialogs.fileDialogs[0].initialName, "wSpec 20260115 105930");
  EXPECT_EQ(dialogs.fileDialogs[0].defaultExt, "bmp");
  EXPECT_TRUE(QImage(QString::fromStdString(dir.path() + "chosen/my picture.bmp")).size() == QSize(783, 332));
  EXPECT_EQ(p().options1()["DefSavePath"].text(), dir.path() + "chosen/");

  // File mode proposal; a name without extension is kept whole.
  p().vars().Task = 3;
  p().vars().CurrentFile = "/data/whales.wav";
  p().vars().FileTime = "01:02:03";
  dialogs.saveAnswers.push_back(dir.path() + "chosen/form");
  p().form1()["SaveForm"].click();
  EXPECT_EQ(dialogs.fileDialogs[1].initialName, "wSpec whales 010203");
  EXPECT_TRUE(fs::exists(dir.path() + "chosen/form.bmp"));

  // Cancel: nothing written, folder unchanged.
  p().options1()["DefSavePath"].setText(dir.path() + "old");
  p().form1()["SaveScreen"].click();
  EXPECT_EQ(p().options1()["DefSavePath"].text(), dir.path() + "old");
  EXPECT_EQ(bmps().size(), 2u);
}

TEST_F(Snapshots, WriteFailureLeavesAMessageAndTheFolder) {
  p().options1()["DefSavePath"].setText(dir.path() + "keep/");
  dialogs.saveAnswers.push_back(dir.path() + "missing/x.bmp");
  EXPECT_FALSE(SaveSpectrogram_Click(p()));
  EXPECT_EQ(p().status(), "Snapshot not saved: " + dir.path() + "missing/x.bmp");
  EXPECT_EQ(p().options1()["DefSavePath"].text(), dir.path() + "keep/");
}

}  // namespace
}  // namespace qv
