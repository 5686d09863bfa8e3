// The order of two values of one record field: numbers by value, strings by
// collation with trailing blanks ignored.
#pragma once

#include <cstdint>

#include "storage/driver/driver.h"

namespace tavero::queues {

// Negative, 0 or positive as `field` in record image `a` sorts before, with
// or after the same field in record image `b`. Both images cover the field.
int CompareField(const driver::FieldDescriptor& field, const std::uint8_t* a, const std::uint8_t* b);

}  // namespace tavero::queues
