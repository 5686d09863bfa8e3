// The string primitives: assignment into the three string forms of records,
// comparison that ignores trailing blanks, and the operations the evaluator
// offers by name (CLIP, SUB, LEFT, RIGHT, CENTER, ALL, UPPER, LOWER,
// INSTRING, NUMERIC, LEN), plus the text-argument stack.
//
// Text is single-byte Windows-1252. Positions and lengths from callers are
// clamped to the string; nothing here reads or writes outside its buffers.
#pragma once

#include <array>
#include <span>
#include <string>
#include <string_view>

namespace tavero::strings {

// Fixed-length assignment: the first min(m, n) characters, then blanks.
void AssignFixed(std::span<char> destination, std::string_view source);
// A missing source (nullptr) fills with 0xFF (the highest value) for a
// positive length, 0x00 (the lowest) for a negative one, blanks for 0.
void AssignFixed(std::span<char> destination, const char* source, int length);
// Null-terminated string of size n: at most n - 1 characters and a zero. A
// missing source with a positive length fills n - 1 bytes with 0xFF.
void AssignNullTerminated(std::span<char> destination, const char* source, int length);
// Length-prefixed string of size n: a length byte min(m, n - 1, 255), then
// the characters.
void AssignLengthPrefixed(std::span<char> destination, std::string_view source);

// Compares two fixed-length strings by collation weight; trailing blanks
// never matter ('ABC' equals 'ABC   '). Negative, 0 or positive.
int CompareFixed(std::string_view a, std::string_view b);

std::string_view CLIP(std::string_view text);  // without trailing blanks
// From 1-based `start` (negative counts from the end), at most `length`
// characters, never past the end; a start beyond the end gives "".
std::string_view SUB(std::string_view text, int start, int length);
std::string LEFT(std::string_view text);    // leading blanks moved to the end
std::string RIGHT(std::string_view text);   // trailing blanks moved to the front
std::string CENTER(std::string_view text);  // centred; an odd blank goes right
// `pattern` repeated to `length` characters (blanks for an empty pattern).
std::string ALL(std::string_view pattern, int length = 255);
std::string UPPER(std::string_view text);  // through the locale's case table
std::string LOWER(std::string_view text);
// The first match of `sub` in `text` searching from 1-based `start` in steps
// of `step` characters (0: the length of `sub`; negative: right to left):
// (offset of the match) / |step| + 1, or 0 when there is none or `sub` is
// empty.
int INSTRING(std::string_view sub, std::string_view text, int step = 0, int start = 1);
// 1 when the clipped text (at most 40 characters of it) is wholly a number:
// optional blanks, sign, digits with an optional fraction, optional exponent.
int NUMERIC(std::string_view text);
inline int LEN(std::string_view text) { return static_cast<int>(text.size()); }
// The truth value of a string: not empty after CLIP.
inline bool IsTrue(std::string_view text) { return !CLIP(text).empty(); }

// The runtime-wide stack through which text operands and results pass
// between operations: at most 32 entries; a push onto a full stack is
// ignored and a pop of an empty one gives "".
class TextArgumentStack {
 public:
  static constexpr int kCapacity = 32;
  void Push(std::string_view text) {
    if (size_ < kCapacity) entries_[static_cast<std::size_t>(size_++)] = std::string(text);
  }
  std::string Pop() { return size_ > 0 ? std::move(entries_[static_cast<std::size_t>(--size_)]) : std::string(); }
  // The top entry; "" when the stack is empty.
  const std::string& Top() const {
    static const std::string kEmpty;
    return size_ > 0 ? entries_[static_cast<std::size_t>(size_ - 1)] : kEmpty;
  }
  int size() const { return size_; }

 private:
  std::array<std::string, kCapacity> entries_;
  int size_ = 0;
};

// The runtime's one stack; used by one thread at a time.
TextArgumentStack& ProcessTextStack();

}  // namespace tavero::strings
