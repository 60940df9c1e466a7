// The windows as designed: saved keys and their order, a layout without
// overlaps, and the designer defaults that start-up and presets rely on.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "config/program_folder.h"
#include "core/designer.h"
#include "core/form.h"

namespace qv {
namespace {

using Keys = std::vector<std::pair<std::string, Kind>>;

void append(Keys& k, Kind kind, std::initializer_list<std::string> names) {
  for (const auto& n : names) k.emplace_back(n, kind);
}

// The keys a controls file holds for each section, in file order.
Keys form1Keys() {
  Keys k;
  append(k, Kind::TextBox,
         {"HeadLine", "Text1", "Text2", "Text3", "Text4", "Text5", "Text6", "Text7", "StatusLine", "ZoomBaseField"});
  append(k, Kind::ComboBox,
         {"Combo1", "Combo2", "Combo3", "Combo4", "Combo5", "Combo6", "Combo7", "Combo8", "Combo10", "Combo12"});
  append(k, Kind::CheckBox, {"RecPauseFlag", "Check1", "Check2", "Check3", "PauseButton", "ZoomFlag"});
  append(k, Kind::UpDown, {"UpDown1", "UpDown2", "UpDown5"});
  return k;
}

Keys options0Keys() {
  Keys k;
  append(k, Kind::TextBox,
         {"FileRecPathField", "DefPlayPathField", "MaxNFiles", "txtUDP2", "LocalPort1", "LocalPort2", "RemoteIP2",
          "RemotePort2", "FSep", "FileRecNameField", "FileNamePostfix", "TimeTag", "SpanFolders", "WebPort",
          "WebBind", "WebToken"});
  append(k, Kind::ComboBox,
         {"Combo1", "Combo2", "Combo3", "Combo4", "Combo5", "Combo6", "Combo7", "Combo8", "Combo9", "Combo10",
          "Combo12", "cmbSpeedUp", "FileMaxSizeCombo", "FileModeCombo", "NchanCombo", "RamBufferModeCombo"});
  append(k, Kind::OptionButton, {"OptionCS0", "OptionCS1", "OptionCS2", "OptionCS3", "OptionCS4"});
  append(k, Kind::CheckBox,
         {"SplitHourly", "AddRecN", "PresetAutoloadFlag", "CheckAnalysisOnOpen", "ImmediatePlayCheck", "LockFormCheck",
          "AddGPS", "SpanDiskCheck", "AddUDP", "Check4", "AddTimeStamp", "chkUDPSlave", "CheckDDEsend",
          "chkWebView"});
  return k;
}

Keys options1Keys() {
  Keys k;
  append(k, Kind::TextBox,
         {"textScale32Bit", "TrackLogFileField", "TriggerTresholdField", "TriggerLogFileField", "Text1", "Text3",
          "Text9", "Text12", "Text13", "Text14", "Text15", "Text16", "Text18", "Text19", "NotesFieldSeparatorText",
          "NotesFileNameText", "DefLogPath", "DefSavePath", "txtRawSampleRate", "txtHeaderSkip", "txtMaxVIN",
          "Textxsize", "AvgCoeffField", "CursorLogFileField", "TrackFromField", "TrackToField",
          "TrackTresholdField"});
  append(k, Kind::ComboBox,
         {"Combo1", "Combo2", "Combo3", "Combo4", "Combo9", "TapeSpeedCombo", "FrequencyDivisionCombo",
          "DefBlockSizeRecCombo", "DefBlockSizeRTACombo", "DefBlockSizePbkCombo", "SubSampleCombo", "AvgCombo"});
  append(k, Kind::CheckBox,
         {"Check1", "Check3", "Check4", "Check6", "TriggerFlag", "TriggerToFileFlag", "TrackToFileFlag", "chkRedraw",
          "CheckdB", "CheckVIN", "RTCursorFlag", "chkStereoRB", "DerivateFlag", "CepstrumFlag", "SmoothFlag",
          "ShowDateTime", "ScrollFlag"});
  append(k, Kind::OptionButton, {"Option1", "Option2", "Option3"});
  return k;
}

Keys savedInOrder(const Form& f) {
  Keys k;
  for (const auto& c : f.controls())
    if (c->isSaved()) k.emplace_back(c->name(), c->kind());
  return k;
}

class Designer : public ::testing::Test {
 protected:
  void SetUp() override { buildForms(forms); }
  Forms forms;
};

TEST_F(Designer, SettingsSectionsHoldExactlyTheListedKeysInOrder) {
  const std::pair<Form*, Keys> sections[] = {
      {&forms.form1(), form1Keys()}, {&forms.options0(), options0Keys()}, {&forms.options1(), options1Keys()}};
  for (const auto& [form, expected] : sections) {
    SCOPED_TRACE(form->section());
    Keys actual = savedInOrder(*form);
    ASSERT_EQ(actual.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
      EXPECT_EQ(actual[i].first, expected[i].first) << "position " << i;
      EXPECT_EQ(kindName(actual[i].second), std::string(kindName(expected[i].second))) << expected[i].first;
    }
  }
  EXPECT_EQ(forms.options0()["SpanFolders"].parent(), "FrameDisk");
  EXPECT_EQ(forms.options0()["SpanFolders"].toolTip(), "Folders to continue in when a disk is full, separated by ;");
}

struct Rect {
  int l, t, r, b;
};

Rect rectOf(const Control& c) {
  const Geometry& g = c.geometry();
  return {g.left, g.top, g.left + g.width, g.top + g.height};
}

bool overlap(const Rect& a, const Rect& b) { return a.l < b.r && b.l < a.r && a.t < b.b && b.t < a.b; }

// Controls that appear on screen at some time: visible ones, plus the file
// navigation frame that the "File Analysis" mode shows.
bool shownSometime(const Control& c) { return c.visible() || (c.form().section() == "FORM1" && c.name() == "Frame4"); }

void checkLayout(const Form& f) {
  SCOPED_TRACE(f.section());
  ASSERT_GT(f.width(), 0);
  ASSERT_GT(f.height(), 0);
  std::map<std::string, std::vector<const Control*>> byParent;
  for (const auto& c : f.controls()) {
    if (c->kind() == Kind::MenuItem) {
      // Menus nest one level: items under a top-level menu of the bar.
      if (!c->parent().empty()) {
        const Control* menu = f.find(c->parent());
        ASSERT_NE(menu, nullptr) << c->name();
        EXPECT_EQ(menu->kind(), Kind::MenuItem) << c->name();
        EXPECT_EQ(menu->parent(), "") << c->name();
      }
      EXPECT_FALSE(c->caption().empty()) << c->name();
      continue;
    }
    Rect parent{0, 0, f.width(), f.height()};
    if (!c->parent().empty()) {
      const Control* p = f.find(c->parent());
      ASSERT_NE(p, nullptr) << c->name() << " in " << c->parent();
      EXPECT_EQ(p->kind(), Kind::Frame) << c->name();
      parent = {0, 0, p->geometry().width, p->geometry().height};
    }
    if (!shownSometime(*c)) continue;
    const Rect r = rectOf(*c);
    EXPECT_GT(c->geometry().width, 0) << c->name();
    EXPECT_GT(c->geometry().height, 0) << c->name();
    EXPECT_TRUE(r.l >= parent.l && r.t >= parent.t && r.r <= parent.r && r.b <= parent.b)
        << c->name() << " (" << r.l << "," << r.t << ")-(" << r.r << "," << r.b << ") outside " << c->parent();
    byParent[c->parent()].push_back(c.get());
  }
  for (const auto& [parent, siblings] : byParent)
    for (size_t i = 0; i < siblings.size(); ++i)
      for (size_t j = i + 1; j < siblings.size(); ++j)
        EXPECT_FALSE(overlap(rectOf(*siblings[i]), rectOf(*siblings[j])))
            << siblings[i]->name() << " overlaps " << siblings[j]->name() << " in '" << parent << "'";
}

TEST_F(Designer, EveryWindowIsLaidOutWithoutOverlapsInsideItsFrames) {
  for (Form* f : forms.all()) checkLayout(*f);
}

// Captions must be readable at the default font: about 6 px a character,
// plus the box of a check box or option button and a button's margins.
TEST_F(Designer, CaptionsFitTheirControls) {
  for (Form* f : forms.all())
    for (const auto& c : f->controls()) {
      if (!shownSometime(*c) || c->caption().empty()) continue;
      int extra = 0;
      switch (c->kind()) {
        case Kind::CheckBox:
        case Kind::OptionButton: extra = 20; break;
        case Kind::Button: extra = 8; break;
        case Kind::Label: break;
        default: continue;
      }
      EXPECT_GE(c->geometry().width, static_cast<int>(c->caption().size()) * 6 + extra)
          << f->section() << "." << c->name() << " \"" << c->caption() << "\"";
    }
}

TEST_F(Designer, MainWindowFollowsTheSpectrogramLayoutRelations) {
  Form& m = forms.form1();
  const Geometry spec = m["SpecGram"].geometry();
  const Geometry q = m["Frame1"].geometry();
  const int vsize = std::stoi(m["Combo7"].text());
  EXPECT_EQ(m.width(), 800);
  EXPECT_EQ(spec.top, 52);
  EXPECT_EQ(spec.height, vsize + 96);
  // "y tics" ticked puts the spectrogram at 80, room for the frequency labels.
  EXPECT_EQ(spec.left, forms.options1()["Check4"].checked() ? 80 : 32);
  EXPECT_EQ(q.left, m.width() - q.width - 16);
  EXPECT_EQ(q.top, spec.top - 6);
  EXPECT_EQ(spec.width, q.left - spec.left - 16);
  const int specBottom = spec.top + spec.height;
  const Geometry f2 = m["Frame2"].geometry(), f3 = m["Frame3"].geometry();
  EXPECT_EQ(f2.top, specBottom + 32);
  EXPECT_EQ(f3.top, f2.top);
  EXPECT_LE(f3.left + f3.width + 24, m.width()) << "the window would have to widen";
  EXPECT_EQ(m["Frame4"].geometry().top, vsize + 176);
  EXPECT_EQ(m["Frame4"].geometry().left, 272);
  EXPECT_EQ(m["Frame5"].geometry().top, f2.top - 11);
  EXPECT_EQ(m.height(), f2.top + f2.height + 56);
  const Geometry c23 = m["Command23"].geometry();
  EXPECT_EQ(c23.top + c23.height, specBottom);
  EXPECT_EQ(m["Label27"].geometry().top, c23.top + c23.height + 4);
  EXPECT_EQ(m["Label28"].geometry().top, m["Label27"].geometry().top);
  // The colour bar and the dB legend need 256 px for the 256 palette entries.
  EXPECT_GE(m["Picture2"].geometry().width, 256);
  EXPECT_GE(m["Picture1"].geometry().width, 241);
  EXPECT_GE(forms.options0()["Picture2"].geometry().width, 256);
}

TEST_F(Designer, StartUpAndBuiltInDefaults) {
  Form& m = forms.form1();
  // The built-in preset.
  EXPECT_EQ(m["Combo1"].text(), "16384");
  EXPECT_EQ(m["Combo2"].text(), "48000");
  EXPECT_EQ(m["Combo3"].text(), "512");
  EXPECT_EQ(m["Combo4"].text(), "512");
  EXPECT_EQ(m["Combo6"].text(), "512");
  EXPECT_EQ(m["Combo8"].text(), "0");
  EXPECT_EQ(m["Combo12"].text(), "off");
  // Start-up initialisation.
  EXPECT_EQ(m["Combo5"].listIndex(), 1);
  EXPECT_EQ(m["Combo5"].text(), "Hanning");
  EXPECT_EQ(m["Combo7"].text(), "256");
  EXPECT_FALSE(m["Check1"].checked());
  EXPECT_FALSE(m["Check2"].checked());
  EXPECT_EQ(m["Text1"].text(), "0");
  EXPECT_EQ(m["Text2"].text(), "1");
  EXPECT_EQ(m["Text5"].text(), "0");
  EXPECT_FALSE(m["ZoomFlag"].checked());
  EXPECT_FALSE(m["ZoomFlag"].enabled());
  EXPECT_FALSE(m["UpDown5"].enabled());
  // The gain up-down is a power of two: its designer value gives the gain 1.
  EXPECT_EQ(1 << m["UpDown2"].value(), std::stoi(m["Text2"].text()));
  for (const char* n : {"LabelCursors", "Label3", "Label4", "Label5", "Label6", "Label7", "Label9", "Label24"})
    EXPECT_EQ(m[n].caption(), "") << n;
  for (const char* n : {"Label20", "Label21", "Label27", "Label28", "L24", "L25"}) EXPECT_EQ(m[n].caption(), "0") << n;
  EXPECT_EQ(m["StatusLine"].text(), "");
  EXPECT_FALSE(m["Text4"].enabled());
  EXPECT_FALSE(m["Frame4"].visible());
  EXPECT_FALSE(m["Frame5"].visible());
  EXPECT_TRUE(m["QuickRecButton"].visible());
  EXPECT_FALSE(m["DebugMenu"].visible());
  EXPECT_EQ(m["Text7"].text(), "notes...");

  Form& s = forms.options0();
  EXPECT_EQ(s["FileMaxSizeCombo"].text(), "680 MB (CD size)");
  EXPECT_EQ(s["FileModeCombo"].text(), "2 - single file recording");
  EXPECT_EQ(s["RamBufferModeCombo"].text(), "1");
  EXPECT_EQ(s["NchanCombo"].text(), "1 - mono (left)");
  EXPECT_EQ(s["FileRecNameField"].text(), "Quorvel ");
  EXPECT_EQ(s["FSep"].text(), "_");
  EXPECT_EQ(s["MaxNFiles"].text(), "240");
  EXPECT_TRUE(s["AddTimeStamp"].checked());
  EXPECT_EQ(s["LocalPort2"].text(), "11140");
  EXPECT_EQ(s["LocalPort1"].text(), "11115");
  EXPECT_EQ(s["RemoteIP2"].text(), "127.255.255.255");
  EXPECT_EQ(s["RemotePort2"].text(), "11111");
  EXPECT_EQ(s["cmbSpeedUp"].text(), "1");
  EXPECT_EQ(s["TimeTag"].text(), "2003");
  EXPECT_EQ(s["SpanFolders"].text(), "");
  EXPECT_EQ(s["FileMaxSizeCombo"].items().size(), 15u);

  Form& a = forms.options1();
  EXPECT_TRUE(a["RTCursorFlag"].checked());
  EXPECT_EQ(a["FrequencyDivisionCombo"].text(), "1");
  EXPECT_EQ(a["TapeSpeedCombo"].text(), "1");
  EXPECT_EQ(a["Combo9"].text(), "2");
  EXPECT_EQ(a["Combo1"].text(), "0 - dB");
  EXPECT_EQ(a["Textxsize"].text(), "512");
  EXPECT_EQ(a["AvgCoeffField"].text(), "0.99");
  EXPECT_EQ(a["DefBlockSizeRTACombo"].text(), "4096");
  EXPECT_EQ(a["DefBlockSizeRecCombo"].text(), "16384");
  EXPECT_EQ(a["DefBlockSizePbkCombo"].text(), "8192");
  EXPECT_EQ(a["TrackFromField"].text(), "2");
  EXPECT_EQ(a["TrackToField"].text(), "256");
  EXPECT_EQ(a["TrackTresholdField"].text(), "18");
  EXPECT_EQ(a["TriggerTresholdField"].text(), "2048");
  EXPECT_EQ(a["NotesFileNameText"].text(), "notes");
  EXPECT_EQ(a["CursorLogFileField"].text(), "cursor");
  EXPECT_EQ(forms.options2()["Combo2"].text(), "2");
  EXPECT_EQ(forms.specForm()["Text1"].text(), "0.01");
  EXPECT_TRUE(forms.tcpIp()["Option2"].checked());

  // Folders that were drive roots become the user's data folder.
  const std::string home = defaultDataFolder();
  EXPECT_EQ(s["FileRecPathField"].text(), home);
  EXPECT_EQ(s["DefPlayPathField"].text(), home);
  EXPECT_EQ(a["DefLogPath"].text(), home);
  EXPECT_EQ(a["DefSavePath"].text(), home);
}

TEST_F(Designer, MenusAndPanelButtonsCarryTheirCaptions) {
  Form& m = forms.form1();
  auto itemsOf = [&](const std::string& menu) {
    std::vector<std::string> out;
    for (const auto& c : m.controls())
      if (c->kind() == Kind::MenuItem && c->parent() == menu) out.push_back(c->caption());
    return out;
  };
  EXPECT_EQ(itemsOf("ModeMenu"),
            (std::vector<std::string>{"Real-Time Analysis", "Real-Time Analysis + Recording", "File Analysis + Play",
                                      "File Analysis", "Stop ", "Enable Quick Settings RT"}));
  EXPECT_EQ(itemsOf("PresetsMenu"),
            (std::vector<std::string>{"Mono 0-16kHz", "Mono 0-24kHz", "Stereo 0-16kHz", "Stereo 0-24kHz",
                                      "Load Basic Settings", "Save Basic Settings", "Reset to default"}));
  const std::vector<std::string> settings = itemsOf("SettingsMenu");
  for (const char* c : {"Basic Settings", "Advanced Settings", "Special Settings", "Undo Latest Changes", "Set TcpIP"})
    EXPECT_NE(std::find(settings.begin(), settings.end(), c), settings.end()) << c;
  EXPECT_EQ(m["Mono32"].caption(), "Mono 0-16kHz");
  EXPECT_EQ(m["QuickSaveBuffer"].parent(), "");
  EXPECT_EQ(m["BufferSave30"].caption(), "[Save30s]");

  struct Expected {
    const char* key;
    const char* caption;
  };
  const Expected buttons[] = {{"OPTIONS0.ok", "Apply"},
                              {"OPTIONS0.Command13", "Exit"},
                              {"OPTIONS0.Command10", "Reset"},
                              {"OPTIONS0.Command5", "Reset"},
                              {"OPTIONS0.PresetLink", "Link to .wav"},
                              {"OPTIONS0.SaveDefPaths", "Save Default Paths"},
                              {"OPTIONS1.ok", "Apply"},
                              {"OPTIONS1.Command4", "Exit"},
                              {"OPTIONS1.Command10", "Reset"},
                              {"OPTIONS1.SaveDefControls", "Save Default Controls"},
                              {"OPTIONS1.ResetControls", "Load Default"},
                              {"OPTIONS1.Command1", "Delete Default"},
                              {"OPTIONS1.SaveControls", "Save Controls"},
                              {"OPTIONS1.LoadControls", "Load Controls"},
                              {"FORM1.StartStop", "Start"},
                              {"FORM1.Command23", "Start Stop"},
                              {"FORM1.QuickRecButton", "Rec Mode"},
                              {"FORM1.NoteOther", "Other >"},
                              {"FORM1.Command14", "Refresh"},
                              {"SPECFORM.Command1", "Reset All"},
                              {"TCPIP.Command1", "OK"}};
  for (const Expected& b : buttons) {
    Control* c = forms.findKey(b.key);
    ASSERT_NE(c, nullptr) << b.key;
    EXPECT_EQ(c->kind(), Kind::Button) << b.key;
    EXPECT_EQ(c->caption(), b.caption) << b.key;
  }
  EXPECT_EQ(forms.options0()["Command5"].toolTip(), "Reset To Default Settings");
  EXPECT_EQ(forms.options0()["PresetLink"].toolTip(), "Link the current settings to a .wav file");
  EXPECT_EQ(forms.options0().title(), "Settings");
  EXPECT_EQ(forms.options1().title(), "Advanced Settings");
  EXPECT_EQ(forms.options2().title(), "Special Settings");
  EXPECT_EQ(forms.specForm().title(), "Spec");
}

}  // namespace
}  // namespace qv
