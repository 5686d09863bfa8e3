// Rendering a band: each control of the band becomes drawing operations,
// fields with the values given (the values of the moment of PRINT).
#pragma once

#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "report/drawing.h"
#include "report/report_bands.h"
#include "report/report_value.h"

namespace tavero::report {

// The fonts a report draws with; operations name them by index.
class FontTable {
 public:
  int Index(const definitions::FontDefinition& font);
  const std::vector<definitions::FontDefinition>& fonts() const { return fonts_; }

 private:
  std::vector<definitions::FontDefinition> fonts_;
};

// Pictures named by image controls, decoded once per report. A picture that
// cannot be found or decoded draws nothing.
class ImageCache {
 public:
  explicit ImageCache(std::filesystem::path program_directory = {});
  std::shared_ptr<const images::Image> Get(std::string_view name);

 private:
  std::filesystem::path program_directory_;
  std::map<std::string, std::shared_ptr<const images::Image>, std::less<>> loaded_;
};

struct RenderContext {
  Resolution resolution;
  FontTable* fonts = nullptr;
  ImageCache* images = nullptr;
  definitions::FontDefinition default_font;  // the entry's font, else Arial 10
};

// The report's default font: the entry's, else "Arial" at 10 points.
definitions::FontDefinition ReportFont(const definitions::EntryDefinition& entry);

// Draws `band`'s controls. `values` holds every variable of the report as
// read at PRINT (a field whose variable is missing shows nothing).
Drawing RenderBand(const Band& band, std::span<const Value> values, RenderContext& context);

}  // namespace tavero::report
