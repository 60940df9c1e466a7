// The listings a station is configured from must match the program itself:
// the keys a controls file holds, the values a start-up gives, the device
// lists as the windows show them.
#include <gtest/gtest.h>

#include <map>
#include <set>

#include "config/command_line.h"
#include "config/listings.h"
#include "config/settings_file.h"
#include "config/startup.h"
#include "core/designer.h"
#include "realtime/devices.h"
#include "support/program_rig.h"

namespace qv {
namespace {

std::vector<std::string> crLfLines(const std::string& content) {
  std::vector<std::string> out;
  for (size_t start = 0; start < content.size();) {
    size_t end = content.find("\r\n", start);
    if (end == std::string::npos) end = content.size();
    out.push_back(content.substr(start, end - start));
    start = end + 2;
  }
  return out;
}

std::map<std::string, SettingInfo> inventoryByKey() {
  std::map<std::string, SettingInfo> m;
  for (SettingInfo& s : settingsInventory()) m[s.key] = s;
  return m;
}

// GIVEN the controls file an assembled program saves, and --set's keys
// THEN the inventory lists every one of them, says which a controls file
//      holds, and gives each the value a start-up without files gives it.
TEST(SettingsListing, ListsEverySavedControlWithTheValueStartUpGivesIt) {
  const auto inventory = inventoryByKey();

  test::ProgramRig rig;
  startUp(rig.p(), CommandLine{}, *rig.subsystems->hooks, StartupOptions{false});
  const std::string file = rig.home.file("Quorvel.ini");
  ASSERT_TRUE(SaveControls(rig.p(), file));
  std::set<std::string> inFile;
  for (const std::string& line : crLfLines(test::readFile(file)))
    if (!line.empty()) inFile.insert(line.substr(0, line.find(' ')));
  ASSERT_GT(inFile.size(), 100u);
  std::set<std::string> listedForFiles;
  for (auto& [key, s] : inventory)
    if (s.inControlsFiles) listedForFiles.insert(key);
  EXPECT_EQ(listedForFiles, inFile);

  size_t compared = 0;
  for (Form* f : rig.p().forms().all()) {
    for (auto& c : f->controls()) {
      if (!c->isSaved()) continue;
      auto it = inventory.find(c->key());
      ASSERT_NE(it, inventory.end()) << c->key() << " is accepted by --set but not listed";
      std::string value = controlsFileValue(*c);
      if (value.size() > 2 && value.front() == ' ' && value.back() == ' ') value = value.substr(1, value.size() - 2);
      // The rig puts the folders into its temporary home; the device lists are
      // its doubles'; start-up writes its progress into the status line.
      if (it->second.defaultValue.rfind("~/", 0) == 0 || it->second.values.find("devices") != std::string::npos ||
          c->key() == "FORM1.StatusLine")
        continue;
      EXPECT_EQ(it->second.defaultValue, value) << c->key();
      ++compared;
    }
  }
  EXPECT_EQ(compared + 8, inventory.size());
}

TEST(SettingsListing, TextAndMarkdownCarryCaptionDefaultAndChoices) {
  const std::string text = settingsListing(false);
  EXPECT_NE(text.find("  FORM1.Combo3  combo box  \"FFT size\" (FFTsize)\n      default \"512\"; one of the list, "
                      "or typed: \"512\", \"1024\", \"2048\", \"4096\", \"8192\", \"16384\"\n"),
            std::string::npos);
  EXPECT_NE(text.find("  OPTIONS0.chkUDPSlave  check box  "), std::string::npos);
  EXPECT_NE(text.find("      default 0; 0 or 1\n"), std::string::npos);
  EXPECT_NE(text.find("[OPTIONS2] Special Settings (--set only)"), std::string::npos);
  const std::string md = settingsListing(true);
  EXPECT_NE(md.find("| `FORM1.Combo3` | combo box | FFT size (FFTsize) | `\"512\"` | one of the list, or typed: "
                    "`\"512\"`, "),
            std::string::npos);
  // A table cell never breaks on a "|" of its own.
  for (size_t at = md.find("\n| `"); at != std::string::npos; at = md.find("\n| `", at + 1)) {
    const std::string row = md.substr(at + 1, md.find('\n', at + 1) - at - 1);
    int cells = 0;
    for (size_t i = 0; i < row.size(); ++i)
      if (row[i] == '|' && (i == 0 || row[i - 1] != '\\')) ++cells;
    EXPECT_EQ(cells, 6) << row;
  }
}

TEST(DeviceListing, ShowsTheListsAsTheWindowsHoldThemWithChannels) {
  test::ProgramRig rig;
  rig.audioIn.deviceList = {{"Default Input Device", 2}, {"USB Mic\x01junk", 1}, {"Hydrophone 4ch", 4}};
  rig.audioOut.deviceList = {{"Default Output Device", 2}};
  const std::string listing = deviceListing(rig.p());
  const std::vector<std::string>& inputs = rig.form1("Combo10").items();
  ASSERT_EQ(inputs.size(), 3u);
  EXPECT_EQ(inputs[1], "USB Mic");
  EXPECT_EQ(listing,
            "Input devices (FORM1.Combo10, choose with --set FORM1.Combo10=NAME):\n"
            "  0  \"Default Input Device\"  2 channels  (the default device)\n"
            "  1  \"USB Mic\"  1 channels\n"
            "  2  \"Hydrophone 4ch\"  4 channels\n"
            "Output devices (OPTIONS0.Combo9, choose with --set OPTIONS0.Combo9=NAME):\n"
            "  0  \"Default Output Device\"  2 channels  (the default device)\n");
}

}  // namespace
}  // namespace qv
