#include "gui/views.h"

#include "files/playlist.h"
#include "gui/picture_widget.h"

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
  // Recordings dropped on the spectrogram become the play list.
  if (auto* spec = main_->findChild<PictureWidget*>("SpecGram")) {
    QObject::connect(spec, &PictureWidget::filesDropped, [&program](const QStringList& paths) {
      std::vector<std::string> list;
      for (const QString& path : paths) list.push_back(path.toStdString());
      SpecGram_OLEDragDrop(program, list);
    });
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
