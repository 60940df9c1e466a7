#include "export/model_screen_grab.h"

#include "core/program.h"
#include "platform/surface.h"

namespace qv {

namespace {

std::shared_ptr<Surface> newSurface(Program& p, int w, int h) {
  SurfaceFactory* f = p.services().surfaces;
  if (!f || w <= 0 || h <= 0) return nullptr;
  return f->create(w, h);
}

}  // namespace

std::shared_ptr<Surface> ModelScreenGrab::grabMainWindow() {
  if (!p_) return nullptr;
  Form& form = p_->form1();
  auto img = newSurface(*p_, form.width(), form.height());
  if (!img) return nullptr;
  img->clear();
  for (auto& c : form.controls()) {
    if (c->kind() != Kind::Picture || !c->visible() || !c->surface()) continue;
    const Geometry& g = c->geometry();
    img->blit(g.left, g.top, c->surface()->width(), c->surface()->height(), *c->surface(), 0, 0);
  }
  return img;
}

std::shared_ptr<Surface> ModelScreenGrab::grabScreen() {
  if (!p_) return nullptr;
  auto screen = newSurface(*p_, p_->vars().ScreenXsize, p_->vars().ScreenYsize);
  if (!screen) return nullptr;
  screen->clear();
  if (auto form = grabMainWindow()) screen->blit(0, 0, form->width(), form->height(), *form, 0, 0);
  return screen;
}

}  // namespace qv
