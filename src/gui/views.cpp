#include "gui/views.h"

#include "core/program.h"
#include "gui/form_window.h"
#include "gui/main_window.h"

namespace qv {

Views::Views(Program& program) {
  main_ = std::make_unique<MainWindow>(program);
  for (Form* f : program.forms().all()) {
    if (f == &program.form1()) continue;
    // Panels belong to the main window: above it, and gone with it.
    panels_.push_back(std::make_unique<FormWindow>(*f, main_.get()));
  }
}

Views::~Views() {
  // Panels first, while their parent still exists.
  panels_.clear();
  main_.reset();
}

FormWindow* Views::window(const std::string& section) const {
  if (main_->form().section() == section) return main_.get();
  for (auto& p : panels_)
    if (p->form().section() == section) return p.get();
  return nullptr;
}

}  // namespace qv
