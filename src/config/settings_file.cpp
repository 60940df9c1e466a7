#include "config/settings_file.h"

#include <filesystem>
#include <fstream>
#include <sstream>

#include "config/identity.h"
#include "config/settings_line.h"
#include "core/control.h"
#include "core/program.h"
#include "platform/dialogs.h"

namespace qv {

namespace {

constexpr const char* kSections[] = {"FORM1", "OPTIONS0", "OPTIONS1"};

bool readWhole(const std::string& path, std::string& out) {
  std::error_code ec;
  if (std::filesystem::is_directory(path, ec)) return false;
  std::ifstream f(path, std::ios::binary);
  if (!f) return false;
  std::ostringstream s;
  s << f.rdbuf();
  out = s.str();
  // Editors on other systems may put a byte-order mark first; it is not part of the first key.
  if (out.rfind("\xEF\xBB\xBF", 0) == 0) out.erase(0, 3);
  return true;
}

bool writeWhole(const std::string& path, const std::string& content) {
  std::ofstream f(path, std::ios::binary | std::ios::trunc);
  if (!f) return false;
  f.write(content.data(), static_cast<std::streamsize>(content.size()));
  f.close();
  return !f.fail();
}

std::vector<std::string> splitLines(const std::string& content) {
  std::vector<std::string> lines;
  std::string line;
  std::istringstream in(content);
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
  }
  return lines;
}

std::string numberText(long long v) {
  // Numbers in text files carry a leading blank in place of the plus sign.
  return v < 0 ? std::to_string(v) : " " + std::to_string(v);
}

}  // namespace

std::string controlsFileLine(const std::string& key, const std::string& value) {
  // "=" goes to the first print-zone column (15, 29, ...) with at least one blank before it.
  size_t column = 15;
  while (column < key.size() + 2) column += 14;
  return key + std::string(column - 1 - key.size(), ' ') + "= " + value;
}

std::string controlsFileValue(const Control& c) {
  switch (c.kind()) {
    case Kind::TextBox:
    case Kind::ComboBox:
      return c.text();
    case Kind::OptionButton:
      return c.value() ? "True" : "False";
    default:
      return numberText(c.value()) + " ";
  }
}

bool SaveControls(Program& program, const std::string& path) {
  std::string out;
  for (const char* section : kSections) {
    Form* f = program.forms().find(section);
    if (!f) continue;
    for (auto& c : f->controls()) {
      if (!c->isSaved()) continue;
      out += controlsFileLine(c->key(), controlsFileValue(*c));
      out += "\r\n";
    }
  }
  if (writeWhole(path, out)) return true;
  if (Dialogs* d = program.services().dialogs)
    d->message("Could not write " + path, kProductName, MsgButtons::Ok, MsgIcon::Error);
  return false;
}

bool LoadControls(Program& program, const std::string& path) {
  std::string content;
  if (!readWhole(path, content)) {
    if (Dialogs* d = program.services().dialogs)
      d->message("User Defaults not available", kProductName, MsgButtons::Ok, MsgIcon::None);
    return false;
  }
  applyControlsText(program, std::move(content));
  return true;
}

void applyControlsText(Program& program, std::string content) {
  if (content.rfind("\xEF\xBB\xBF", 0) == 0) content.erase(0, 3);
  for (const std::string& line : splitLines(content)) applySettingsLine(program.forms(), line);
}

std::vector<std::string> readDelimitedFields(const std::string& s) {
  std::vector<std::string> fields;
  size_t i = 0;
  const size_t n = s.size();
  auto isEnd = [&](size_t k) { return k >= n || s[k] == ',' || s[k] == '\r' || s[k] == '\n'; };
  while (i < n) {
    while (i < n && (s[i] == ' ' || s[i] == '\t')) ++i;
    std::string field;
    if (i < n && s[i] == '"') {
      size_t close = s.find('"', i + 1);
      if (close == std::string::npos) close = n;
      field = s.substr(i + 1, close - i - 1);
      i = close < n ? close + 1 : n;
      while (!isEnd(i)) ++i;  // anything between the closing quote and the delimiter is dropped
    } else {
      size_t start = i;
      while (!isEnd(i)) ++i;
      field = s.substr(start, i - start);
      while (!field.empty() && (field.back() == ' ' || field.back() == '\t')) field.pop_back();
    }
    fields.push_back(field);
    if (i < n && s[i] == ',') {
      ++i;
    } else if (i < n && s[i] == '\r') {
      ++i;
      if (i < n && s[i] == '\n') ++i;
    } else if (i < n && s[i] == '\n') {
      ++i;
    }
  }
  return fields;
}

std::optional<DefaultPaths> readDefPaths(const std::string& path) {
  std::string content;
  if (!readWhole(path, content)) return std::nullopt;
  auto f = readDelimitedFields(content);
  if (f.size() < 4) return std::nullopt;
  return DefaultPaths{f[0], f[1], f[2], f[3]};
}

static std::string defPathField(const std::string& p) {
  // A comma (or outer blanks) would split or trim the path when read back;
  // quoting keeps it whole. Plain paths stay unquoted.
  bool needsQuotes = p.find(',') != std::string::npos ||
                     (!p.empty() && (p.front() == ' ' || p.back() == ' ' || p.front() == '\t'));
  if (needsQuotes && p.find('"') == std::string::npos) return "\"" + p + "\"";
  return p;
}

bool writeDefPaths(const std::string& path, const DefaultPaths& p) {
  std::string out;
  for (const std::string* s : {&p.play, &p.recording, &p.save, &p.log}) out += defPathField(*s) + "\r\n";
  return writeWhole(path, out);
}

DefaultPaths currentDefPaths(Program& program) {
  auto text = [](Form& f, const char* name) {
    Control* c = f.find(name);
    return c ? c->text() : std::string();
  };
  return {text(program.options0(), "DefPlayPathField"), text(program.options0(), "FileRecPathField"),
          text(program.options1(), "DefSavePath"), text(program.options1(), "DefLogPath")};
}

bool LoadDefPaths(Program& program) {
  auto p = readDefPaths(program.programFile(kDefPathsFile));
  if (!p) return false;
  auto set = [](Form& f, const char* name, const std::string& v) {
    if (Control* c = f.find(name)) c->setText(v);
  };
  set(program.options0(), "DefPlayPathField", p->play);
  set(program.options0(), "FileRecPathField", p->recording);
  set(program.options1(), "DefSavePath", p->save);
  set(program.options1(), "DefLogPath", p->log);
  return true;
}

bool SaveDefPaths(Program& program) {
  std::string path = program.programFile(kDefPathsFile);
  if (writeDefPaths(path, currentDefPaths(program))) return true;
  if (Dialogs* d = program.services().dialogs)
    d->message("Could not write " + path, kProductName, MsgButtons::Ok, MsgIcon::Error);
  return false;
}

std::vector<std::string> readRates(const std::string& path) {
  std::string content;
  std::vector<std::string> rates;
  if (!readWhole(path, content)) return rates;
  for (auto& f : readDelimitedFields(content))
    if (leadingNumber(f) > 0) rates.push_back(f);  // blank or non-numeric entries would offer a 0 Hz rate
  return rates;
}

bool LoadRates(Program& program) {
  auto rates = readRates(program.programFile(kRatesFile));
  if (rates.empty()) return false;
  for (Form* f : {&program.form1(), &program.options0()}) {
    Control* c = f->find("Combo2");
    if (!c) continue;
    c->clearItems();
    for (auto& r : rates) c->addItem(r);
  }
  return true;
}

}  // namespace qv
