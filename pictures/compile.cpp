// CompilePicture: picture text to a CompiledPicture.
//
//   picture  -> ['@'] body ['B' | 'b']
//   body     -> 'S' width blanks*
//            |  'N' numeric | 'E' scientific
//            |  'D' [fill] number blanks* [modifier] | 'T' [fill] number blanks* [modifier]
//            |  'P' chars 'P' | 'K' chars 'K'          (closing letter in the same case)
//   numeric  -> [currency] ['-' | '('] [fill] width [[group] decimal [places]]
//               ['-' | ')'] [currency]
//   currency -> '$' | '~' text '~'
//   fill     -> '0' | '_' | '*'
//   group, decimal -> '.' | '`' | '_' | 'V' | 'v'
#include <algorithm>
#include <cassert>

#include "locale/locale.h"
#include "pictures/picture.h"

namespace tavero::pictures {

void CompiledPicture::SetHeader(PictureType type, ValueClass value_class, bool blank_when_zero,
                                int width) {
  assert(width >= 0 && width <= 255);
  bytes_[0] = static_cast<std::uint8_t>(static_cast<int>(type) | static_cast<int>(value_class) << 3 |
                                        (blank_when_zero ? 0x80 : 0));
  bytes_[1] = static_cast<std::uint8_t>(width);
}

namespace {

using K = TokenKind;

bool IsDigit(char c) { return c >= '0' && c <= '9'; }
char Upper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

// A cursor over the picture body.
struct Cursor {
  std::string_view text;
  std::size_t pos = 0;
  bool done() const { return pos >= text.size(); }
  char peek(std::size_t ahead = 0) const { return pos + ahead < text.size() ? text[pos + ahead] : '\0'; }
  bool take(char c) {
    if (peek() != c || done()) return false;
    ++pos;
    return true;
  }
  // A decimal number of at most 3 digits; -1 when there is none.
  int number() {
    int value = -1;
    int count = 0;
    while (!done() && IsDigit(peek())) {
      if (++count > 3) return 1000;  // too large for any picture field
      value = (value < 0 ? 0 : value * 10) + (text[pos++] - '0');
    }
    return value;
  }
  void skip_blanks() {
    while (!done() && (peek() == ' ' || peek() == '\t')) ++pos;
  }
};

// Tokens being laid out before they are written to the picture; its slots
// are written before they are read, so they start uninitialised. Pushes
// beyond 256 are dropped; more than 255 makes the picture invalid.
class Tokens {
 public:
  void push_back(PictureToken t) {
    if (size_ < kCapacity) items_[size_++] = {t.character, t.kind};
  }
  // `count` slots (at most 256), to be set by position.
  void resize(std::size_t count) { size_ = std::min(count, kCapacity); }
  void clear() { size_ = 0; }
  std::size_t size() const { return size_; }
  bool empty() const { return size_ == 0; }
  void set(std::size_t i, char character, K kind) { items_[i] = {character, kind}; }
  char character(std::size_t i) const { return items_[i].character; }
  K kind(std::size_t i) const { return items_[i].kind; }
  void set_character(std::size_t i, char character) { items_[i].character = character; }

 private:
  struct Slot {
    char character;
    K kind;
  };
  static constexpr std::size_t kCapacity = 256;
  std::array<Slot, kCapacity> items_;
  std::size_t size_ = 0;
};

int Finish(CompiledPicture& out, PictureType type, ValueClass value_class, bool blank_when_zero,
           const Tokens& tokens) {
  if (tokens.empty() || tokens.size() > 255) {
    out.Clear();
    return 0;
  }
  const int number = out.number();
  out.Clear();
  out.SetNumber(number);
  out.SetHeader(type, value_class, blank_when_zero, static_cast<int>(tokens.size()));
  for (std::size_t i = 0; i < tokens.size(); ++i) {
    out.SetToken(static_cast<int>(i), tokens.character(i), tokens.kind(i));
  }
  return 2 + 2 * static_cast<int>(tokens.size());
}

bool IsSeparator(char c) { return c == '.' || c == '`' || c == '_' || c == 'V' || c == 'v'; }

// The character a separator prints as.
char SeparatorPrints(char c) {
  switch (c) {
    case '`':
      return ',';
    case '_':
      return ' ';
    case 'V':
    case 'v':
      return ',';
    default:
      return c;
  }
}

// Currency: '$' or '~text~'. Returns false on a '~' without its closing '~'.
bool ReadCurrency(Cursor& c, std::string& currency, bool& present) {
  if (c.take('$')) {
    currency.assign(1, '$');
    present = true;
  } else if (c.take('~')) {
    const std::size_t end = c.text.find('~', c.pos);
    if (end == std::string_view::npos) return false;
    currency = std::string(c.text.substr(c.pos, end - c.pos));
    c.pos = end + 1;
    present = true;
  }
  return true;
}

bool CompileNumeric(Cursor c, Tokens& t) {
  std::string leading_currency, trailing_currency;
  bool has_leading_currency = false, has_trailing_currency = false;
  if (!ReadCurrency(c, leading_currency, has_leading_currency)) return false;
  char leading_sign = 0;
  if (c.peek() == '-' || c.peek() == '(') leading_sign = c.text[c.pos++];
  char fill = 0;
  if (c.peek() == '0' || c.peek() == '_' || c.peek() == '*') fill = c.text[c.pos++];
  const int width = c.number();
  if (width < 1 || width > 255) return false;
  char group = 0, decimal = 0;
  int places = 0;
  if (IsSeparator(c.peek())) {
    if (IsSeparator(c.peek(1)) || c.pos + 1 >= c.text.size()) {
      group = c.text[c.pos++];
    }
    if (IsSeparator(c.peek())) {
      decimal = c.text[c.pos++];
      places = std::max(0, c.number());
      if (places > 255) return false;
    }
  }
  char trailing_sign = 0;
  if (leading_sign == 0 && c.peek() == '-') trailing_sign = c.text[c.pos++];
  if (leading_sign == '(') {
    if (!c.take(')')) return false;
    trailing_sign = ')';
  }
  if (!has_leading_currency && !ReadCurrency(c, trailing_currency, has_trailing_currency)) return false;
  if (!c.done()) return false;

  const std::string& currency = has_leading_currency ? leading_currency : trailing_currency;
  const int currency_length = static_cast<int>(currency.size());
  const bool has_sign = leading_sign != 0 || trailing_sign == '-';
  const int minimum = (has_sign ? 1 : 0) + currency_length + (trailing_sign == ')' ? 1 : 0) +
                      (places > 0 ? places + 1 : 0);
  if (width < minimum) return false;

  t.resize(static_cast<std::size_t>(width));
  int left = 0, right = width - 1;  // next free position from each side
  auto put = [&](int i, char ch, K kind) { t.set(static_cast<std::size_t>(i), ch, kind); };
  if (has_trailing_currency) {
    for (int k = currency_length - 1; k >= 0; --k) put(right--, currency[static_cast<std::size_t>(k)], K::Currency);
  } else if (has_leading_currency) {
    for (char ch : currency) put(left++, ch, K::Currency);
  }
  if (trailing_sign == '-') put(right--, '-', K::Sign);
  if (leading_sign != 0) put(left++, leading_sign, K::Sign);
  if (trailing_sign == ')') put(right--, ')', K::Sign);
  const bool implied = decimal == 'V' || decimal == 'v';
  int units = -1;
  if (places > 0) {
    for (int k = 0; k < places; ++k) put(right--, '0', K::ZeroDigit);
    if (implied) {
      units = right;
      put(right--, '0', K::ImpliedDecimal);
      if (right >= left) put(right--, ' ', K::BlankDigit);
    } else {
      put(right--, SeparatorPrints(decimal), K::DecimalPoint);
    }
  }
  if (units < 0 && right >= left) {
    units = right;
    put(right--, '0', K::ZeroDigit);
  }
  char grouping = 0;
  if (group != 0) {
    grouping = SeparatorPrints(group);
  } else if (fill == 0) {
    grouping = decimal == '`' ? '.' : ',';
  }
  const bool blank_fill = fill == 0 || fill == '_';
  for (int i = right; i >= left; --i) {
    const int distance = units - i;
    if (grouping != 0 && distance % 4 == 3 && i != left) {
      put(i, grouping, K::GroupSeparator);
    } else if (blank_fill) {
      put(i, ' ', K::BlankDigit);
    } else {
      put(i, fill, K::ZeroDigit);
    }
  }
  return true;
}

bool CompileScientific(Cursor c, Tokens& t) {
  const int width = c.number();
  if (width < 7 || width > 255) return false;
  char group = 0, decimal = '.';
  int integer_digits = 1;
  if ((c.peek() == '.' || c.peek() == '`' || c.peek() == '_') &&
      (c.peek(1) == '.' || c.peek(1) == '`' || c.peek(1) == '_')) {
    group = c.text[c.pos++];
  }
  if (c.peek() == '.' || c.peek() == '`' || c.peek() == '_') {
    decimal = c.text[c.pos++];
    integer_digits = c.number();
    if (integer_digits < 1 || integer_digits > 255) return false;
  }
  if (!c.done()) return false;
  const int separators = integer_digits >= 4 ? (integer_digits - 1) / 3 : 0;
  const int i_end = integer_digits + separators;
  if (width < i_end + 7) return false;
  const char grouping = group != 0 ? SeparatorPrints(group) : (decimal == '`' ? '.' : ',');
  t.push_back({'-', K::Sign});
  // Integer digits, left to right; a separator after each three counted from the units.
  for (int d = integer_digits - 1; d >= 0; --d) {
    t.push_back(d == 0 ? PictureToken{'0', K::ZeroDigit} : PictureToken{' ', K::BlankDigit});
    if (separators > 0 && d > 0 && d % 3 == 0) t.push_back({grouping, K::GroupSeparator});
  }
  t.push_back({SeparatorPrints(decimal), K::DecimalPoint});
  while (static_cast<int>(t.size()) < width - 5) t.push_back({'0', K::ZeroDigit});
  t.push_back({'E', K::Literal});
  t.push_back({'+', K::ExponentSign});
  for (int k = 0; k < 3; ++k) t.push_back({'0', K::ZeroDigit});
  return true;
}

// @P...P and @K...K: the body between the two letters.
void CompileMask(std::string_view body, bool key_in, Tokens& t) {
  for (std::size_t i = 0; i < body.size(); ++i) {
    const char ch = body[i];
    switch (ch) {
      case '#':
        t.push_back({'0', K::ZeroDigit});
        continue;
      case '<':
        t.push_back({' ', K::BlankDigit});
        continue;
      default:
        break;
    }
    if (key_in) {
      switch (ch) {
        case '@':
          t.push_back({' ', K::KeyLetter});
          continue;
        case '^':
          t.push_back({' ', K::KeyUpper});
          continue;
        case '_':
          t.push_back({' ', K::KeyLower});
          continue;
        case '?':
          t.push_back({' ', K::KeyAny});
          continue;
        case '|':
          t.push_back({' ', K::KeyBar});
          continue;
        case '\\':
          if (i + 1 < body.size()) ++i;
          t.push_back({body[i], K::Literal});
          continue;
        default:
          break;
      }
    }
    t.push_back({ch, K::Literal});
  }
}

// Date and time layouts: m/M month digit zero/blank fill, d/D day, y year,
// N month letter, '/' separator, ' ' literal blank, ':' time separator,
// h/H hour, i minute, s second, X the am/pm letter followed by a literal 'M'. A comma
// after a letter run is a DateSeparator ',', a '_' a DateSeparator blank.
constexpr std::string_view kDateLayouts[] = {
    "",
    "Mm/dd/yy",                     // 1
    "Mm/dd/yyyy",                   // 2
    "NNN Dd,yyyy",                  // 3
    "NNNNNNNNNNNN Dd, yyyy",        // 4
    "Dd/mm/yy",                     // 5
    "Dd/mm/yyyy",                   // 6
    "Dd_NNN_yy",                    // 7
    "Dd_NNN_yyyy",                  // 8
    "yy/mm/dd",                     // 9
    "yyyy/mm/dd",                   // 10
    "yymmdd",                       // 11
    "yyyymmdd",                     // 12
    "mm/yy",                        // 13
    "mm/yyyy",                      // 14
    "yy/mm",                        // 15
    "yyyy/mm",                      // 16
};
constexpr std::string_view kTimeLayouts[] = {
    "", "Hh:ii", "Hhii", "Hh:iiX", "Hh:ii:ss", "Hhiiss", "Hh:ii:ssX",
};

void ExpandLayout(std::string_view layout, Tokens& t) {
  for (std::size_t i = 0; i < layout.size(); ++i) {
    const char ch = layout[i];
    switch (ch) {
      case 'm': t.push_back({'0', K::MonthDigit}); break;
      case 'M': t.push_back({' ', K::MonthDigit}); break;
      case 'd': t.push_back({'0', K::DayDigit}); break;
      case 'D': t.push_back({' ', K::DayDigit}); break;
      case 'y': t.push_back({'0', K::YearDigit}); break;
      case 'N': t.push_back({' ', K::MonthLetter}); break;
      case 'h': t.push_back({'0', K::HourDigit}); break;
      case 'H': t.push_back({' ', K::HourDigit}); break;
      case 'i': t.push_back({'0', K::MinuteDigit}); break;
      case 's': t.push_back({'0', K::SecondDigit}); break;
      case 'X':  // the AM/PM letter and the 'M' after it
        t.push_back({'A', K::AmPm});
        t.push_back({'M', K::Literal});
        break;
      case '/': case ',': case ':': t.push_back({ch, K::DateSeparator}); break;
      case '_': t.push_back({' ', K::DateSeparator}); break;
      default: t.push_back({ch, K::Literal}); break;
    }
  }
}

// The locale layouts behind @D17, @D18, @T7 and @T8 are copied token for
// token: their kinds carry the picture token codes.
void CopyLayout(const LocaleLayout& layout, Tokens& t) {
  for (const LayoutToken& token : layout.Tokens()) {
    t.push_back({token.character, static_cast<K>(token.kind)});
  }
}

// @Dn and @Tn: [fill] number blanks* [modifier].
bool CompileDateTime(Cursor c, bool is_date, CompiledPicture& out, Tokens& t) {
  char modifier = 0;
  if (!c.text.empty()) {
    const char last = c.text.back();
    if (last == '.' || last == '-' || last == '_' || last == '`') {
      modifier = last;
      c.text.remove_suffix(1);
    }
  }
  char fill = 0;
  if (c.peek() == '0' || c.peek() == '_' || c.peek() == '*') {
    // A '0' is a fill only when digits follow it.
    if (c.peek() != '0' || IsDigit(c.peek(1))) fill = c.text[c.pos++];
  }
  const int n = c.number();
  c.skip_blanks();
  if (!c.done()) return false;
  if (is_date ? (n < 1 || n > 18) : (n < 1 || n > 8)) return false;
  out.SetNumber(n);
  if (is_date) {
    n <= 16 ? ExpandLayout(kDateLayouts[n], t) : CopyLayout(n == 17 ? Locale().short_date : Locale().long_date, t);
  } else {
    n <= 6 ? ExpandLayout(kTimeLayouts[n], t) : CopyLayout(n == 7 ? Locale().short_time : Locale().long_time, t);
  }
  for (std::size_t i = 0; i < t.size(); ++i) {
    const K kind = t.kind(i);
    if (kind == K::DateSeparator && modifier != 0) t.set_character(i, SeparatorPrints(modifier));
    const bool filled = is_date ? (kind == K::MonthDigit || kind == K::DayDigit || kind == K::YearDigit ||
                                   kind == K::MonthLetter)
                                : (kind == K::HourDigit || kind == K::MinuteDigit || kind == K::SecondDigit);
    if (filled && fill != 0) t.set_character(i, fill == '_' ? ' ' : fill);
  }
  return true;
}

}  // namespace

int CompilePicture(std::string_view text, CompiledPicture& out) {
  out.Clear();
  if (!text.empty() && text.front() == '@') text.remove_prefix(1);
  if (text.empty() || text.size() >= 256) return 0;
  bool blank_when_zero = false;
  if (text.back() == 'B' || text.back() == 'b') {
    blank_when_zero = true;
    text.remove_suffix(1);
    if (text.size() < 2) return 0;
  }
  const char letter = Upper(text.front());
  Cursor body{text.substr(1)};
  Tokens tokens;
  switch (letter) {
    case 'S': {
      const int width = body.number();
      body.skip_blanks();
      if (width < 1 || width > 255 || !body.done()) return 0;
      out.SetHeader(PictureType::String, ValueClass::String, blank_when_zero, width);
      return 2;
    }
    case 'N':
      if (!CompileNumeric(body, tokens)) tokens.clear();
      return Finish(out, PictureType::Numeric, ValueClass::Decimal, blank_when_zero, tokens);
    case 'E':
      if (!CompileScientific(body, tokens)) tokens.clear();
      return Finish(out, PictureType::Scientific, ValueClass::Real, blank_when_zero, tokens);
    case 'D':
      if (!CompileDateTime(body, true, out, tokens)) tokens.clear();
      return Finish(out, PictureType::Date, ValueClass::Long, blank_when_zero, tokens);
    case 'T':
      if (!CompileDateTime(body, false, out, tokens)) tokens.clear();
      return Finish(out, PictureType::Time, ValueClass::Long, blank_when_zero, tokens);
    case 'P':
    case 'K': {
      if (text.size() < 2 || text.back() != text.front()) return 0;
      CompileMask(text.substr(1, text.size() - 2), letter == 'K', tokens);
      if (letter == 'P') return Finish(out, PictureType::Pattern, ValueClass::Decimal, blank_when_zero, tokens);
      return Finish(out, PictureType::KeyIn, ValueClass::String, blank_when_zero, tokens);
    }
    default:
      return 0;
  }
}

}  // namespace tavero::pictures
