#include <gtest/gtest.h>

#include "config/settings_line.h"
#include "core/designer.h"
#include "core/form.h"

namespace qv {
namespace {

struct Counted {
  int change = 0, click = 0;
  void attach(Control& c) {
    c.on(Event::Change, [this] { ++change; });
    c.on(Event::Click, [this] { ++click; });
  }
};

TEST(ControlModel, HandlerRunsOncePerChangeWhateverTheSource) {
  Forms forms;
  buildForms(forms);
  Control& c = forms.form1()["Combo3"];
  Counted n;
  n.attach(c);

  c.setText("1024");  // code or typing
  EXPECT_EQ(n.change, 1);
  c.setText("1024");  // same text again: nothing changed, no event
  EXPECT_EQ(n.change, 1);
  applySettingsLine(forms, "FORM1.Combo3  = 2048");  // a settings file
  EXPECT_EQ(n.change, 2);
  EXPECT_EQ(c.text(), "2048");
  c.setListIndex(0);  // an operator's choice from the list
  EXPECT_EQ(c.text(), "512");
  EXPECT_EQ(n.change, 3);
  EXPECT_EQ(n.click, 1);
}

TEST(ControlModel, OptionButtonsOfOneGroupExcludeEachOther) {
  Forms forms;
  buildForms(forms);
  Form& o = forms.options0();
  EXPECT_TRUE(o["OptionCS0"].checked());
  Counted n;
  n.attach(o["OptionCS2"]);
  o["OptionCS2"].click();
  EXPECT_EQ(n.click, 1);
  int selected = 0;
  for (int i = 0; i < 5; ++i) selected += o["OptionCS" + std::to_string(i)].value();
  EXPECT_EQ(selected, 1);
  EXPECT_TRUE(o["OptionCS2"].checked());
  EXPECT_FALSE(o["OptionCS0"].checked());
}

TEST(ControlModel, ComboKeepsTypedTextNotInItsList) {
  Forms forms;
  buildForms(forms);
  Control& c = forms.form1()["Combo3"];
  c.setText("6000");
  EXPECT_EQ(c.text(), "6000");
  EXPECT_EQ(c.listIndex(), -1);
  EXPECT_EQ(c.intNumber(), 6000);
  c.setText("4096");
  EXPECT_EQ(c.listIndex(), 3);
}

TEST(ControlModel, LeadingNumberReadsControlTexts) {
  EXPECT_EQ(leadingNumber("4 Mbytes"), 4);
  EXPECT_EQ(leadingNumber("off"), 0);
  EXPECT_EQ(leadingNumber("2 - stereo"), 2);
  EXPECT_EQ(leadingNumber("  -3.5e2x"), -350);
  EXPECT_EQ(leadingNumber("1e"), 1);
  EXPECT_EQ(leadingNumber("-"), 0);
  EXPECT_EQ(roundEven(2.5), 2);
  EXPECT_EQ(roundEven(3.5), 4);
  EXPECT_EQ(roundEven(-2.5), -2);
}

TEST(ControlModel, UpDownClampsIntoItsRange) {
  Forms forms;
  buildForms(forms);
  Control& u = forms.form1()["UpDown1"];
  Counted n;
  n.attach(u);
  u.setValue(u.maximum() + 100);
  EXPECT_EQ(u.value(), u.maximum());
  EXPECT_EQ(n.change, 1);
  u.setValue(u.maximum() + 1);  // clamps to the same value: no event
  EXPECT_EQ(n.change, 1);
}

TEST(SettingsLine, KeysAndValuesAreSplitAsControlsFilesDo) {
  Forms forms;
  buildForms(forms);
  Form& f1 = forms.form1();
  // One space before "=": the name is everything up to it.
  EXPECT_TRUE(applySettingsLine(forms, "FORM1.Combo8 = 3\r\n").applied);
  EXPECT_EQ(f1["Combo8"].text(), "3");
  // No space before "=": the last character of the name is dropped.
  auto r = applySettingsLine(forms, "FORM1.Combo8=5");
  EXPECT_FALSE(r.applied);
  EXPECT_EQ(r.key, "FORM1.Combo");
  EXPECT_EQ(f1["Combo8"].text(), "3");
  // Only the first "=" splits; trailing blanks of a text value are kept.
  EXPECT_TRUE(applySettingsLine(forms, "FORM1.HeadLine = a=b  ").applied);
  EXPECT_EQ(f1["HeadLine"].text(), "a=b  ");
  // Unknown names and sections, lines without "." or "=": ignored.
  EXPECT_FALSE(applySettingsLine(forms, "FORM1.NoSuchThing  = 1").applied);
  EXPECT_FALSE(applySettingsLine(forms, "form1.Combo8  = 1").applied);
  EXPECT_FALSE(applySettingsLine(forms, "OPTIONS2.Combo2 = 4").applied);
  EXPECT_FALSE(applySettingsLine(forms, "no separator here").applied);
  EXPECT_EQ(f1["Combo8"].text(), "3");
  // Labels and buttons are not settings.
  EXPECT_FALSE(applySettingsLine(forms, "FORM1.StartStop = Go").applied);
  EXPECT_EQ(f1["StartStop"].caption(), "Start");
}

TEST(SettingsLine, ChecksOptionsAndUpDownsTakeNumbersAndTruthValues) {
  Forms forms;
  buildForms(forms);
  applySettingsLine(forms, "FORM1.Check2  =  1 ");
  EXPECT_EQ(forms.form1()["Check2"].value(), 1);
  applySettingsLine(forms, "FORM1.Check2  = junk");
  EXPECT_EQ(forms.form1()["Check2"].value(), 0);
  applySettingsLine(forms, "OPTIONS0.OptionCS3 = True");
  EXPECT_TRUE(forms.options0()["OptionCS3"].checked());
  EXPECT_FALSE(forms.options0()["OptionCS0"].checked());
  applySettingsLine(forms, "OPTIONS1.Option2 = -1");
  EXPECT_TRUE(forms.options1()["Option2"].checked());
  applySettingsLine(forms, "OPTIONS1.Option2 = False");
  EXPECT_FALSE(forms.options1()["Option2"].checked());
  applySettingsLine(forms, "FORM1.UpDown1 = -3 ");
  EXPECT_EQ(forms.form1()["UpDown1"].value(), -3);
}

}  // namespace
}  // namespace qv
