// Conversion of the runtime's single-byte Windows-1252 text to UTF-8, for
// the platform boundary (terminal, standard error).
#pragma once

#include <string>
#include <string_view>

namespace tavero {

// Bytes 0x81, 0x8D, 0x8F, 0x90 and 0x9D have no character in Windows-1252;
// they map to the C1 control of the same number, as the platform does.
std::string Windows1252ToUtf8(std::string_view text);

}  // namespace tavero
