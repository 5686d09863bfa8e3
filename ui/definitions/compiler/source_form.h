// Reading the JSON source form of one module's window definitions. Used by
// the build-time compiler only (the one user of nlohmann-json).
#pragma once

#include <stdexcept>
#include <string>

#include "ui/definitions/definitions.h"

namespace tavero::definitions {

// A fault in a source file, with the file and the place in its message.
struct SourceError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// Reads the JSON text of one source file (`file` names it in errors). Texts
// are converted from UTF-8 to Windows-1252. Throws SourceError.
DefinitionBlock ParseSource(const std::string& text, const std::string& file);

}  // namespace tavero::definitions
