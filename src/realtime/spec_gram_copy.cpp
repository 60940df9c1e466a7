#include "realtime/spec_gram_copy.h"

#include "core/program.h"
#include "platform/surface.h"

namespace qv {

void SpecGramCopy::SaveSpecGram(Program& p) {
  if (copy_ || !p.vars().StopFlag) return;
  auto picture = p.form1()["SpecGram"].surface();
  SurfaceFactory* f = p.services().surfaces;
  if (!picture || !f) return;
  copy_ = f->create(picture->width(), picture->height());
  copy_->blit(0, 0, picture->width(), picture->height(), *picture, 0, 0);
  specVsize_ = p.vars().specVsize;
}

void SpecGramCopy::RestoreSpecGram(Program& p) {
  if (!copy_) return;
  auto copy = std::move(copy_);
  auto picture = p.form1()["SpecGram"].surface();
  if (!picture || !p.vars().StopFlag || specVsize_ != p.vars().specVsize) return;
  if (picture->width() != copy->width() || picture->height() != copy->height()) return;
  picture->blit(0, 0, copy->width(), copy->height(), *copy, 0, 0);
}

}  // namespace qv
