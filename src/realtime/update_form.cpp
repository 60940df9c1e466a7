#include "realtime/update_form.h"

#include <algorithm>
#include <cmath>

#include "analysis/settings.h"
#include "analysis/text_format.h"
#include "core/program.h"
#include "platform/surface.h"
#include "realtime/axes.h"

namespace qv {

std::shared_ptr<Surface> ensureSurface(Program& p, Control& picture, int w, int h) {
  w = std::max(w, 1);
  h = std::max(h, 1);
  auto s = picture.surface();
  if (!s) {
    if (!p.services().surfaces) return nullptr;
    s = p.services().surfaces->create(w, h);
    picture.setSurface(s);
  } else if (s->width() < w || s->height() < h) {
    s->resize(std::max(w, s->width()), std::max(h, s->height()));
  }
  return s;
}

std::shared_ptr<Surface> mainWindowSurface(Program& p) {
  Form& f = p.form1();
  const int w = std::max(f.width(), 1), h = std::max(f.height(), 1);
  auto s = f.surface();
  if (!s) {
    if (!p.services().surfaces) return nullptr;
    s = p.services().surfaces->create(w, h);
    s->setBackground(inactiveBorder());
    s->clear();
    f.setSurface(s);
  } else if (s->width() != w || s->height() != h) {
    s->setBackground(inactiveBorder());
    s->resize(w, h);
  }
  return s;
}

int spectrogramRoom(Program& p, int left) {
  Form& f = p.form1();
  Control& frame1 = f["Frame1"];
  int x = frame1.geometry().left;
  if (!frame1.visible() || x <= 0) x = (f.width() > 0 ? f.width() : p.vars().ScreenXsize) - 16;
  return std::max(x - left - 16, 1);
}

int paletteNumberOf(const Control& combo) {
  double v = combo.number();
  if (!std::isfinite(v) || v > 2147483647.0 || v < -2147483648.0) return 0;
  return static_cast<int>(v);
}

void applyColourScale(Program& p, DisplayState& d, Control& combo) {
  d.PaletteNumber = paletteNumberOf(combo);
  d.palette.BuildPalette(d.PaletteNumber);
  if (Control* bar = combo.form().find("Picture2"))
    if (auto s = ensureSurface(p, *bar, 256, 11)) DrawPaletteBar(d.palette, *s);
}

void UpdateForm(Program& p, DisplayState& d) {
  Form& f = p.form1();
  Form& adv = p.options1();
  PublicVars& v = p.vars();

  // 1.
  if (v.specVsize == 0) v.specVsize = 256;
  PublicSettings(p);

  // 2.
  v.ZoomFactor = std::max(1, static_cast<int>(roundEven(static_cast<double>(v.FFTsize) / v.specVsize / 2)));

  // 3.
  Control& zoom = f["ZoomFlag"];
  Control& base = f["UpDown5"];
  if (v.ZoomFactor == 1) {
    v.ZoomBase = 0;
    zoom.setCaption("Zoom off");
    zoom.setValue(0);
    zoom.setEnabled(false);
    base.setEnabled(false);
  } else {
    zoom.setEnabled(true);
    zoom.setCaption("Zoom " + std::to_string(v.ZoomFactor) + "x at bin");
    base.setEnabled(false);
    base.setRange(0, std::max(0, static_cast<int>(roundEven(v.FFTsize / 2.0 - v.specVsize))));
  }

  // 4.
  if (zoom.checked()) {
    v.ZoomMode = 1;
    v.ZoomBase = base.value();
    if (Control* field = f.find("ZoomBaseField")) field->setText(std::to_string(v.ZoomBase));
    const float binHz = static_cast<float>(v.SampleRate) / static_cast<float>(v.FFTsize);
    v.AxisMinFreq = binHz * static_cast<float>(v.ZoomBase);
    v.AxisMaxFreq = v.AxisMinFreq + binHz * static_cast<float>(v.specVsize);
    base.setEnabled(true);
  } else {
    v.ZoomMode = 0;
    v.ZoomBase = 0;
    v.AxisMinFreq = 0;
    v.AxisMaxFreq = static_cast<float>(v.SampleRate) / 2.0f;
    base.setEnabled(false);
  }

  Control& spec = f["SpecGram"];
  const bool yTics = adv.find("Check4") && adv["Check4"].checked();
  int left = spec.geometry().left;
  int width = spec.geometry().width;
  const int top = spec.geometry().top;
  int height = spec.geometry().height;
  const AxisCorrection correction{v.TapeSpeed, v.FrequencyDivision};
  auto window = mainWindowSurface(p);

  // 5. Only while stopped: a running loop is drawing into the picture.
  if (v.StopFlag) {
    if (window) window->clear();
    if (Control* l = f.find("Label3")) l->setCaption("");
    if (Control* l = f.find("Label5")) l->setCaption("");
    left = yTics ? 80 : 32;
    width = spectrogramRoom(p, left);
    if (d.chosenWidth > 0) width = std::min(width, d.chosenWidth);
    height = v.specVsize + 96;
    spec.setGeometry({left, top, width, height});
    // The loops draw the waveform strip down to row specVsize + 96.
    auto s = spec.surface();
    if (s && (s->width() != width || s->height() != v.specVsize + 97)) s->resize(width, v.specVsize + 97);
    s = ensureSurface(p, spec, width, v.specVsize + 97);
    if (s) {
      s->clear();
      s->fillBox(0, v.specVsize, width, v.specVsize + 16, inactiveBorder());
    }
    d.PaletteNumber = paletteNumberOf(f["Combo8"]);
    d.palette.BuildPalette(d.PaletteNumber);
    if (auto bar = ensureSurface(p, f["Picture2"], 256, 11)) DrawPaletteBar(d.palette, *bar);
    if (adv.find("CheckdB") && adv["CheckdB"].checked())
      if (auto legend = ensureSurface(p, f["Picture1"], 280, 16)) {
        legend->clear();
        DrawDbLegend(*legend);
      }
    // Mouse input on the picture follows "RT Cursor".
    spec.setEnabled(adv.find("RTCursorFlag") && adv["RTCursorFlag"].checked());
  }

  // 6. Channel layout.
  Form& o = p.options0();
  bool any = false;
  for (int i = 0; i <= 4; ++i)
    if (Control* c = o.find("OptionCS" + std::to_string(i)); c && c->checked()) any = true;
  if (!any)
    if (Control* c = o.find("OptionCS0")) c->setValue(1);
  if (yTics && window) {
    const float tic = adv.find("Text16") ? static_cast<float>(adv["Text16"].number()) : 0;
    const bool stereo = o.find("OptionCS0") && o["OptionCS0"].checked();
    const float x = static_cast<float>(left);
    if (!stereo || v.Channels == 1 || v.Task == 4) {
      VerticalAxis(*window, x, static_cast<float>(top + v.specVsize), v.AxisMinFreq, v.AxisMaxFreq,
                   static_cast<float>(v.specVsize), tic, "", correction);
    } else {
      const float half = static_cast<float>(v.specVsize / 2);
      VerticalAxis(*window, x, static_cast<float>(top + v.specVsize / 2), v.AxisMinFreq, v.AxisMaxFreq, half, tic, "",
                   correction);
      VerticalAxis(*window, x, static_cast<float>(top + v.specVsize), v.AxisMinFreq, v.AxisMaxFreq, half, tic, "",
                   correction);
      // Beside the two waveform traces.
      window->text(left - 16, top + v.specVsize + 32, "L", rgb(0, 0, 0));
      window->text(left - 16, top + v.specVsize + 68, "R", rgb(0, 0, 0));
    }
  }

  // 7.
  SetMVAxis(p);

  // 8. Time axis in milliseconds.
  if (window) {
    const int innerWidth = f.width() > 0 ? f.width() : window->width();
    window->fillBox(0, top + height, innerWidth, top + height + 30, inactiveBorder());
    if (adv.find("Check3") && adv["Check3"].checked()) {
      const double rate = std::max(f["Combo2"].number(), 1.0);
      const double span = f["Combo6"].number() * width * 1000.0 / rate;
      const float tic = adv.find("Text15") ? static_cast<float>(adv["Text15"].number()) : 0;
      HorizontalAxis(*window, static_cast<float>(left), static_cast<float>(top + height), 0,
                     static_cast<float>(span), static_cast<float>(width), tic, "", correction);
    }
  }

  // 9.
  if (auto s = spec.surface()) s->fillBox(0, v.specVsize, width, v.specVsize + 15, inactiveBorder());

  // 10. Buffer menu.
  const bool buffer = f["Combo12"].number() != 0;
  if (Control* m = f.find("BufferMenu")) m->setEnabled(buffer);
  for (const char* n : {"QuickSaveBuffer", "BufferSave30", "BufferSave60"})
    if (Control* m = f.find(n)) m->setVisible(buffer);
}

}  // namespace qv
