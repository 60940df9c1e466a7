#include <gtest/gtest.h>

#include <memory>

#include "core/designer.h"
#include "core/program.h"
#include "platform/audio.h"
#include "platform/doubles/fake_clock.h"
#include "platform/doubles/scripted_dialogs.h"
#include "platform/doubles/scripted_pump.h"
#include "realtime/devices.h"
#include "support/memory_surface.h"
#include "support/scripted_audio_input.h"

namespace qv {
namespace {

using test::ScriptedAudioInput;
using Items = std::vector<std::string>;

class ListedOutput : public AudioOutput {
 public:
  std::vector<AudioDeviceInfo> list = {{"Default Out", 2}, {"Speakers", 2}};
  std::vector<AudioDeviceInfo> devices() override { return list; }
  int queryFormat(int, const WaveFormat&) override { return 0; }
  int open(int, const WaveFormat&) override { return 0; }
  int write(WaveBuffer&) override { return 0; }
  int reset() override { return 0; }
  int close() override { return 0; }
};

struct DeviceFixture : ::testing::Test {
  ScriptedAudioInput in;
  ListedOutput out;
  ScriptedDialogs dialogs;
  ScriptedPump pump;
  FakeClock clock;
  Program program{[this] {
                    Services s;
                    s.audioIn = &in;
                    s.audioOut = &out;
                    s.dialogs = &dialogs;
                    s.pump = &pump;
                    s.clock = &clock;
                    return s;
                  }(),
                  "/tmp"};
  Control& mainList() { return program.form1()["Combo10"]; }
  Control& basicList() { return program.options0()["Combo10"]; }
  Control& outList() { return program.options0()["Combo9"]; }

  void SetUp() override { buildForms(program.forms()); }
};

TEST_F(DeviceFixture, ListsFillBothInputBoxesAndTheOutputBoxDefaultFirst) {
  in.deviceList = {{"Default", 2}, {std::string("USB Mic\x01junk"), 1}, {"Caf\xc3\xa9 Card", 2}, {"Line In", 2}};
  mainList().setText("Line In");
  DeviceCounts n = ListAudioDevices(program);
  EXPECT_EQ(n.inputs, 3);
  EXPECT_EQ(n.outputs, 1);
  // Names end at the first control or non-ASCII character.
  Items expected{"Default", "USB Mic", "Caf", "Line In"};
  EXPECT_EQ(mainList().items(), expected);
  EXPECT_EQ(basicList().items(), expected);
  EXPECT_EQ(outList().items(), (Items{"Default Out", "Speakers"}));
  EXPECT_EQ(mainList().listIndex(), 3);  // the shown device stays selected
  EXPECT_EQ(basicList().listIndex(), -1);

  // A second listing replaces the entries rather than adding to them.
  in.deviceList.pop_back();
  ListAudioDevices(program);
  EXPECT_EQ(mainList().items().size(), 3u);
  EXPECT_EQ(mainList().listIndex(), -1);
}

TEST_F(DeviceFixture, FindInputDeviceGivesListPositionMinusOne) {
  ListAudioDevices(program);
  EXPECT_EQ(FindInputDevice(program, "Card B"), 1);
  EXPECT_EQ(mainList().text(), "Card B");
  EXPECT_EQ(FindInputDevice(program, "Default"), -1);
  EXPECT_TRUE(dialogs.shown.empty());
}

TEST_F(DeviceFixture, UnknownInputDeviceIsReportedAndTheDefaultIsUsed) {
  ListAudioDevices(program);
  in.deviceList.push_back({"Card C", 2});  // plugged in since the last listing
  EXPECT_EQ(FindInputDevice(program, "Old USB"), -1);
  ASSERT_EQ(dialogs.texts().size(), 1u);
  EXPECT_EQ(dialogs.texts()[0],
            "Sound Input Device [Old USB] not existent or not connected\n"
            "Please select one among those listed in the Quick or Basic Settings panels\n"
            "then save the updated configuration");
  EXPECT_EQ(mainList().items().back(), "Card C");  // the lists were rebuilt
  EXPECT_EQ(mainList().text(), "Default");
  EXPECT_EQ(mainList().listIndex(), 0);
}

TEST_F(DeviceFixture, NameMatchIsExactAndCaseSensitive) {
  ListAudioDevices(program);
  EXPECT_EQ(FindInputDevice(program, "card a"), -1);
  EXPECT_EQ(dialogs.texts().size(), 1u);
}

TEST_F(DeviceFixture, UnknownOutputDeviceIsReportedAndTheDefaultIsUsed) {
  ListAudioDevices(program);
  EXPECT_EQ(FindOutputDevice(program, "Speakers"), 0);
  EXPECT_EQ(FindOutputDevice(program, "HDMI"), -1);
  ASSERT_EQ(dialogs.texts().size(), 1u);
  EXPECT_EQ(dialogs.texts()[0],
            "Sound Output Device [HDMI] not existent or not connected\n"
            "Please select one among those listed in the Basic Settings panel");
  EXPECT_EQ(outList().text(), "Default Out");
}

TEST_F(DeviceFixture, NoDevicesAtAllStillAnswersTheDefault) {
  in.deviceList.clear();
  EXPECT_EQ(FindInputDevice(program, "Anything"), -1);
  EXPECT_TRUE(mainList().items().empty());
}

TEST_F(DeviceFixture, QueryInputFormatAsksFor16BitPcm) {
  in.queryResult = kWaveBadFormat;
  EXPECT_EQ(QueryInputFormat(program, 1, 96000, 2), kWaveBadFormat);
  EXPECT_EQ(in.lastDevice, 1);
  EXPECT_EQ(in.lastFormat.sampleRate, 96000);
  EXPECT_EQ(in.lastFormat.channels, 2);
  EXPECT_EQ(in.lastFormat.bitsPerSample, 16);
  EXPECT_FALSE(in.isOpen());
}

TEST_F(DeviceFixture, WaveOpenErrorTexts) {
  ReportWaveOpenError(program, 32);
  ReportWaveOpenError(program, 2);
  EXPECT_EQ(dialogs.texts(), (Items{"Couldn't open wave device due to Error  32 BADFORMAT",
                                    "Couldn't open wave device due to Error  2"}));
  EXPECT_EQ(program.form1()["StartStop"].caption(), "RESET");
}

TEST_F(DeviceFixture, RefreshWaitsRelistsAndReselectsTheShownDevice) {
  ListAudioDevices(program);
  FindInputDevice(program, "Card B");
  in.deviceList = {{"Default", 2}, {"New Card", 2}, {"Card B", 1}};  // Card B moved
  clock.autoAdvanceMs = 250;
  int64_t before = clock.tickMs();
  RefreshAudioDevices(program);
  EXPECT_GE(clock.tickMs() - before, 2000);
  EXPECT_GT(pump.passes, 0);  // events kept running while waiting
  EXPECT_EQ(program.status(), "Ready...");
  EXPECT_EQ(mainList().items(), (Items{"Default", "New Card", "Card B"}));
  EXPECT_EQ(mainList().listIndex(), 2);
  EXPECT_TRUE(dialogs.shown.empty());
}

TEST_F(DeviceFixture, CheckPrintsEveryInputThenEveryOutputOnTheSpectrogram) {
  auto surface = std::make_shared<test::MemorySurface>(640, 400);
  program.form1()["SpecGram"].setSurface(surface);
  surface->text(0, 0, "old", 0);
  CheckAudioDevices(program);
  std::vector<std::string> lines;
  for (auto& t : surface->texts) lines.push_back(t.s);
  // Number and name directly, the channel count from the next print zone; a
  // name that fills its zone pushes the count one zone further.
  EXPECT_EQ(lines, (Items{"", "WaveIn Devices", "-1 Default     2 ", " 0 Card A      2 ", " 1 Card B      1 ", "",
                          "WaveOut Devices", "-1 Default Out" + std::string(14, ' ') + " 2 ",
                          " 0 Speakers    2 "}));
  // One line under the other.
  for (size_t i = 1; i < surface->texts.size(); ++i) EXPECT_GT(surface->texts[i].y, surface->texts[i - 1].y);
}

TEST_F(DeviceFixture, ClosingTheSpecialSettingsPanelRelistsTheDevices) {
  AttachDeviceHandlers(program);
  ListAudioDevices(program);
  in.deviceList.push_back({"Card C", 2});
  program.options2().setShown(true);
  EXPECT_EQ(mainList().items().size(), 3u);  // opening it changes nothing
  program.options2().setShown(false);
  EXPECT_EQ(mainList().items().back(), "Card C");
  EXPECT_EQ(basicList().items().back(), "Card C");
}

TEST_F(DeviceFixture, MenuCommandsAttachByCaptionWhenPresent) {
  Control& m = program.form1().add("mnuCheckDev", Kind::MenuItem);
  m.setCaption("&Check Audio Devices");
  AttachDeviceHandlers(program);
  auto surface = std::make_shared<test::MemorySurface>(640, 400);
  program.form1()["SpecGram"].setSurface(surface);
  m.click();
  EXPECT_FALSE(surface->texts.empty());
}

}  // namespace
}  // namespace qv
