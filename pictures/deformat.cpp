// DEFORMAT: typed text back to a plain value text.
#include <algorithm>

#include "locale/locale.h"
#include "pictures/picture.h"

namespace tavero::pictures {
namespace {

using K = TokenKind;

constexpr std::size_t kMaxResult = 255;

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// No picture or an @S picture: digits and '.' are taken over, 'E' or 'e'
// once, '+' only right after it, '-' at the start or right after it.
std::string FreeFormNumber(std::string_view text) {
  std::string out;
  bool exponent = false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    const bool after_exponent = !out.empty() && (out.back() == 'e' || out.back() == 'E');
    if (IsDigit(c) || c == '.') {
      out += c;
    } else if ((c == 'E' || c == 'e') && !exponent) {
      exponent = true;
      out += c;
    } else if (c == '+' && after_exponent) {
      out += c;
    } else if (c == '-' && (out.empty() || after_exponent)) {
      out += c;
    }
  }
  return out;
}

std::string DeformatNumber(const CompiledPicture& pic, std::string_view text) {
  std::string out;
  bool negative = false;
  const int n = std::min(pic.width(), static_cast<int>(text.size()));
  for (int i = 0; i < n; ++i) {
    const PictureToken t = pic.token(i);
    char c = text[static_cast<std::size_t>(i)];
    switch (t.kind) {
      case K::BlankDigit:
      case K::ZeroDigit:
      case K::GroupSeparator:
      case K::Sign:
        if (c == ' ' && t.kind == K::BlankDigit) c = '0';
        if (c == '-' || c == '(') {
          negative = true;
        } else if (c == '+') {
          negative = false;
        } else if (IsDigit(c)) {
          out += c;
        }
        break;
      case K::DecimalPoint:
        out += '.';
        break;
      case K::ImpliedDecimal:
        out += IsDigit(c) ? c : '0';
        out += '.';
        break;
      case K::ExponentSign:
        out += 'e';
        out += c == '-' ? '-' : '+';
        break;
      default:  // literals, currency, separators
        break;
    }
  }
  return negative ? "-" + out : out;
}

std::string DeformatKeyIn(const CompiledPicture& pic, std::string_view text) {
  std::string out;
  const int n = std::min(pic.width(), static_cast<int>(text.size()));
  for (int i = 0; i < n; ++i) {
    if (pic.token(i).kind != K::Literal) out += text[static_cast<std::size_t>(i)];
  }
  return out;
}

// Reads a run of up to n digit positions at `pos`: leading blanks count as
// positions, and a non-digit ends the run early (the input then realigns so
// the next separator still matches). Returns the value; `read` tells whether
// any digit was seen.
int ReadRun(std::string_view text, std::size_t& pos, int n, bool& read) {
  int value = 0, taken = 0;
  read = false;
  while (taken < n && pos < text.size()) {
    const char c = text[pos];
    if (IsDigit(c)) {
      value = value * 10 + (c - '0');
      read = true;
    } else if (!(c == ' ' && !read)) {
      break;
    }
    ++pos;
    ++taken;
  }
  return value;
}

std::string DeformatDate(const CompiledPicture& pic, std::string_view text) {
  int month = 0, day = 0, year = 0;
  bool month_read = false, year_read = false, name_unknown = false;
  std::size_t pos = 0;
  for (int i = 0; i < pic.width();) {
    const PictureToken t = pic.token(i);
    const int n = pic.RunLength(i);
    switch (t.kind) {
      case K::MonthDigit:
      case K::DayDigit:
      case K::YearDigit: {
        bool read = false;
        const int value = ReadRun(text, pos, n, read);
        if (t.kind == K::MonthDigit) month = value, month_read |= read;
        if (t.kind == K::DayDigit) day = value;
        if (t.kind == K::YearDigit) year = value, year_read |= read;
        i += n;
        break;
      }
      case K::MonthLetter: {
        // The first three letters against the short month names.
        const std::string_view typed = text.substr(std::min(pos, text.size()), 3);
        month = 13;
        for (int m = 1; m <= 12; ++m) {
          const std::string_view name = Locale().short_month_names[static_cast<std::size_t>(m - 1)];
          if (typed.size() == name.size() && tavero::CompareNoCase(typed, name, name.size()) == 0) {
            month = m;
            break;
          }
        }
        name_unknown = month == 13;
        month_read = true;
        pos += typed.size();
        while (pos < text.size() && tavero::IsLetter(text[pos])) ++pos;  // rest of a long name
        i += n;
        break;
      }
      default:
        ++pos;
        ++i;
        break;
    }
  }
  const int number = pic.number();
  if (number >= 13 && number <= 16 && month_read && year_read) day = 1;
  if ((month == 0 && day == 0 && year == 0) || name_unknown) return "0";
  return std::to_string(tavero::DATE(month, day, year));
}

std::string DeformatTime(const CompiledPicture& pic, std::string_view text) {
  int hours = 0, minutes = 0, seconds = 0;
  bool midnight = false;
  std::size_t pos = 0;
  const bool locale_texts = pic.number() >= 7;
  const auto& texts = locale_texts ? Locale().locale_am_pm : Locale().am_pm;
  const std::string_view am = texts[0], pm = texts[1];
  for (int i = 0; i < pic.width();) {
    const PictureToken t = pic.token(i);
    switch (t.kind) {
      case K::HourDigit:
      case K::MinuteDigit:
      case K::SecondDigit: {
        const int n = pic.RunLength(i);
        bool read = false;
        const int value = ReadRun(text, pos, n, read);
        (t.kind == K::HourDigit ? hours : t.kind == K::MinuteDigit ? minutes : seconds) = value;
        i += n;
        break;
      }
      case K::AmPm: {
        if (pos < text.size()) {
          const std::string_view typed = text.substr(pos, 1);
          if (!pm.empty() && tavero::CompareNoCase(typed, pm, 1) == 0) {
            if (hours != 12) hours += 12;
          } else if (!am.empty() && tavero::CompareNoCase(typed, am, 1) == 0 && hours == 12) {
            hours = 0;
            midnight = true;
          }
        }
        ++pos;
        ++i;
        break;
      }
      default:
        ++pos;
        ++i;
        break;
    }
  }
  if (hours >= 24 || minutes >= 60 || seconds >= 60) return "-1";
  if (hours == 0 && minutes == 0 && seconds == 0 && !midnight) return "0";
  return std::to_string(hours * 360000 + minutes * 6000 + seconds * 100 + 1);
}

}  // namespace

std::string DEFORMAT(std::string_view text, std::string_view picture) {
  std::string out;
  if (picture.empty()) {
    out = FreeFormNumber(text);
  } else {
    CompiledPicture pic;
    if (CompilePicture(picture, pic) == 0) return {};
    switch (pic.type()) {
      case PictureType::String:
        out = FreeFormNumber(text);
        break;
      case PictureType::Date:
        out = DeformatDate(pic, text);
        break;
      case PictureType::Time:
        out = DeformatTime(pic, text);
        break;
      case PictureType::KeyIn:
        out = DeformatKeyIn(pic, text);
        break;
      default:
        out = DeformatNumber(pic, text);
        break;
    }
  }
  if (out.size() > kMaxResult) out.resize(kMaxResult);
  return out;
}

}  // namespace tavero::pictures
