#include <gtest/gtest.h>

#include <map>
#include <sstream>

#include "config/settings_file.h"
#include "config/settings_line.h"
#include "config_fixture.h"

namespace qv {
namespace {

using test::ConfigRig;
using test::readFile;
using test::writeFile;

std::vector<std::string> lines(const std::string& content) {
  std::vector<std::string> out;
  size_t start = 0;
  while (start < content.size()) {
    size_t end = content.find("\r\n", start);
    if (end == std::string::npos) {
      out.push_back(content.substr(start));
      break;
    }
    out.push_back(content.substr(start, end - start));
    start = end + 2;
  }
  return out;
}

const char* kSaved[] = {"FORM1", "OPTIONS0", "OPTIONS1"};

// Every saved control's state as text, keyed "FORM1.Combo1".
std::map<std::string, std::string> savedState(Program& p) {
  std::map<std::string, std::string> m;
  for (const char* s : kSaved)
    for (auto& c : p.forms().find(s)->controls())
      if (c->isSaved()) m[c->key()] = c->text() + "|" + std::to_string(c->value());
  return m;
}

// Gives every saved control a value different from its designer default.
void changeEverything(Program& p) {
  for (const char* s : kSaved) {
    for (auto& cp : p.forms().find(s)->controls()) {
      Control& c = *cp;
      switch (c.kind()) {
        case Kind::TextBox:
        case Kind::ComboBox:
          c.setText(c.name() + " v=1,2 ");
          break;
        case Kind::CheckBox:
          c.setValue(c.value() ? 0 : 1);
          break;
        case Kind::UpDown:
        case Kind::HScrollBar:
        case Kind::VScrollBar:
          c.setValue(c.value() == c.maximum() ? c.minimum() : c.value() + 1);
          break;
        case Kind::OptionButton:
          // The last button of each group ends up selected instead of the first.
          c.setValue(1);
          break;
        default:
          break;
      }
    }
  }
}

TEST(SettingsFile, LineLayoutPutsEqualsInTheNextPrintZone) {
  EXPECT_EQ(controlsFileLine("FORM1.Combo12", "off"), "FORM1.Combo12 = off");  // 13 chars: "=" in column 15
  EXPECT_EQ(controlsFileLine("FORM1.Check1", "x"), "FORM1.Check1  = x");
  std::string l14 = controlsFileLine("FORM1.HeadLine", "t");  // 14 chars: column 29
  EXPECT_EQ(l14.find('='), 28u);
  EXPECT_EQ(l14, "FORM1.HeadLine" + std::string(14, ' ') + "= t");
  EXPECT_EQ(controlsFileLine("OPTIONS1.NotesFieldSeparatorText", "").find('='), 42u);  // 32 chars: column 43
  EXPECT_EQ(controlsFileLine("OPTIONS1.NotesFieldSeparatorTe", "").find('='), 42u);    // 30 chars
  EXPECT_EQ(controlsFileLine("OPTIONS0.RemoteIP2.xxxxxxxx", "").find('='), 28u);       // 27 chars
}

TEST(SettingsFile, SaveWritesThreeSectionsInControlOrderWithValueFormats) {
  ConfigRig rig;
  Program& p = rig.p();
  rig.f1("UpDown1").setValue(-3);
  rig.f1("Check2").setValue(1);
  rig.o0("OptionCS2").setValue(1);
  rig.f1("HeadLine").setText("trail  ");
  ASSERT_TRUE(SaveControls(p, rig.prog("x.ini")));
  std::string content = readFile(rig.prog("x.ini"));
  ASSERT_GE(content.size(), 2u);
  EXPECT_EQ(content.substr(content.size() - 2), "\r\n");
  auto ls = lines(content);

  // One line per saved control, sections in order, controls in window order.
  std::vector<std::string> keys;
  for (const char* s : kSaved)
    for (auto& c : p.forms().find(s)->controls())
      if (c->isSaved()) keys.push_back(c->key());
  ASSERT_EQ(ls.size(), keys.size());
  for (size_t i = 0; i < ls.size(); ++i) EXPECT_EQ(ls[i].substr(0, keys[i].size() + 1), keys[i] + " ") << ls[i];

  auto lineOf = [&](const std::string& key) {
    for (auto& l : ls)
      if (l.rfind(key + " ", 0) == 0) return l;
    return std::string("missing ") + key;
  };
  EXPECT_EQ(lineOf("FORM1.Combo12"), "FORM1.Combo12 = off");
  EXPECT_EQ(lineOf("FORM1.UpDown1"), "FORM1.UpDown1 = -3 ");
  EXPECT_EQ(lineOf("FORM1.Check2"), "FORM1.Check2  =  1 ");
  EXPECT_EQ(lineOf("FORM1.Check1"), "FORM1.Check1  =  0 ");
  EXPECT_EQ(lineOf("FORM1.HeadLine"), "FORM1.HeadLine" + std::string(14, ' ') + "= trail  ");
  EXPECT_EQ(lineOf("OPTIONS0.OptionCS2"), "OPTIONS0.OptionCS2          = True");
  EXPECT_EQ(lineOf("OPTIONS0.OptionCS0"), "OPTIONS0.OptionCS0          = False");
  // Buttons, labels, frames and menus are not settings.
  EXPECT_EQ(content.find("StartStop"), std::string::npos);
  EXPECT_EQ(content.find("Frame1"), std::string::npos);
  EXPECT_EQ(content.find("OPTIONS2."), std::string::npos);
}

TEST(SettingsFile, EveryChangedControlRoundTrips) {
  ConfigRig a;
  changeEverything(a.p());
  auto before = savedState(a.p());
  ASSERT_TRUE(SaveControls(a.p(), a.prog("all.ini")));

  ConfigRig b;
  auto defaults = savedState(b.p());
  for (auto& [k, v] : before) {
    // Middle option buttons of a group stay unselected either way.
    bool middleOption = b.p().forms().findKey(k)->kind() == Kind::OptionButton && v == "|0" && defaults[k] == "|0";
    if (!middleOption) {
      EXPECT_NE(defaults[k], v) << k << " was not changed by the test";
    }
  }
  ASSERT_TRUE(LoadControls(b.p(), a.prog("all.ini")));
  EXPECT_EQ(savedState(b.p()), before);
  EXPECT_TRUE(b.dialogs.shown.empty());
}

TEST(SettingsFile, OneBlankBeforeEqualsStillRestoresEveryControl) {
  ConfigRig a;
  changeEverything(a.p());
  ASSERT_TRUE(SaveControls(a.p(), a.prog("wide.ini")));
  std::string tight;
  for (auto& l : lines(readFile(a.prog("wide.ini")))) {
    size_t eq = l.find('=');
    std::string key = l.substr(0, l.find(' '));
    tight += key + " " + l.substr(eq) + "\r\n";
  }
  writeFile(a.prog("tight.ini"), tight);
  ConfigRig b;
  ASSERT_TRUE(LoadControls(b.p(), a.prog("tight.ini")));
  EXPECT_EQ(savedState(b.p()), savedState(a.p()));
}

TEST(SettingsFile, ReadingIsByFirstDotAndFirstEquals) {
  ConfigRig rig;
  Program& p = rig.p();
  rig.f1("Combo8").setText("7 sepia");
  // No blank before "=": the last character of the name is dropped.
  auto r = applySettingsLine(p.forms(), "FORM1.Combo8=3");
  EXPECT_FALSE(r.applied);
  EXPECT_EQ(r.key, "FORM1.Combo");
  EXPECT_EQ(rig.f1("Combo8").text(), "7 sepia");

  writeFile(rig.prog("hand.ini"),
            "FORM1.HeadLine = a = b = c\r\n"        // value keeps later "="
            "FORM1.Text3   =    padded   \r\n"      // leading blanks go, trailing stay
            "FORM1.Gone    = 5\r\n"                 // no such control
            "form1.Text6   = lower-case section\r\n"  // sections are case-sensitive
            "OPTIONS2.Combo2 = 8\r\n"               // not a settings section
            "no dot here = 1\r\n"
            "OPTIONS0.NoEquals\r\n"
            "OPTIONS1.Check3 = junk\r\n"            // no leading number: 0
            "OPTIONS1.TapeSpeedCombo = 4\n");       // a bare LF ends a line too
  rig.o1("Check3").setValue(1);
  std::string text6 = rig.f1("Text6").text();
  ASSERT_TRUE(LoadControls(p, rig.prog("hand.ini")));
  EXPECT_EQ(rig.f1("HeadLine").text(), "a = b = c");
  EXPECT_EQ(rig.f1("Text3").text(), "padded   ");
  EXPECT_EQ(rig.f1("Text6").text(), text6);
  EXPECT_EQ(p.options2()["Combo2"].text(), "2");
  EXPECT_EQ(rig.o1("Check3").value(), 0);
  EXPECT_EQ(rig.o1("TapeSpeedCombo").text(), "4");
  EXPECT_EQ(rig.f1("Combo8").text(), "7 sepia");  // not named: keeps its state
}

TEST(SettingsFile, ByteOrderMarkBeforeTheFirstKeyIsIgnored) {
  ConfigRig rig;
  writeFile(rig.prog("bom.ini"), "\xEF\xBB\xBF" "FORM1.Combo12 = 8 Mbytes\r\n");
  ASSERT_TRUE(LoadControls(rig.p(), rig.prog("bom.ini")));
  EXPECT_EQ(rig.f1("Combo12").text(), "8 Mbytes");
}

TEST(SettingsFile, OptionButtonsComeBackExactlyInEverySection) {
  ConfigRig a;
  a.o0("OptionCS3").setValue(1);
  a.o1("Option2").setValue(1);
  ASSERT_TRUE(SaveControls(a.p(), a.prog("opt.ini")));
  ConfigRig b;
  ASSERT_TRUE(LoadControls(b.p(), a.prog("opt.ini")));
  for (int i = 0; i <= 4; ++i)
    EXPECT_EQ(b.o0("OptionCS" + std::to_string(i)).value(), i == 3 ? 1 : 0) << i;
  for (int i = 1; i <= 3; ++i) EXPECT_EQ(b.o1("Option" + std::to_string(i)).value(), i == 2 ? 1 : 0) << i;

  // Numbers are truth values too.
  writeFile(a.prog("num.ini"), "OPTIONS1.Option3 = -1\r\nOPTIONS0.OptionCS1 = 1\r\n");
  ASSERT_TRUE(LoadControls(b.p(), a.prog("num.ini")));
  EXPECT_EQ(b.o1("Option3").value(), 1);
  EXPECT_EQ(b.o1("Option2").value(), 0);
  EXPECT_EQ(b.o0("OptionCS1").value(), 1);
  EXPECT_EQ(b.o0("OptionCS3").value(), 0);
}

TEST(SettingsFile, LoadingRunsTheControlsOwnChangeHandling) {
  ConfigRig rig;
  int colourChanges = 0, zoomClicks = 0;
  rig.f1("Combo8").on(Event::Change, [&] { ++colourChanges; });
  rig.f1("ZoomFlag").on(Event::Click, [&] { ++zoomClicks; });
  writeFile(rig.prog("h.ini"), "FORM1.Combo8  = 8 rainbow\r\nFORM1.ZoomFlag=  1 \r\nFORM1.ZoomFlag =  1 \r\n");
  ASSERT_TRUE(LoadControls(rig.p(), rig.prog("h.ini")));
  EXPECT_EQ(colourChanges, 1);
  EXPECT_EQ(zoomClicks, 1);
}

TEST(SettingsFile, MissingFileShowsMessageAndChangesNothing) {
  ConfigRig rig;
  auto before = savedState(rig.p());
  EXPECT_FALSE(LoadControls(rig.p(), rig.prog("nothere.ini")));
  ASSERT_EQ(rig.dialogs.shown.size(), 1u);
  EXPECT_EQ(rig.dialogs.shown[0].text, "User Defaults not available");
  EXPECT_EQ(rig.dialogs.shown[0].buttons, MsgButtons::Ok);
  EXPECT_EQ(savedState(rig.p()), before);
  // A folder is not a readable controls file either.
  EXPECT_FALSE(LoadControls(rig.p(), rig.dir.path()));
  EXPECT_EQ(savedState(rig.p()), before);
}

TEST(SettingsFile, SaveToUnwritablePlaceSaysSo) {
  ConfigRig rig;
  EXPECT_FALSE(SaveControls(rig.p(), rig.dir.path() + "no/such/folder/x.ini"));
  ASSERT_EQ(rig.dialogs.shown.size(), 1u);
  EXPECT_NE(rig.dialogs.shown[0].text.find("no/such/folder/x.ini"), std::string::npos);
}

TEST(DelimitedFields, CommasLinesQuotesAndBlanks) {
  using V = std::vector<std::string>;
  EXPECT_EQ(readDelimitedFields("a,b\r\nc\r\n"), (V{"a", "b", "c"}));
  EXPECT_EQ(readDelimitedFields("\"x,y\" , z\n  w  \n"), (V{"x,y", "z", "w"}));
  EXPECT_EQ(readDelimitedFields("\"q\"tail,next"), (V{"q", "next"}));
  EXPECT_EQ(readDelimitedFields("a\r\n\r\nb"), (V{"a", "", "b"}));
  EXPECT_EQ(readDelimitedFields("\"unterminated"), (V{"unterminated"}));
  EXPECT_TRUE(readDelimitedFields("").empty());
}

TEST(DefPaths, UnquotedCommaShiftsTheFieldsQuotedOneDoesNot) {
  ConfigRig rig;
  Program& p = rig.p();
  writeFile(rig.prog("defpaths.ini"), "/data/a,b/\r\n/rec/\r\n/save/\r\n/log/\r\n");
  ASSERT_TRUE(LoadDefPaths(p));
  EXPECT_EQ(rig.o0("DefPlayPathField").text(), "/data/a");
  EXPECT_EQ(rig.o0("FileRecPathField").text(), "b/");
  EXPECT_EQ(rig.o1("DefSavePath").text(), "/rec/");
  EXPECT_EQ(rig.o1("DefLogPath").text(), "/save/");

  writeFile(rig.prog("defpaths.ini"), "\"/data/a,b/\"\r\n/rec/\r\n/save/\r\n/log/\r\n");
  ASSERT_TRUE(LoadDefPaths(p));
  EXPECT_EQ(rig.o0("DefPlayPathField").text(), "/data/a,b/");
  EXPECT_EQ(rig.o1("DefLogPath").text(), "/log/");
}

TEST(DefPaths, WriterKeepsPathsWithCommasWholeAndPlainPathsPlain) {
  ConfigRig rig;
  Program& p = rig.p();
  rig.o0("DefPlayPathField").setText("/data/site 3, reef/");
  rig.o0("FileRecPathField").setText("/rec/");
  rig.o1("DefSavePath").setText("/save/");
  rig.o1("DefLogPath").setText("/log/");
  ASSERT_TRUE(SaveDefPaths(p));
  EXPECT_EQ(readFile(rig.prog("defpaths.ini")), "\"/data/site 3, reef/\"\r\n/rec/\r\n/save/\r\n/log/\r\n");
  ConfigRig b("prog/");
  writeFile(b.prog("defpaths.ini"), readFile(rig.prog("defpaths.ini")));
  ASSERT_TRUE(LoadDefPaths(b.p()));
  EXPECT_EQ(b.o0("DefPlayPathField").text(), "/data/site 3, reef/");
  EXPECT_EQ(b.o0("FileRecPathField").text(), "/rec/");
  EXPECT_EQ(b.o1("DefSavePath").text(), "/save/");
  EXPECT_EQ(b.o1("DefLogPath").text(), "/log/");
}

TEST(DefPaths, ShortOrMissingFileChangesNothing) {
  ConfigRig rig;
  rig.o0("DefPlayPathField").setText("/keep/");
  EXPECT_FALSE(LoadDefPaths(rig.p()));
  writeFile(rig.prog("defpaths.ini"), "/only/\r\n/two/\r\n");
  EXPECT_FALSE(LoadDefPaths(rig.p()));
  EXPECT_EQ(rig.o0("DefPlayPathField").text(), "/keep/");
}

TEST(Rates, ReplaceBothSamplingRateListsInFileOrder) {
  ConfigRig rig;
  writeFile(rig.prog("rates.ini"), "8000, 16000\r\n44100\r\n\r\nabc\r\n250000\r\n");
  ASSERT_TRUE(LoadRates(rig.p()));
  std::vector<std::string> want = {"8000", "16000", "44100", "250000"};
  EXPECT_EQ(rig.f1("Combo2").items(), want);
  EXPECT_EQ(rig.o0("Combo2").items(), want);
  EXPECT_EQ(rig.f1("Combo2").text(), "48000");  // the text itself stays

  // Nothing usable: the lists stay as they are rather than going empty.
  writeFile(rig.prog("rates.ini"), "\r\nnone\r\n");
  EXPECT_FALSE(LoadRates(rig.p()));
  EXPECT_EQ(rig.f1("Combo2").items(), want);
}

}  // namespace
}  // namespace qv
