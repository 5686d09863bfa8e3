// What the evaluator takes from the rest of the runtime: collation and case,
// the string primitives, dates, and pictures. Everything goes through this
// one seam so the evaluator's own files name no other module.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace tavero::eval::services {

// Collation order of two strings; trailing blanks never matter.
int CompareStrings(std::string_view a, std::string_view b);
// The same, both sides upper-cased through the case table (symbol names).
int CompareNoCase(std::string_view a, std::string_view b);
// Characters the case table knows as letters (A-Z, a-z and any with a partner).
bool IsLetter(unsigned char c);
std::string Upper(std::string_view text);
std::string Lower(std::string_view text);

std::string Clip(std::string_view text);
std::string Sub(std::string_view text, std::int32_t start, std::int32_t length);
std::int32_t InString(std::string_view needle, std::string_view text, std::int32_t step,
                      std::int32_t start);
std::string Left(std::string_view text, std::int32_t length);
std::string Right(std::string_view text);
std::string Center(std::string_view text, std::int32_t length);
std::string All(std::string_view text, std::int32_t length);
bool Numeric(std::string_view text);

std::int32_t Today();
std::int32_t Clock();
std::int32_t Date(std::int32_t month, std::int32_t day, std::int32_t year);
std::int32_t Day(std::int32_t date);
std::int32_t Month(std::int32_t date);
std::int32_t Year(std::int32_t date);
std::string Age(std::int32_t birth, std::int32_t base);

std::string FormatString(std::string_view value, std::string_view picture);
std::string FormatReal(double value, std::string_view picture);
std::string FormatLong(std::int32_t value, std::string_view picture);
std::string Deformat(std::string_view text, std::string_view picture);

// Posting of evaluator errors and the runtime report of a bad BIND.
void PostError(int code);
void ReportParameterTypingError();

}  // namespace tavero::eval::services
