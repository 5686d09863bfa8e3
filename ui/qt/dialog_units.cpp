// Dialog units and fonts of a window definition, in Qt terms.
#include "ui/qt/dialog_units.h"

#include <QFontMetricsF>

#include "ui/qt/windows1252.h"

namespace tavero::ui::qt {

DialogUnits DialogUnitsOf(const QFont& font) {
  const QFontMetricsF metrics(font);
  const double average =
      metrics.horizontalAdvance(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz")) / 52.0;
  return DialogUnits{average / 4.0, metrics.height() / 8.0};
}

QFont FontOf(const std::optional<definitions::FontDefinition>& font, const QFont& fallback) {
  QFont f = fallback;
  if (!font) return f;
  if (!font->typeface.empty()) f.setFamily(FromWindows1252(font->typeface));
  if (font->point_size > 0) f.setPointSize(font->point_size);
  if (font->style != 0xFFFFFFFF) {
    f.setBold((font->style & 0xFFF) >= 700);
  }
  return f;
}

}  // namespace tavero::ui::qt
