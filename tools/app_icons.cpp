// Drawing of the application's icons: shapes in a unit square, each pixel
// sampled 4 × 4 times, layered front over back.
#include "tools/app_icons.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <functional>
#include <numbers>

#include "images/image.h"

namespace tavero::tool {

namespace {

struct Colour {
  double r, g, b;
};

// A shape: whether the point (x, y) of the unit square (y down) is inside.
using Shape = std::function<bool(double x, double y)>;

struct Layer {
  Shape shape;
  Colour colour;
};

Shape Rectangle(double left, double top, double right, double bottom) {
  return [=](double x, double y) { return x >= left && x < right && y >= top && y < bottom; };
}

Shape Disc(double cx, double cy, double radius) {
  return [=](double x, double y) { return (x - cx) * (x - cx) + (y - cy) * (y - cy) <= radius * radius; };
}

Shape Ring(double cx, double cy, double inner, double outer) {
  return [=](double x, double y) {
    const double d = (x - cx) * (x - cx) + (y - cy) * (y - cy);
    return d >= inner * inner && d <= outer * outer;
  };
}

Shape Both(Shape a, Shape b) {
  return [=](double x, double y) { return a(x, y) && b(x, y); };
}

// A five-pointed star centred at (cx, cy), points up.
Shape Star(double cx, double cy, double outer, double inner) {
  std::vector<std::pair<double, double>> corners;
  for (int i = 0; i < 10; ++i) {
    const double angle = -std::numbers::pi / 2 + i * std::numbers::pi / 5;
    const double radius = i % 2 == 0 ? outer : inner;
    corners.emplace_back(cx + radius * std::cos(angle), cy + radius * std::sin(angle));
  }
  return [corners](double x, double y) {
    // Even-odd rule over the polygon's edges.
    bool inside = false;
    for (std::size_t i = 0, j = corners.size() - 1; i < corners.size(); j = i++) {
      const auto [xi, yi] = corners[i];
      const auto [xj, yj] = corners[j];
      if ((yi > y) != (yj > y) && x < (xj - xi) * (y - yi) / (yj - yi) + xi) inside = !inside;
    }
    return inside;
  };
}

images::Image Render(const std::vector<Layer>& layers, int side) {
  images::Image image;
  image.width = side;
  image.height = side;
  image.rgba.resize(static_cast<std::size_t>(side) * side * 4);
  constexpr int kSamples = 4;
  for (int py = 0; py < side; ++py) {
    for (int px = 0; px < side; ++px) {
      double r = 0, g = 0, b = 0, covered = 0;
      for (int sy = 0; sy < kSamples; ++sy) {
        for (int sx = 0; sx < kSamples; ++sx) {
          const double x = (px + (sx + 0.5) / kSamples) / side;
          const double y = (py + (sy + 0.5) / kSamples) / side;
          // The frontmost layer (last listed) that covers the sample.
          for (auto layer = layers.rbegin(); layer != layers.rend(); ++layer) {
            if (layer->shape(x, y)) {
              r += layer->colour.r;
              g += layer->colour.g;
              b += layer->colour.b;
              covered += 1;
              break;
            }
          }
        }
      }
      std::uint8_t* p = image.rgba.data() + (static_cast<std::size_t>(py) * side + px) * 4;
      if (covered > 0) {
        p[0] = static_cast<std::uint8_t>(std::lround(r / covered));
        p[1] = static_cast<std::uint8_t>(std::lround(g / covered));
        p[2] = static_cast<std::uint8_t>(std::lround(b / covered));
      }
      p[3] = static_cast<std::uint8_t>(std::lround(255 * covered / (kSamples * kSamples)));
    }
  }
  return image;
}

std::vector<std::uint8_t> IconFile(const std::vector<Layer>& layers) {
  const std::vector<images::Image> pictures = {Render(layers, 16), Render(layers, 32)};
  return images::EncodeIco(pictures);
}

std::vector<Layer> StarLayers(Colour fill, Colour edge) {
  return {{Star(0.5, 0.54, 0.5, 0.21), edge}, {Star(0.5, 0.54, 0.4, 0.16), fill}};
}

// A monitor with a ball on its screen, on a stand.
std::vector<Layer> ComputerLayers() {
  const Colour case_grey{190, 190, 196}, dark{60, 60, 70}, screen{40, 90, 200}, white{250, 250, 250}, red{210, 30, 30};
  return {
      {Rectangle(0.34, 0.72, 0.66, 0.84), dark},      // neck
      {Rectangle(0.2, 0.84, 0.8, 0.95), case_grey},   // foot
      {Rectangle(0.04, 0.06, 0.96, 0.76), dark},      // case outline
      {Rectangle(0.08, 0.1, 0.92, 0.72), case_grey},  // case
      {Rectangle(0.15, 0.16, 0.85, 0.65), screen},    // screen
      {Disc(0.5, 0.405, 0.2), white},                 // ball
      {Both(Ring(0.3, 0.405, 0.11, 0.15), Disc(0.5, 0.405, 0.2)), red},  // seams
      {Both(Ring(0.7, 0.405, 0.11, 0.15), Disc(0.5, 0.405, 0.2)), red},
  };
}

}  // namespace

std::vector<AppIcon> DrawAppIcons() {
  return {
      {"Sports My Computer.ico", IconFile(ComputerLayers())},
      {"star1.ico", IconFile(StarLayers({255, 215, 40}, {150, 100, 0}))},
      {"star2.ico", IconFile(StarLayers({60, 110, 230}, {20, 40, 120}))},
      {"star3.ico", IconFile(StarLayers({225, 45, 45}, {120, 15, 15}))},
  };
}

}  // namespace tavero::tool
