// Windows-1252 texts to Qt strings and back.
#include "ui/qt/windows1252.h"


namespace tavero::ui::qt {

namespace {

// Characters 80h-9Fh of Windows-1252 (0: unassigned, shown as itself).
constexpr char16_t kHighCharacters[32] = {
    0x20AC, 0x81,   0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x8D,   0x017D, 0x8F,   0x90,   0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x9D,   0x017E, 0x0178};

}  // namespace

QString FromWindows1252(std::string_view text) {
  QString out;
  out.reserve(static_cast<qsizetype>(text.size()));
  for (char ch : text) {
    const auto byte = static_cast<unsigned char>(ch);
    out.append(byte >= 0x80 && byte < 0xA0 ? QChar(kHighCharacters[byte - 0x80]) : QChar(byte));
  }
  return out;
}

std::string ToWindows1252(const QString& text) {
  std::string out;
  out.reserve(static_cast<std::size_t>(text.size()));
  for (QChar ch : text) {
    const char16_t u = ch.unicode();
    if (u < 0x80 || (u >= 0xA0 && u <= 0xFF)) {
      out.push_back(static_cast<char>(u));
      continue;
    }
    char byte = '?';
    for (int k = 0; k < 32; ++k) {
      if (kHighCharacters[k] == u) byte = static_cast<char>(0x80 + k);
    }
    out.push_back(byte);
  }
  return out;
}

}  // namespace tavero::ui::qt
