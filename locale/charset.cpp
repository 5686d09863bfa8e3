// Character sets: Windows-1252 (ANSI, the runtime's text), code page 437
// (OEM) and UTF-8 at the platform boundary.
#include <array>
#include <string>

#include "locale/locale.h"

namespace tavero {
namespace {

constexpr char32_t kUnassigned = 0xFFFD;

// Windows-1252 0x80..0x9F; 0xA0..0xFF are the Latin-1 code points.
constexpr char32_t kAnsiHigh[32] = {
    0x20AC, kUnassigned, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030,      0x0160, 0x2039, 0x0152, kUnassigned, 0x017D, kUnassigned,
    kUnassigned, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122,      0x0161, 0x203A, 0x0153, kUnassigned, 0x017E, 0x0178};

// Code page 437 0x80..0xFF; 0x00..0x7F are ASCII.
constexpr char32_t kOemHigh[128] = {
    0x00C7, 0x00FC, 0x00E9, 0x00E2, 0x00E4, 0x00E0, 0x00E5, 0x00E7,
    0x00EA, 0x00EB, 0x00E8, 0x00EF, 0x00EE, 0x00EC, 0x00C4, 0x00C5,
    0x00C9, 0x00E6, 0x00C6, 0x00F4, 0x00F6, 0x00F2, 0x00FB, 0x00F9,
    0x00FF, 0x00D6, 0x00DC, 0x00A2, 0x00A3, 0x00A5, 0x20A7, 0x0192,
    0x00E1, 0x00ED, 0x00F3, 0x00FA, 0x00F1, 0x00D1, 0x00AA, 0x00BA,
    0x00BF, 0x2310, 0x00AC, 0x00BD, 0x00BC, 0x00A1, 0x00AB, 0x00BB,
    0x2591, 0x2592, 0x2593, 0x2502, 0x2524, 0x2561, 0x2562, 0x2556,
    0x2555, 0x2563, 0x2551, 0x2557, 0x255D, 0x255C, 0x255B, 0x2510,
    0x2514, 0x2534, 0x252C, 0x251C, 0x2500, 0x253C, 0x255E, 0x255F,
    0x255A, 0x2554, 0x2569, 0x2566, 0x2560, 0x2550, 0x256C, 0x2567,
    0x2568, 0x2564, 0x2565, 0x2559, 0x2558, 0x2552, 0x2553, 0x256B,
    0x256A, 0x2518, 0x250C, 0x2588, 0x2584, 0x258C, 0x2590, 0x2580,
    0x03B1, 0x00DF, 0x0393, 0x03C0, 0x03A3, 0x03C3, 0x00B5, 0x03C4,
    0x03A6, 0x0398, 0x03A9, 0x03B4, 0x221E, 0x03C6, 0x03B5, 0x2229,
    0x2261, 0x00B1, 0x2265, 0x2264, 0x2320, 0x2321, 0x00F7, 0x2248,
    0x00B0, 0x2219, 0x00B7, 0x221A, 0x207F, 0x00B2, 0x25A0, 0x00A0};

char32_t OemToUnicode(uint8_t c) { return c < 0x80 ? c : kOemHigh[c - 0x80]; }

// The plain form of a code point that the other set lacks: accented letters
// lose their accent, typographic marks become their ASCII look-alikes.
char32_t PlainForm(char32_t u) {
  struct Fold {
    char32_t from;
    char to;
  };
  static constexpr Fold kFolds[] = {
      {0x00C0, 'A'}, {0x00C1, 'A'}, {0x00C2, 'A'}, {0x00C3, 'A'}, {0x00C8, 'E'}, {0x00CA, 'E'},
      {0x00CB, 'E'}, {0x00CC, 'I'}, {0x00CD, 'I'}, {0x00CE, 'I'}, {0x00CF, 'I'}, {0x00D0, 'D'},
      {0x00D2, 'O'}, {0x00D3, 'O'}, {0x00D4, 'O'}, {0x00D5, 'O'}, {0x00D7, 'x'}, {0x00D8, 'O'},
      {0x00D9, 'U'}, {0x00DA, 'U'}, {0x00DB, 'U'}, {0x00DD, 'Y'}, {0x00E3, 'a'}, {0x00F0, 'd'},
      {0x00F5, 'o'}, {0x00F8, 'o'}, {0x00FD, 'y'}, {0x0160, 'S'}, {0x0161, 's'}, {0x017D, 'Z'},
      {0x017E, 'z'}, {0x0152, 'O'}, {0x0153, 'o'}, {0x0178, 'Y'}, {0x201A, ','}, {0x201E, '"'},
      {0x2026, '.'}, {0x02C6, '^'}, {0x2039, '<'}, {0x203A, '>'}, {0x2018, '\''}, {0x2019, '\''},
      {0x201C, '"'}, {0x201D, '"'}, {0x2013, '-'}, {0x2014, '-'}, {0x02DC, '~'}, {0x00A6, '|'},
      {0x00A9, 'c'}, {0x00AE, 'r'}, {0x00AF, '-'}, {0x00B4, '\''}, {0x00B8, ','}, {0x00B9, '1'},
      {0x00B3, '3'}, {0x2502, '|'}, {0x2500, '-'}, {0x2551, '|'}, {0x2550, '='}, {0x03B1, 'a'},
      {0x03B4, 'd'}, {0x03B5, 'e'}, {0x03C0, 'p'}, {0x03C3, 's'}, {0x03C4, 't'}, {0x03A3, 'S'},
      {0x03A6, 'F'}, {0x0393, 'G'}, {0x0398, 'T'}, {0x03A9, 'O'}};
  for (const Fold& fold : kFolds) {
    if (fold.from == u) return static_cast<char32_t>(fold.to);
  }
  return U'?';
}

// A 256-entry byte map from one set to the other, built from their code
// points.
using ByteMap = std::array<uint8_t, 256>;

ByteMap BuildMap(char32_t (*from)(uint8_t), char32_t (*to)(uint8_t)) {
  ByteMap map{};
  for (int c = 0; c < 256; ++c) {
    const char32_t u = from(static_cast<uint8_t>(c));
    int found = -1;
    for (int d = 0; d < 256 && found < 0; ++d) {
      if (to(static_cast<uint8_t>(d)) == u) found = d;
    }
    if (found < 0) {
      const char32_t plain = PlainForm(u);
      for (int d = 0; d < 256 && found < 0; ++d) {
        if (to(static_cast<uint8_t>(d)) == plain) found = d;
      }
    }
    map[c] = static_cast<uint8_t>(found < 0 ? '?' : found);
  }
  return map;
}

char32_t AnsiCodePoint(uint8_t c) { return AnsiToUnicode(static_cast<char>(c)); }

const ByteMap& AnsiToOemMap() {
  static const ByteMap map = BuildMap(AnsiCodePoint, OemToUnicode);
  return map;
}

const ByteMap& OemToAnsiMap() {
  static const ByteMap map = BuildMap(OemToUnicode, AnsiCodePoint);
  return map;
}

std::string MapText(std::string_view text, const ByteMap& map) {
  std::string out(text);
  for (char& c : out) c = static_cast<char>(map[static_cast<uint8_t>(c)]);
  return out;
}

void AppendUtf8(std::string& out, char32_t u) {
  if (u < 0x80) {
    out += static_cast<char>(u);
  } else if (u < 0x800) {
    out += static_cast<char>(0xC0 | (u >> 6));
    out += static_cast<char>(0x80 | (u & 0x3F));
  } else {
    out += static_cast<char>(0xE0 | (u >> 12));
    out += static_cast<char>(0x80 | ((u >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (u & 0x3F));
  }
}

char UnicodeToAnsi(char32_t u) {
  if (u < 0x80 || (u >= 0xA0 && u <= 0xFF)) return static_cast<char>(u);
  for (int i = 0; i < 32; ++i) {
    if (kAnsiHigh[i] == u && u != kUnassigned) return static_cast<char>(0x80 + i);
  }
  return '?';
}

}  // namespace

char32_t AnsiToUnicode(char c) {
  const auto b = static_cast<uint8_t>(c);
  if (b >= 0x80 && b < 0xA0) return kAnsiHigh[b - 0x80];
  return b;
}

char AnsiToOem(char c) { return static_cast<char>(AnsiToOemMap()[static_cast<uint8_t>(c)]); }
char OemToAnsi(char c) { return static_cast<char>(OemToAnsiMap()[static_cast<uint8_t>(c)]); }
std::string AnsiToOem(std::string_view text) { return MapText(text, AnsiToOemMap()); }
std::string OemToAnsi(std::string_view text) { return MapText(text, OemToAnsiMap()); }

std::string AnsiToUtf8(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) AppendUtf8(out, AnsiToUnicode(c));
  return out;
}

// UTF-8 is decoded strictly: a bad lead byte, a missing continuation, an
// overlong form or a surrogate gives one '?' and decoding resumes at the next
// byte that could start a character.
std::string Utf8ToAnsi(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  std::size_t i = 0;
  while (i < text.size()) {
    const auto lead = static_cast<uint8_t>(text[i]);
    if (lead < 0x80) {
      out += static_cast<char>(lead);
      ++i;
      continue;
    }
    int length = 0;
    char32_t u = 0;
    if ((lead & 0xE0) == 0xC0) {
      length = 2;
      u = lead & 0x1F;
    } else if ((lead & 0xF0) == 0xE0) {
      length = 3;
      u = lead & 0x0F;
    } else if ((lead & 0xF8) == 0xF0) {
      length = 4;
      u = lead & 0x07;
    }
    int taken = 1;
    while (length > 0 && taken < length && i + taken < text.size() &&
           (static_cast<uint8_t>(text[i + taken]) & 0xC0) == 0x80) {
      u = (u << 6) | (static_cast<uint8_t>(text[i + taken]) & 0x3F);
      ++taken;
    }
    static constexpr char32_t kSmallest[5] = {0, 0, 0x80, 0x800, 0x10000};
    const bool good = length > 0 && taken == length && u >= kSmallest[length] && u <= 0x10FFFF &&
                      !(u >= 0xD800 && u <= 0xDFFF);
    out += good ? UnicodeToAnsi(u) : '?';
    i += taken;
  }
  return out;
}

}  // namespace tavero
