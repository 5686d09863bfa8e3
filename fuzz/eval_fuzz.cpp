// Compiles arbitrary text as an expression and evaluates whatever compiles,
// in every class, against a few bound variables of different field types.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "eval/eval.h"

namespace {

struct Record {
  std::int32_t number = 42;
  std::int16_t small = -7;
  unsigned char money[4] = {0x00, 0x01, 0x23, 0x45};
  char name[12] = {'C', 'a', 'r', 'd', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' '};
  char grid[2][3][2] = {};
};

void BindAll(const Record& r) {
  using tavero::eval::Variable;
  const auto at = [](const auto& field) { return reinterpret_cast<const std::uint8_t*>(&field); };
  tavero::eval::Bind("REC:NUMBER", Variable{at(r.number), 6, 4, 0, {}});
  tavero::eval::Bind("REC:SMALL", Variable{at(r.small), 2, 2, 0, {}});
  tavero::eval::Bind("REC:MONEY", Variable{at(r.money), 10, 4, 2, {}});
  tavero::eval::Bind("REC:NAME", Variable{at(r.name), 18, 12, 0, {}});
  tavero::eval::Bind("REC:GRID", Variable{at(r.grid), 18, 12, 0, {2, 3}});
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const Record record;
  static const bool bound = (BindAll(record), true);
  (void)bound;
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  tavero::eval::CompileResult r = tavero::eval::Compile(text);
  if (r.expression) {
    (void)r.expression->Truth();
    (void)r.expression->Long();
    (void)r.expression->Real();
    (void)r.expression->String();
  }
  return 0;
}
