#include "report/band_renderer.h"

#include <algorithm>

namespace tavero::report {

using definitions::ControlDefinition;
using definitions::ControlKind;
using definitions::FontDefinition;

int FontTable::Index(const FontDefinition& font) {
  const auto found = std::find(fonts_.begin(), fonts_.end(), font);
  if (found != fonts_.end()) return static_cast<int>(found - fonts_.begin());
  fonts_.push_back(font);
  return static_cast<int>(fonts_.size()) - 1;
}

ImageCache::ImageCache(std::filesystem::path program_directory)
    : program_directory_(std::move(program_directory)) {}

std::shared_ptr<const images::Image> ImageCache::Get(std::string_view name) {
  if (const auto found = loaded_.find(name); found != loaded_.end()) return found->second;
  std::shared_ptr<const images::Image> image;
  const std::optional<std::filesystem::path> path =
      program_directory_.empty() ? images::FindImageFile(name) : images::FindImageFile(name, program_directory_);
  if (path) {
    images::DecodeResult decoded = images::LoadImageFile(*path);
    if (decoded.ok() && !decoded.image.empty()) image = std::make_shared<const images::Image>(std::move(decoded.image));
  }
  loaded_.emplace(std::string(name), image);
  return image;
}

FontDefinition ReportFont(const definitions::EntryDefinition& entry) {
  if (entry.font && !entry.font->typeface.empty() && entry.font->point_size > 0) return *entry.font;
  FontDefinition font;
  font.typeface = "Arial";
  font.point_size = 10;
  return font;
}

Drawing RenderBand(const Band& band, std::span<const Value> values, RenderContext& context) {
  const Resolution& r = context.resolution;
  Drawing drawing;
  for (std::size_t k = 0; k < band.controls.size(); ++k) {
    const ControlDefinition& c = band.controls[k];
    if (c.has(definitions::control_attribute::kHidden)) continue;
    const int x = r.X(c.position.x);
    const int y = r.Y(c.position.y);
    auto font = [&] {
      FontDefinition f = c.font && !c.font->typeface.empty() && c.font->point_size > 0 ? *c.font : context.default_font;
      return context.fonts->Index(f);
    };
    switch (c.kind) {
      case ControlKind::Field: {
        if (c.has(definitions::control_attribute::kPageNumber)) {
          drawing.ops.push_back(PageNumberOp{x, y, font(), c.picture});
          break;
        }
        const int v = band.variables[k];
        if (v < 0 || static_cast<std::size_t>(v) >= values.size()) break;
        drawing.ops.push_back(TextOp{x, y, font(), FormatValue(values[v], band.pictures[k])});
        break;
      }
      case ControlKind::String:
      case ControlKind::Prompt:
        if (!c.text.empty()) drawing.ops.push_back(TextOp{x, y, font(), c.text});
        break;
      case ControlKind::Line:
        drawing.ops.push_back(LineOp{x, y, r.X(c.position.x + c.position.width), r.Y(c.position.y + c.position.height)});
        break;
      case ControlKind::Box: {
        const int x2 = r.X(c.position.x + c.position.width);
        const int y2 = r.Y(c.position.y + c.position.height);
        drawing.ops.push_back(LineOp{x, y, x2, y});
        drawing.ops.push_back(LineOp{x2, y, x2, y2});
        drawing.ops.push_back(LineOp{x2, y2, x, y2});
        drawing.ops.push_back(LineOp{x, y2, x, y});
        break;
      }
      case ControlKind::Image: {
        if (context.images == nullptr) break;
        std::shared_ptr<const images::Image> image = context.images->Get(c.text);
        if (!image) break;
        // No size given: the picture's own size at 96 pixels per inch.
        const int width = c.position.width > 0 ? r.X(c.position.width) : image->width * r.x / 96;
        const int height = c.position.height > 0 ? r.Y(c.position.height) : image->height * r.y / 96;
        if (width > 0 && height > 0) drawing.ops.push_back(ImageOp{x, y, width, height, std::move(image)});
        break;
      }
      default:
        break;  // other kinds draw nothing on a page
    }
  }
  return drawing;
}

}  // namespace tavero::report
