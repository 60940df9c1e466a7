#include "realtime/palette.h"

#include <algorithm>
#include <string>

#include "core/control.h"

namespace qv {
namespace {

struct Components {
  int r, g, b;
  void clamp() {
    r = std::clamp(r, 0, 255);
    g = std::clamp(g, 0, 255);
    b = std::clamp(b, 0, 255);
  }
  Rgb colour() const { return rgb(r, g, b); }
};

Rgb gInactiveBorder = rgb(212, 208, 200);

}  // namespace

Rgb inactiveBorder() { return gInactiveBorder; }
void setInactiveBorder(Rgb c) { gInactiveBorder = c & 0xFFFFFFu; }

ColourPalette::ColourPalette() { BuildPalette(0); }

uint32_t ColourPalette::packed(int i) const {
  Rgb c = at(i);
  return static_cast<uint32_t>(red(c)) + 256u * static_cast<uint32_t>(green(c)) +
         65536u * static_cast<uint32_t>(blue(c));
}

void ColourPalette::BuildPalette(int number) {
  auto entry = [this](int i) -> Rgb& { return table_[static_cast<size_t>(i - kLow)]; };
  auto fill = [&](int from, int to, Rgb c) {
    for (int i = from; i <= to; ++i) entry(i) = c;
  };
  // Grey ramp over entries from..to: each entry takes the rounded level,
  // then the level moves by 256 / steps.
  auto ramp = [&](int from, int to, int steps, float start, bool down) {
    const float step = 256.0f / static_cast<float>(steps);
    float v = start;
    for (int i = from; i <= to; ++i) {
      int g = std::clamp(static_cast<int>(roundEven(v)), 0, 255);
      entry(i) = rgb(g, g, g);
      v = down ? v - step : v + step;
    }
  };
  const Rgb white = rgb(255, 255, 255), black = rgb(0, 0, 0);
  switch (number) {
    case 0: fill(0, 1, white); fill(204, 255, black); ramp(1, 204, 204, 255, true); break;
    case 1: fill(0, 1, black); fill(204, 255, white); ramp(1, 204, 204, 0, false); break;
    case 2: fill(0, 31, white); fill(192, 255, black); ramp(32, 191, 160, 255, true); break;
    case 3: fill(0, 31, black); fill(192, 255, white); ramp(32, 191, 160, 0, false); break;
    case 4: fill(0, 63, white); ramp(64, 191, 128, 255, true); fill(192, 255, black); break;
    case 5: fill(0, 63, black); ramp(64, 191, 128, 0, false); fill(192, 255, white); break;
    case 6: case 7: case 12: {
      Components c{255, 255, 255};
      for (int i = 0; i < 256; ++i) {
        c.r -= 1;
        if (number == 12) {
          if (i <= 127) c.g -= 2;
          else c.b -= 2;
        } else {
          if (i <= 127) {
            c.g -= 2;
            c.b -= 5;
          } else if (number == 6) {
            c.b += 3;
          }
          if (number == 6 && i > 191) c.b -= 6;
        }
        c.clamp();
        entry(i) = c.colour();
      }
      break;
    }
    case 8: case 9: {
      Components c{255, 0, 0};
      for (int i = 0; i < 256; ++i) {
        if (i <= 63) c.g += 4;
        else if (i <= 127) c.r -= 4;
        else if (i <= 191) c.b += 4;
        else c.g -= 4;
        c.clamp();
        entry(number == 8 ? i : 255 - i) = c.colour();
      }
      break;
    }
    case 10: {
      Components c{255, 0, 0};
      for (int i = 0; i < 256; ++i) {
        if (i <= 63) c.g += 4;
        else if (i <= 113) c.r -= 5;
        else if (i <= 150) c.b += 6;
        else if (i <= 200) c.g -= 5;
        else c.b -= 4;
        c.clamp();
        entry(255 - i) = c.colour();
      }
      break;
    }
    case 11: {
      Components c{255, 255, 255};
      for (int i = 0; i < 256; ++i) {
        if (i <= 63) c.b -= 4;
        else if (i <= 127) c.g -= 4;
        else if (i <= 191) {
          c.r -= 3;
          c.b += 4;
        } else {
          c.b -= 4;
        }
        c.clamp();
        entry(i) = c.colour();
      }
      break;
    }
    case 13: for (int i = 0; i < 256; ++i) entry(i) = rgb(i, 0, 0); break;
    case 14: for (int i = 0; i < 256; ++i) entry(i) = rgb(255 - i, 255, 255); break;
    case 15: for (int i = 0; i < 256; ++i) entry(i) = rgb(0, i, 0); break;
    case 16: for (int i = 0; i < 256; ++i) entry(i) = rgb(255, 255 - i, 255); break;
    case 17: for (int i = 0; i < 256; ++i) entry(i) = rgb(0, 0, i); break;
    case 18: for (int i = 0; i < 256; ++i) entry(i) = rgb(255, 255, 255 - i); break;
    default: break;  // no such scale: the colours stay
  }
  fill(kLow, -1, entry(0));
  fill(256, kHigh, entry(255));
}

void paintColumn(const ColourPalette& p, const float* values, int rows, Surface& s, int x) {
  for (int r = 0; r < rows; ++r) s.setPixel(x, rows - 1 - r, p.lookup(values[r]));
}

void DrawPaletteBar(const ColourPalette& p, Surface& s) {
  for (int i = 0; i < 256; ++i) s.line(i, 0, i, 10, p.at(i));
}

void DrawDbLegend(Surface& s) {
  const Rgb black = rgb(0, 0, 0);
  int textX = 0;
  for (int i = 0; i <= 240; i += 24) {
    s.setPixel(i, 0, black);
    s.setPixel(i, 1, black);
    textX = i == 0 ? -5 : i - 6;
    if (i < 240) s.text(textX, 1, std::to_string(i / 2), black);
  }
  s.text(textX, 1, " dB", black);
}

}  // namespace qv
