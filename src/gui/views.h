// Every window of the program: the main window and one window per panel,
// each bound to its Form. A panel window shows when its Form is shown.
#pragma once

#include <memory>
#include <string>
#include <vector>

namespace qv {

class FormWindow;
class MainWindow;
class Program;

class Views {
 public:
  explicit Views(Program& program);
  ~Views();
  Views(const Views&) = delete;
  Views& operator=(const Views&) = delete;

  MainWindow& main() const { return *main_; }
  // The window of a Form by its section name ("OPTIONS0"), or nullptr.
  FormWindow* window(const std::string& section) const;

 private:
  std::unique_ptr<MainWindow> main_;
  std::vector<std::unique_ptr<FormWindow>> panels_;
};


}  // namespace qv
