#include "gui/views.h"

#include <QScreen>
#include <cstring>

#include "export/snapshot.h"
#include "files/playlist.h"
#include "gui/picture_widget.h"
#include "platform/qt/qimage_surface.h"

#include "core/program.h"
#include "gui/form_window.h"
#include "gui/main_window.h"

namespace qv {

namespace {

std::shared_ptr<Surface> imageSurface(const QImage& grabbed) {
  if (grabbed.isNull()) return nullptr;
  const QImage img = grabbed.convertToFormat(QImage::Format_RGB32);
  auto s = std::make_shared<QImageSurface>(img.width(), img.height());
  for (int y = 0; y < img.height(); ++y)
    std::memcpy(s->row(y), img.constScanLine(y), static_cast<size_t>(img.width()) * 4);
  s->touch();
  return s;
}

}  // namespace

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
  // Snapshots of the window and the screen as they are shown.
  screenCapture().grabForm = [this] { return imageSurface(main_->grab().toImage()); };
  screenCapture().grabScreen = [this]() -> std::shared_ptr<Surface> {
    QScreen* screen = main_->screen();
    return screen ? imageSurface(screen->grabWindow(0).toImage()) : nullptr;
  };
}

Views::~Views() {
  screenCapture() = ScreenCapture{};
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
