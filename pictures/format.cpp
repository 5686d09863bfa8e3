// FORMAT: values to text through a CompiledPicture.
#include <algorithm>
#include <cstdlib>
#include <limits>

#include "pictures/digit_string.h"
#include "locale/locale.h"
#include "pictures/picture.h"

namespace tavero::pictures {
namespace {

using K = TokenKind;

bool IsDigitChar(char c) { return (c >= '0' && c <= '9') || c == '#'; }

// Rounds `d` to keep the digits above 10^-fraction: the first digit that
// does not fit decides, '5'..'9' rounding the magnitude up (half away from
// zero); a carry out of the first digit prepends '1'.
void RoundDigits(DigitString& d, int fraction) {
  const int keep = d.exponent + fraction;
  if (keep >= d.count) return;
  if (keep < 0) {
    d.count = 0;
  } else {
    const bool up = d.digits[static_cast<std::size_t>(keep)] >= '5';
    d.count = keep;
    if (up) {
      int i = keep - 1;
      while (i >= 0 && d.digits[static_cast<std::size_t>(i)] == '9') d.digits[static_cast<std::size_t>(i--)] = '0';
      if (i >= 0) {
        ++d.digits[static_cast<std::size_t>(i)];
      } else {
        // Every kept digit was 9 (or none was kept): the value becomes 1 followed by zeros.
        d.digits[0] = '1';
        d.count = 1;
        ++d.exponent;
      }
    }
  }
  while (d.count > 0 && d.digits[static_cast<std::size_t>(d.count - 1)] == '0') --d.count;
  if (d.count == 0) {
    d.exponent = 0;
    d.negative = false;
  }
}

std::string FormatNumber(const CompiledPicture& pic, DigitString d) {
  const int width = pic.width();
  // 1. Analyse the picture.
  int integer_positions = 0, fraction_positions = 0, separators = 0;
  bool blank_fill = false, after_point = false, in_exponent = false;
  for (int i = 0; i < width; ++i) {
    const PictureToken t = pic.token(i);
    switch (t.kind) {
      case K::DecimalPoint:
        after_point = true;
        break;
      case K::ImpliedDecimal:
        ++integer_positions;
        after_point = true;
        break;
      case K::ZeroDigit:
      case K::BlankDigit:
        if (t.kind == K::BlankDigit) blank_fill = true;
        if (in_exponent) break;
        ++(after_point ? fraction_positions : integer_positions);
        break;
      case K::GroupSeparator:
        if (!after_point) ++separators;
        break;
      case K::ExponentSign:
        in_exponent = true;
        break;
      default:
        break;
    }
  }
  const bool floating = blank_fill && pic.type() != PictureType::Pattern;
  // 2. Blank when zero.
  if (pic.blank_when_zero() && d.zero() && !d.overflow) return std::string(static_cast<std::size_t>(width), ' ');
  // 3. Scientific: the mantissa fills the integer positions.
  int exponent10 = 0;
  const bool scientific = pic.type() == PictureType::Scientific;
  if (scientific && !d.zero()) {
    exponent10 = d.exponent - integer_positions;
    d.exponent = integer_positions;
  }
  // 5. Rounding (before the overflow test, which it can change).
  RoundDigits(d, fraction_positions);
  if (scientific && d.exponent > integer_positions) {
    // A carry added a digit: 9.99 becomes 1.00 with the exponent raised.
    exponent10 += d.exponent - integer_positions;
    d.exponent = integer_positions;
  }
  // A pattern without digit positions shows nothing of a number of 1 or more.
  if (pic.type() == PictureType::Pattern && integer_positions == 0 && d.exponent >= 1) {
    return std::string(static_cast<std::size_t>(width), ' ');
  }
  // 4. Overflow.
  const bool overflow = d.overflow || d.exponent > integer_positions + separators;
  const int converted = overflow ? 0 : std::max(0, d.exponent - integer_positions);
  const int slots = integer_positions + converted;

  std::string out(static_cast<std::size_t>(width), ' ');
  char prefix[260];
  int prefix_length = 0;
  bool integer_started = false;  // the first digit (or the units) has printed
  int slot = 0, separator_index = 0, fraction_index = d.exponent;
  after_point = false;
  in_exponent = false;
  char exponent_digits[3] = {'0', '0', '0'};
  int exponent_index = 0;
  auto start_integer = [&](int i) {
    if (integer_started) return;
    integer_started = true;
    for (int k = 0; k < prefix_length && i - 1 - k >= 0; ++k) {
      out[static_cast<std::size_t>(i - 1 - k)] = prefix[prefix_length - 1 - k];
    }
  };
  auto integer_digit = [&](int i, PictureToken t) {
    const int power = slots - 1 - slot++;
    char ch;
    if (overflow) {
      ch = '#';
    } else if (power >= d.exponent) {
      ch = t.character;  // no digit here: the fill
      if (power != 0) return ch;
    } else {
      const int index = d.exponent - 1 - power;
      ch = index < d.count ? d.digits[static_cast<std::size_t>(index)] : '0';
      if (ch == '0' && t.kind == K::BlankDigit && i > 0 && !IsDigitChar(out[static_cast<std::size_t>(i - 1)])) {
        const K before = pic.token(i - 1).kind;
        if (before != K::GroupSeparator && before != K::DecimalPoint) ch = ' ';
      }
    }
    if (floating && !overflow) start_integer(i);
    return ch;
  };

  for (int i = 0; i < width; ++i) {
    const PictureToken t = pic.token(i);
    char& o = out[static_cast<std::size_t>(i)];
    switch (t.kind) {
      case K::Sign: {
        const char ch = d.negative ? t.character : ' ';
        if (floating && !overflow && !integer_started && !after_point) {
          prefix[prefix_length++] = ch;
        } else {
          o = ch;
        }
        break;
      }
      case K::Currency:
        if (floating && !overflow && !integer_started && !after_point) {
          prefix[prefix_length++] = t.character;
        } else {
          o = t.character;
        }
        break;
      case K::GroupSeparator:
        if (after_point) {
          o = t.character;
        } else if (separator_index++ < converted) {
          o = integer_digit(i, t);
        } else if (overflow) {
          o = '#';
        } else if (i > 0 && IsDigitChar(out[static_cast<std::size_t>(i - 1)])) {
          o = t.character;
        } else if (i > 0 && out[static_cast<std::size_t>(i - 1)] == '*') {
          o = '*';
        }
        break;
      case K::DecimalPoint:
        after_point = true;
        o = t.character;
        break;
      case K::ImpliedDecimal:
        o = integer_digit(i, t);
        after_point = true;
        break;
      case K::ZeroDigit:
      case K::BlankDigit:
        if (in_exponent) {
          o = exponent_index < 3 ? exponent_digits[exponent_index++] : '0';
        } else if (after_point) {
          const int index = fraction_index++;
          o = overflow ? '#' : (index >= 0 && index < d.count ? d.digits[static_cast<std::size_t>(index)] : '0');
        } else {
          o = integer_digit(i, t);
        }
        break;
      case K::ExponentSign: {
        in_exponent = true;
        o = exponent10 < 0 ? '-' : '+';
        int magnitude = std::min(999, std::abs(exponent10));
        for (int k = 2; k >= 0; --k, magnitude /= 10) exponent_digits[k] = static_cast<char>('0' + magnitude % 10);
        break;
      }
      default:
        o = t.character;
        break;
    }
  }
  // A floating sign or currency that met no digit stays where it stood.
  if (floating && !integer_started && prefix_length > 0) {
    int k = 0;
    for (int i = 0; i < width && k < prefix_length; ++i) {
      const K kind = pic.token(i).kind;
      if (kind == K::Sign || kind == K::Currency) out[static_cast<std::size_t>(i)] = prefix[k++];
    }
  }
  return out;
}

// Writes `value` right-aligned into the run of tokens [begin, begin + n); a
// zero in a leading position prints the token's own character.
void PrintRun(const CompiledPicture& pic, int begin, int n, long value, std::string& out) {
  for (int k = n - 1; k >= 0; --k) {
    const int digit = static_cast<int>(value % 10);
    value /= 10;
    const bool leading = k < n - 1 && digit == 0 && value == 0;
    out += leading ? pic.token(begin + k).character : static_cast<char>('0' + digit);
  }
  std::reverse(out.end() - n, out.end());
}

std::string FormatDate(const CompiledPicture& pic, std::int64_t day_number) {
  const int width = pic.width();
  const CalendarDate date = day_number >= std::numeric_limits<std::int32_t>::min() &&
                                    day_number <= std::numeric_limits<std::int32_t>::max()
                                ? tavero::DateFromDayNumber(static_cast<std::int32_t>(day_number))
                                : CalendarDate{};
  if (pic.blank_when_zero() && !date.valid) return std::string(static_cast<std::size_t>(width), ' ');
  const bool upper = pic.number() != 4 && pic.number() != 18;
  std::string out;
  out.reserve(static_cast<std::size_t>(width));
  for (int i = 0; i < width;) {
    const PictureToken t = pic.token(i);
    const int n = pic.RunLength(i);
    switch (t.kind) {
      case K::MonthDigit:
      case K::DayDigit:
      case K::YearDigit: {
        if (!date.valid) {
          out.append(static_cast<std::size_t>(n), ' ');
        } else {
          long value = t.kind == K::MonthDigit ? date.month : t.kind == K::DayDigit ? date.day : date.year;
          if (t.kind == K::YearDigit && n < 4) value %= n == 2 ? 100 : n == 1 ? 10 : 1000;
          PrintRun(pic, i, n, value, out);
        }
        i += n;
        break;
      }
      case K::MonthLetter: {
        if (!date.valid) {
          out.append(static_cast<std::size_t>(n), ' ');
        } else {
          // Letters beyond the end of the name print nothing.
          const std::string_view name = Locale().long_month_names[static_cast<std::size_t>(date.month - 1)];
          for (int k = 0; k < n && k < static_cast<int>(name.size()); ++k) {
            out += upper ? tavero::ToUpper(name[static_cast<std::size_t>(k)]) : name[static_cast<std::size_t>(k)];
          }
        }
        i += n;
        break;
      }
      default:
        out += t.character;
        ++i;
        break;
    }
  }
  out.resize(static_cast<std::size_t>(width), ' ');
  return out;
}

std::string FormatTime(const CompiledPicture& pic, std::int64_t time_value) {
  const int width = pic.width();
  int hours = 0, minutes = 0, seconds = 0;
  if (time_value >= 1 && time_value <= 8640000) {
    const int t = static_cast<int>(time_value - 1);
    hours = t / 360000;
    minutes = t % 360000 / 6000;
    seconds = t % 6000 / 100;
  }
  if (pic.blank_when_zero() && hours == 0 && minutes == 0 && seconds == 0) {
    return std::string(static_cast<std::size_t>(width), ' ');
  }
  bool twelve_hour = false;
  for (int i = 0; i < width; ++i) twelve_hour |= pic.token(i).kind == K::AmPm;
  const int shown_hours = !twelve_hour ? hours : hours == 0 ? 12 : hours > 12 ? hours - 12 : hours;
  const auto& texts = pic.number() >= 7 ? Locale().locale_am_pm : Locale().am_pm;
  const std::string_view am_pm = texts[hours >= 12 ? 1 : 0];
  std::string out;
  out.reserve(static_cast<std::size_t>(width));
  for (int i = 0; i < width;) {
    const PictureToken t = pic.token(i);
    switch (t.kind) {
      case K::HourDigit:
      case K::MinuteDigit:
      case K::SecondDigit: {
        const int n = pic.RunLength(i);
        PrintRun(pic, i, n, t.kind == K::HourDigit ? shown_hours : t.kind == K::MinuteDigit ? minutes : seconds, out);
        i += n;
        break;
      }
      case K::AmPm:
        out += am_pm.empty() ? ' ' : am_pm[0];
        if (i + 1 < width && pic.token(i + 1).kind == K::Literal) {
          out += am_pm.size() > 1 ? am_pm[1] : ' ';
          ++i;
        }
        ++i;
        break;
      default:
        out += t.character;
        ++i;
        break;
    }
  }
  out.resize(static_cast<std::size_t>(width), ' ');
  return out;
}

std::string FormatString(const CompiledPicture& pic, std::string_view value) {
  const auto width = static_cast<std::size_t>(pic.width());
  if (pic.type() == PictureType::String) {
    std::string out(value.substr(0, width));
    out.resize(width, ' ');
    return out;
  }
  std::string out(width, ' ');
  std::size_t next = 0;
  for (std::size_t i = 0; i < width; ++i) {
    const PictureToken t = pic.token(static_cast<int>(i));
    if (t.kind == K::Literal) {
      out[i] = t.character;
      continue;
    }
    if (next >= value.size()) continue;
    char ch = value[next++];
    if (t.kind == K::KeyUpper) ch = tavero::ToUpper(ch);
    if (t.kind == K::KeyLower) ch = tavero::ToLower(ch);
    out[i] = ch;
  }
  return out;
}

bool IsStringPicture(const CompiledPicture& pic) {
  return pic.type() == PictureType::String || pic.type() == PictureType::KeyIn;
}

std::string FormatLongWith(const CompiledPicture& pic, std::int64_t value) {
  switch (pic.type()) {
    case PictureType::Date:
      return FormatDate(pic, value);
    case PictureType::Time:
      return FormatTime(pic, value);
    case PictureType::String:
    case PictureType::KeyIn:
      return FormatString(pic, std::to_string(value));
    default:
      return FormatNumber(pic, DigitString::FromLong(value));
  }
}

// A real as a date or time: its integer part, clamped to the long range.
std::int64_t RealToLong(double value) {
  if (!(value == value)) return 0;
  if (value >= 9.2e18) return std::numeric_limits<std::int64_t>::max();
  if (value <= -9.2e18) return std::numeric_limits<std::int64_t>::min();
  return static_cast<std::int64_t>(value);
}

std::string FormatRealWith(const CompiledPicture& pic, double value) {
  switch (pic.type()) {
    case PictureType::Date:
    case PictureType::Time:
      return FormatLongWith(pic, RealToLong(value));
    case PictureType::String:
    case PictureType::KeyIn:
      return FormatString(pic, RealText(value));
    default:
      return FormatNumber(pic, DigitString::FromReal(value));
  }
}

}  // namespace

std::string FORMAT(std::int64_t value, const CompiledPicture& pic) {
  return pic.valid() ? FormatLongWith(pic, value) : std::string();
}

std::string FORMAT(double value, const CompiledPicture& pic) {
  return pic.valid() ? FormatRealWith(pic, value) : std::string();
}

std::string FORMAT(std::string_view value, const CompiledPicture& pic) {
  if (!pic.valid()) return {};
  if (IsStringPicture(pic)) return FormatString(pic, value);
  // Any other picture takes the text as a real number.
  const std::string text(value.substr(0, 255));
  return FormatRealWith(pic, std::strtod(text.c_str(), nullptr));
}

std::string FORMAT(const decimal::DecimalAccumulator& value, const CompiledPicture& pic) {
  if (!pic.valid()) return {};
  switch (pic.type()) {
    case PictureType::Date:
    case PictureType::Time:
      return FormatLongWith(pic, value.ToInt64());
    case PictureType::String:
    case PictureType::KeyIn:
      return FormatString(pic, value.ToText());
    default:
      return FormatNumber(pic, DigitString::FromDecimal(value));
  }
}

namespace {
CompiledPicture Compiled(std::string_view picture) {
  CompiledPicture pic;
  CompilePicture(picture, pic);
  return pic;
}
}  // namespace

std::string FORMAT(std::int64_t value, std::string_view picture) { return FORMAT(value, Compiled(picture)); }
std::string FORMAT(double value, std::string_view picture) { return FORMAT(value, Compiled(picture)); }
std::string FORMAT(std::string_view value, std::string_view picture) { return FORMAT(value, Compiled(picture)); }
std::string FORMAT(const decimal::DecimalAccumulator& value, std::string_view picture) {
  return FORMAT(value, Compiled(picture));
}

}  // namespace tavero::pictures
