// The built-in functions of expressions.
#include "eval/builtins.h"

#include <unistd.h>

#include <cassert>
#include <cmath>
#include <ctime>
#include <limits>
#include <utility>

#include "eval/nodes.h"
#include "eval/services.h"

namespace tavero::eval {
namespace {

using VC = ValueClass;

// name, most arguments, fewest arguments, code, result class
constexpr BuiltinFunction kFunctions[] = {
    {"MEMORY", 1, 1, 1, VC::Long},     {"SUB", 3, 2, 2, VC::String},
    {"INSTRING", 4, 2, 3, VC::Long},   {"CLIP", 1, 1, 4, VC::String},
    {"ALL", 2, 1, 5, VC::String},      {"CENTER", 2, 1, 6, VC::String},
    {"CHR", 1, 1, 7, VC::String},      {"DEFORMAT", 2, 2, 8, VC::String},
    {"FORMAT", 2, 2, 9, VC::String},   {"LEFT", 2, 1, 10, VC::String},
    {"LEN", 1, 1, 11, VC::Long},       {"LOWER", 1, 1, 12, VC::String},
    {"NUMERIC", 1, 1, 13, VC::Long},   {"RIGHT", 1, 1, 14, VC::String},
    {"UPPER", 1, 1, 15, VC::String},   {"VAL", 1, 1, 16, VC::Long},
    {"ABS", 1, 1, 17, VC::Real},       {"INRANGE", 3, 3, 18, VC::Long},
    {"INT", 1, 1, 19, VC::Long},       {"LOGE", 1, 1, 20, VC::Real},
    {"LOG10", 1, 1, 21, VC::Real},     {"RANDOM", 2, 2, 22, VC::Long},
    {"ROUND", 2, 2, 23, VC::Real},     {"SQRT", 1, 1, 24, VC::Real},
    {"SIN", 1, 1, 25, VC::Real},       {"COS", 1, 1, 26, VC::Real},
    {"TAN", 1, 1, 27, VC::Real},       {"ASIN", 1, 1, 28, VC::Real},
    {"ACOS", 1, 1, 29, VC::Real},      {"ATAN", 1, 1, 30, VC::Real},
    {"BAND", 2, 2, 31, VC::Long},      {"BOR", 2, 2, 32, VC::Long},
    {"BXOR", 2, 2, 33, VC::Long},      {"BSHIFT", 2, 2, 34, VC::Long},
    {"TODAY", 0, 0, 35, VC::Long},     {"CLOCK", 0, 0, 36, VC::Long},
    {"DATE", 3, 3, 37, VC::Long},      {"DAY", 1, 1, 38, VC::Long},
    {"MONTH", 1, 1, 39, VC::Long},     {"YEAR", 1, 1, 40, VC::Long},
    {"AGE", 2, 1, 41, VC::String},
};

enum Code : int {
  kMemory = 1, kSub, kInString, kClip, kAll, kCenter, kChr, kDeformat, kFormat, kLeft, kLen,
  kLower, kNumeric, kRight, kUpper, kVal, kAbs, kInRange, kInt, kLogE, kLog10, kRandom, kRound,
  kSqrt, kSin, kCos, kTan, kAsin, kAcos, kAtan, kBand, kBor, kBxor, kBshift, kToday, kClock,
  kDate, kDay, kMonth, kYear, kAge,
};

// MEMORY (any): the bytes of physical memory still available, at most the
// largest long.
std::int32_t AvailableMemory() {
  const long pages = sysconf(_SC_AVPHYS_PAGES);
  const long page_size = sysconf(_SC_PAGESIZE);
  if (pages <= 0 || page_size <= 0) return 0;
  const double bytes = static_cast<double>(pages) * static_cast<double>(page_size);
  return bytes > 2147483647.0 ? std::numeric_limits<std::int32_t>::max()
                              : static_cast<std::int32_t>(bytes);
}

class FunctionNode final : public Node {
 public:
  FunctionNode(const BuiltinFunction& f, std::vector<NodePointer> arguments)
      : Node(NodeKind::Function, f.code, f.result), arguments_(std::move(arguments)) {}

  std::int32_t Long() const override {
    switch (value_class()) {
      case VC::Long: return LongResult();
      case VC::Real: return RealToLong(RealResult());
      default: return RealToLong(TextToReal(StringResult()));
    }
  }
  double Real() const override {
    switch (value_class()) {
      case VC::Long: return LongResult();
      case VC::Real: return RealResult();
      default: return TextToReal(StringResult());
    }
  }
  std::string String() const override {
    switch (value_class()) {
      case VC::Long: return std::to_string(LongResult());
      case VC::Real: return RealToText(RealResult());
      default: return StringResult();
    }
  }
  std::span<const std::unique_ptr<Node>> Operands() const override { return arguments_; }

 private:
  const Node& arg(std::size_t i) const { return *arguments_[i]; }

  std::int32_t LongResult() const {
    switch (code()) {
      case kMemory: (void)arg(0).Long(); return AvailableMemory();
      case kInString:
        return services::InString(arg(0).String(), arg(1).String(), arg(2).Long(), arg(3).Long());
      case kLen: return static_cast<std::int32_t>(arg(0).String().size());
      case kNumeric: return services::Numeric(arg(0).String()) ? 1 : 0;
      case kVal: {
        const std::string s = arg(0).String();
        return s.empty() ? 0 : static_cast<unsigned char>(s[0]);
      }
      case kInRange: {
        const double v = arg(0).Real(), low = arg(1).Real(), high = arg(2).Real();
        return low <= v && v <= high ? 1 : 0;
      }
      case kInt: return RealToLong(arg(0).Real());
      case kRandom: return RandomBetween(arg(0).Long(), arg(1).Long());
      case kBand: return arg(0).Long() & arg(1).Long();
      case kBor: return arg(0).Long() | arg(1).Long();
      case kBxor: return arg(0).Long() ^ arg(1).Long();
      case kBshift: return ShiftBits(arg(0).Long(), arg(1).Long());
      case kToday: return services::Today();
      case kClock: return services::Clock();
      case kDate: return services::Date(arg(0).Long(), arg(1).Long(), arg(2).Long());
      case kDay: return services::Day(arg(0).Long());
      case kMonth: return services::Month(arg(0).Long());
      case kYear: return services::Year(arg(0).Long());
    }
    assert(false && "not a long function");
    return 0;
  }

  double RealResult() const {
    const double x = arg(0).Real();
    switch (code()) {
      case kAbs: return std::fabs(x);
      case kLogE: return std::log(x);
      case kLog10: return std::log10(x);
      case kRound: return RoundToStep(x, arg(1).Real());
      case kSqrt: return std::sqrt(x);
      case kSin: return std::sin(x);
      case kCos: return std::cos(x);
      case kTan: return std::tan(x);
      case kAsin: return std::asin(x);
      case kAcos: return std::acos(x);
      case kAtan: return std::atan(x);
    }
    assert(false && "not a real function");
    return 0;
  }

  std::string StringResult() const {
    switch (code()) {
      case kSub: return services::Sub(arg(0).String(), arg(1).Long(), arg(2).Long());
      case kClip: return services::Clip(arg(0).String());
      case kAll: return services::All(arg(0).String(), arg(1).Long());
      case kCenter: return services::Center(arg(0).String(), arg(1).Long());
      case kChr: return std::string(1, static_cast<char>(arg(0).Long() & 0xFF));
      case kDeformat: return services::Deformat(arg(0).String(), arg(1).String());
      case kFormat: {
        const std::string picture = arg(1).String();
        switch (arg(0).value_class()) {
          case VC::Truth:
          case VC::Long: return services::FormatLong(arg(0).Long(), picture);
          case VC::Real: return services::FormatReal(arg(0).Real(), picture);
          default: return services::FormatString(arg(0).String(), picture);
        }
      }
      case kLeft: return services::Left(arg(0).String(), arg(1).Long());
      case kLower: return services::Lower(arg(0).String());
      case kRight: return services::Right(arg(0).String());
      case kUpper: return services::Upper(arg(0).String());
      case kAge: return services::Age(arg(0).Long(), arg(1).Long());
    }
    assert(false && "not a string function");
    return {};
  }

  std::vector<NodePointer> arguments_;
};

}  // namespace

std::span<const BuiltinFunction> BuiltinFunctions() { return kFunctions; }

const BuiltinFunction* BuiltinByCode(int code) {
  if (code < 1 || code > static_cast<int>(std::size(kFunctions))) return nullptr;
  return &kFunctions[code - 1];
}

NodePointer MakeFunctionNode(const BuiltinFunction& function, std::vector<NodePointer> arguments) {
  assert(static_cast<int>(arguments.size()) == function.arity);
  return std::make_unique<FunctionNode>(function, std::move(arguments));
}

NodePointer DefaultArgument(int code, int index) {
  switch (code) {
    case kSub:
    case kCenter:
    case kLeft: return MakeLongLiteral(-1);  // "omitted length"
    case kInString: return MakeLongLiteral(index == 2 ? 0 : 1);
    case kAll: return MakeLongLiteral(255);
    case kAge: return MakeFunctionNode(*BuiltinByCode(kToday), {});
  }
  return nullptr;
}

std::uint32_t NextRandom() {
  // The runtime's generator: a linear congruential sequence of 15-bit values,
  // seeded from the clock on first use. Process-wide, like the evaluator.
  static std::uint32_t state = static_cast<std::uint32_t>(std::time(nullptr)) ^ 0x2545F491u;
  state = state * 214013u + 2531011u;
  return (state >> 16) & 0x7FFF;
}

std::int32_t RandomBetween(std::int32_t low, std::int32_t high) {
  if (low == high) return low;
  // A reversed range is taken the right way round, so the answer always lies
  // between the two bounds.
  if (high < low) std::swap(low, high);
  const std::uint32_t r1 = NextRandom(), r2 = NextRandom(), r3 = NextRandom();
  const std::uint32_t combined = r3 + (r1 << 30) + r2 * 32768u;
  // high - low + 1 is 0 only for the full 32-bit range.
  const std::uint32_t span = static_cast<std::uint32_t>(high) - static_cast<std::uint32_t>(low) + 1u;
  const std::uint32_t offset = span == 0 ? combined : combined % span;
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(low) + offset);
}

double RoundToStep(double value, double step) {
  if (value == 0 || step <= 0 || !std::isfinite(step)) return value;
  const int p = static_cast<int>(std::floor(std::log10(step) + 1e-9));
  const double scale = std::pow(10.0, std::abs(p));
  double scaled = p < 0 ? value * scale : value / scale;
  // Drop the binary noise of the scaling (2.345 * 100 is 234.49999999999997)
  // so that a decimal half rounds away from zero as written.
  scaled = TextToReal(RealToText(scaled));
  scaled = std::trunc(value < 0 ? scaled - 0.5 : scaled + 0.5);
  return p < 0 ? scaled / scale : scaled * scale;
}

std::int32_t ShiftBits(std::int32_t value, std::int32_t count) {
  const auto bits = static_cast<std::uint32_t>(value);
  if (count >= 32 || count < -31) return 0;
  const std::uint32_t shifted = count >= 0 ? bits << count : bits >> -count;
  return static_cast<std::int32_t>(shifted);
}

}  // namespace tavero::eval
