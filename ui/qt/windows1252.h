// Windows-1252 text to Qt and back: the only place texts change encoding.
#pragma once

#include <QString>

#include <string>
#include <string_view>

namespace tavero::ui::qt {

QString FromWindows1252(std::string_view text);
// Characters Windows-1252 cannot hold become '?'.
std::string ToWindows1252(const QString& text);

}  // namespace tavero::ui::qt
