#include "report/page_encoder.h"

#include <algorithm>
#include <map>

#include "images/metafile.h"

namespace tavero::report {
namespace {

using definitions::font_style::kItalic;
using definitions::font_style::kStrikeOut;
using definitions::font_style::kUnderline;
using definitions::font_style::kWeightMask;

constexpr int kMaxCoordinate = 32767;
constexpr std::uint32_t kDefaultColour = 0xFFFFFFFF;
// A bitmap record must stay below 8000h words: about 64 KB of pixels.
constexpr std::int64_t kMaxBitmapPixels = (2 * static_cast<std::int64_t>(images::kMaxRecordWords) - 256) / 4;

images::LogicalFont LogicalFontOf(const definitions::FontDefinition& font, const PageDevice& device, int scale) {
  images::LogicalFont out;
  out.face = font.typeface;
  // Negative: the character height, points to device units.
  out.height = static_cast<std::int16_t>(
      -std::clamp(font.point_size * device.resolution.y / 72 / scale, 1, kMaxCoordinate));
  if (font.style != kDefaultColour) {
    const std::uint32_t weight = font.style & kWeightMask;
    out.weight = static_cast<std::int16_t>(weight == 0 ? 400 : weight);
    out.italic = (font.style & kItalic) != 0;
    out.underline = (font.style & kUnderline) != 0;
    out.strike_out = (font.style & kStrikeOut) != 0;
  }
  return out;
}

// An image small enough for one bitmap record: every pixel taken from the
// nearest of the original.
images::Image Shrunk(const images::Image& image) {
  const std::int64_t pixels = static_cast<std::int64_t>(image.width) * image.height;
  if (pixels <= kMaxBitmapPixels) return image;
  double factor = 1.0;
  while (static_cast<std::int64_t>(image.width * factor) * static_cast<std::int64_t>(image.height * factor) >
         kMaxBitmapPixels) {
    factor *= 0.9;
  }
  images::Image out;
  out.width = std::max(1, static_cast<int>(image.width * factor));
  out.height = std::max(1, static_cast<int>(image.height * factor));
  out.rgba.resize(static_cast<std::size_t>(out.width) * out.height * 4);
  for (int y = 0; y < out.height; ++y) {
    for (int x = 0; x < out.width; ++x) {
      const auto from = image.pixel(static_cast<int>(static_cast<std::int64_t>(x) * image.width / out.width),
                                    static_cast<int>(static_cast<std::int64_t>(y) * image.height / out.height));
      std::copy(from.begin(), from.end(), out.rgba.begin() + (static_cast<std::size_t>(y) * out.width + x) * 4);
    }
  }
  return out;
}

}  // namespace

int MetafileScale(const PageDevice& device) {
  const int largest = std::max({device.width, device.height, 1});
  return (largest + kMaxCoordinate - 1) / kMaxCoordinate;
}

std::optional<std::vector<std::uint8_t>> EncodePage(std::span<const PagePiece> pieces, std::int32_t page_number,
                                                    const FontTable& fonts, const PageDevice& device) {
  const int scale = MetafileScale(device);
  auto u = [scale](std::int64_t v) { return static_cast<int>(v / scale); };
  images::PlaceableHeader header;
  header.right = static_cast<std::int16_t>(std::max(1, u(device.width)));
  header.bottom = static_cast<std::int16_t>(std::max(1, u(device.height)));
  header.units_per_inch = static_cast<std::uint16_t>(std::clamp(device.resolution.x / scale, 1, 65535));
  images::MetafileWriter w(header);
  w.SetMapMode(images::kMapModeAnisotropic);
  w.SetWindowOrigin(0, 0);
  w.SetWindowExtent(header.right, header.bottom);
  w.SetBkMode(images::kBackgroundTransparent);
  w.SetTextAlign(images::kTextAlignTopLeft);  // texts are placed by their top left corner
  w.SetTextColour(0);

  // A thin line: a hundred-and-fiftieth of an inch.
  const int pen = w.CreatePen({0, static_cast<std::int16_t>(std::max(1, device.resolution.y / 150 / scale)), 0});
  w.SelectObject(pen);
  std::map<int, int> font_slots;  // font table index -> metafile object
  int selected_font = -1;
  std::uint32_t colour = 0;

  auto select_font = [&](int font) {
    if (font == selected_font || font < 0 || static_cast<std::size_t>(font) >= fonts.fonts().size()) return;
    const definitions::FontDefinition& definition = fonts.fonts()[font];
    auto slot = font_slots.find(font);
    if (slot == font_slots.end()) {
      slot = font_slots.emplace(font, w.CreateFont(LogicalFontOf(definition, device, scale))).first;
    }
    w.SelectObject(slot->second);
    selected_font = font;
    const std::uint32_t wanted = definition.colour == kDefaultColour ? 0 : definition.colour & 0xFFFFFF;
    if (wanted != colour) {
      w.SetTextColour(wanted);
      colour = wanted;
    }
  };

  for (const PagePiece& piece : pieces) {
    if (piece.drawing == nullptr) continue;
    for (const DrawOp& op : piece.drawing->ops) {
      if (const auto* text = std::get_if<TextOp>(&op)) {
        select_font(text->font);
        w.TextOut(u(piece.x + text->x), u(piece.y + text->y), text->text);
      } else if (const auto* number = std::get_if<PageNumberOp>(&op)) {
        select_font(number->font);
        w.TextOut(u(piece.x + number->x), u(piece.y + number->y),
                  FormatValue(Value{std::int64_t{page_number}}, number->picture));
      } else if (const auto* line = std::get_if<LineOp>(&op)) {
        w.MoveTo(u(piece.x + line->x1), u(piece.y + line->y1));
        w.LineTo(u(piece.x + line->x2), u(piece.y + line->y2));
      } else if (const auto* image = std::get_if<ImageOp>(&op)) {
        const images::Image small = Shrunk(*image->image);
        images::record::StretchDib dib;
        dib.x = u(piece.x + image->x);
        dib.y = u(piece.y + image->y);
        dib.width = std::max(1, u(image->width));
        dib.height = std::max(1, u(image->height));
        dib.source_width = small.width;
        dib.source_height = small.height;
        dib.dib = images::EncodeDib(small);
        w.StretchDib(dib);
      }
    }
  }
  for (const auto& [font, slot] : font_slots) w.DeleteObject(slot);
  w.DeleteObject(pen);
  std::vector<std::uint8_t> bytes = w.Finish();
  if (w.error() != images::MetafileError::None) return std::nullopt;
  return bytes;
}

}  // namespace tavero::report
