// The window definition blocks of the program, compiled at build time from
// app/windows/*.json. The program's start registers them with the engine.
#pragma once

#include <span>

#include "ui/definitions/definitions.h"

namespace zephcol {

std::span<const tavero::definitions::ResourceBlock> WindowDefinitionBlocks();

}  // namespace zephcol
