// Positions and fonts of window definitions, in Qt terms.
#pragma once

#include <QFont>

#include <optional>

#include "ui/definitions/window_definition.h"

namespace tavero::ui::qt {

// Pixels per dialog unit of a font: a quarter of the average character width
// across, an eighth of the character height down.
struct DialogUnits {
  double x = 1.5;
  double y = 1.625;
};
DialogUnits DialogUnitsOf(const QFont& font);

// `fallback` with what `font` defines (typeface, points, bold) put over it.
QFont FontOf(const std::optional<definitions::FontDefinition>& font, const QFont& fallback);

}  // namespace tavero::ui::qt
