// Decimal arithmetic on 7-digit money fields (4-byte DECIMAL, 2 places):
// two fields in, one field out, rounded half away from zero. Peers doing the
// same job: int64 fixed point in hundredths (the floor) and
// Boost.Multiprecision cpp_dec_float.
#include <benchmark/benchmark.h>

#include <array>
#include <boost/multiprecision/cpp_dec_float.hpp>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <vector>

#include "decimal/decimal.h"

namespace {

using Field = std::array<std::uint8_t, 4>;
using namespace tavero::decimal;
using BoostDecimal = boost::multiprecision::cpp_dec_float_50;

constexpr int kPlaces = 2;

// DECIMAL field <-> hundredths, as an int64 implementation would store them.
std::int64_t Decode(const Field& f) {
  std::int64_t v = 0;
  for (int q = 1; q < 8; ++q) v = v * 10 + ((q % 2 == 0) ? f[q / 2] >> 4 : f[q / 2] & 0x0F);
  return (f[0] >> 4) != 0 ? -v : v;
}

void Encode(std::int64_t v, Field& f) {
  const bool negative = v < 0;
  std::uint64_t m = negative ? -v : v;
  f = {};
  for (int q = 7; q >= 1; --q, m /= 10) {
    const auto d = static_cast<std::uint8_t>(m % 10);
    f[q / 2] |= q % 2 == 0 ? d << 4 : d;
  }
  if (negative) f[0] |= 0xF0;
}

// Integer division rounded half away from zero.
std::int64_t DivideRounded(std::int64_t n, std::int64_t d) {
  const bool negative = (n < 0) != (d < 0);
  const std::uint64_t un = n < 0 ? -n : n, ud = d < 0 ? -d : d;
  const auto q = static_cast<std::int64_t>((2 * un + ud) / (2 * ud));
  return negative ? -q : q;
}

enum class Op { Add, Multiply, Divide };

std::int64_t Int64Op(Op op, std::int64_t a, std::int64_t b) {
  switch (op) {
    case Op::Add:
      return a + b;
    case Op::Multiply:
      return DivideRounded(a * b, 100);
    case Op::Divide:
      return b == 0 ? 0 : DivideRounded(a * 100, b);
  }
  return 0;
}

BoostDecimal FromField(const Field& f) { return BoostDecimal(Decode(f)) / 100; }

void ToField(const BoostDecimal& v, Field& f) {
  const BoostDecimal scaled = v * 100;
  const BoostDecimal rounded = scaled < 0 ? -floor(-scaled + BoostDecimal(0.5)) : floor(scaled + BoostDecimal(0.5));
  Encode(rounded.convert_to<std::int64_t>(), f);
}

BoostDecimal BoostOp(Op op, const BoostDecimal& a, const BoostDecimal& b) {
  switch (op) {
    case Op::Add:
      return a + b;
    case Op::Multiply:
      return a * b;
    case Op::Divide:
      return b == 0 ? BoostDecimal(0) : a / b;
  }
  return 0;
}

void StackOp(Op op, DecimalStack& s) {
  switch (op) {
    case Op::Add:
      s.Add();
      break;
    case Op::Multiply:
      s.Multiply();
      break;
    case Op::Divide:
      s.Divide();
      break;
  }
}

// Money values up to 99,999.99 (7 digits); products stay within the field.
struct Inputs {
  std::vector<Field> a, b;
  explicit Inputs(Op op) {
    std::mt19937 random(42);
    const std::int64_t limit = op == Op::Multiply ? 31622 : 4999999;  // products below 100,000
    std::uniform_int_distribution<std::int64_t> value(-limit, limit);
    for (int i = 0; i < 1024; ++i) {
      Field x, y;
      Encode(value(random), x);
      std::int64_t yv = value(random);
      if (op == Op::Divide && yv == 0) yv = 1;
      if (op == Op::Divide) yv = yv % 99999 + (yv > 0 ? 100 : -100);  // quotients that fit
      Encode(yv, y);
      a.push_back(x);
      b.push_back(y);
    }
    // The three implementations must agree on every input, except that
    // cpp_dec_float's division (by reciprocal) may miss an exact half-way
    // case by one hundredth.
    DecimalStack s;
    for (std::size_t i = 0; i < a.size(); ++i) {
      Field t, n, m;
      s.PushDecimal(a[i], kPlaces);
      s.PushDecimal(b[i], kPlaces);
      StackOp(op, s);
      s.PopDecimal(t, kPlaces);
      Encode(Int64Op(op, Decode(a[i]), Decode(b[i])), n);
      ToField(BoostOp(op, FromField(a[i]), FromField(b[i])), m);
      const std::int64_t boost_error = std::llabs(Decode(t) - Decode(m));
      if (t != n || boost_error > (op == Op::Divide ? 1 : 0)) {
        std::fprintf(stderr, "decimal_bench: implementations disagree on input %zu: %lld %lld -> %lld %lld %lld\n", i,
                     static_cast<long long>(Decode(a[i])), static_cast<long long>(Decode(b[i])),
                     static_cast<long long>(Decode(t)), static_cast<long long>(Decode(n)),
                     static_cast<long long>(Decode(m)));
        std::abort();
      }
    }
  }
};

void Tavero(benchmark::State& state, Op op) {
  const Inputs in(op);
  DecimalStack& s = ProcessDecimalStack();
  Field out;
  std::size_t i = 0;
  for (auto _ : state) {
    s.PushDecimal(in.a[i], kPlaces);
    s.PushDecimal(in.b[i], kPlaces);
    StackOp(op, s);
    s.PopDecimal(out, kPlaces);
    benchmark::DoNotOptimize(out);
    i = (i + 1) & 1023;
  }
}

void Int64(benchmark::State& state, Op op) {
  const Inputs in(op);
  Field out;
  std::size_t i = 0;
  for (auto _ : state) {
    Encode(Int64Op(op, Decode(in.a[i]), Decode(in.b[i])), out);
    benchmark::DoNotOptimize(out);
    i = (i + 1) & 1023;
  }
}

void CppDecFloat(benchmark::State& state, Op op) {
  const Inputs in(op);
  Field out;
  std::size_t i = 0;
  for (auto _ : state) {
    ToField(BoostOp(op, FromField(in.a[i]), FromField(in.b[i])), out);
    benchmark::DoNotOptimize(out);
    i = (i + 1) & 1023;
  }
}

BENCHMARK_CAPTURE(Tavero, add, Op::Add);
BENCHMARK_CAPTURE(Int64, add, Op::Add);
BENCHMARK_CAPTURE(CppDecFloat, add, Op::Add);
BENCHMARK_CAPTURE(Tavero, multiply, Op::Multiply);
BENCHMARK_CAPTURE(Int64, multiply, Op::Multiply);
BENCHMARK_CAPTURE(CppDecFloat, multiply, Op::Multiply);
BENCHMARK_CAPTURE(Tavero, divide, Op::Divide);
BENCHMARK_CAPTURE(Int64, divide, Op::Divide);
BENCHMARK_CAPTURE(CppDecFloat, divide, Op::Divide);

}  // namespace

BENCHMARK_MAIN();
