// SPLASH and ABOUT: the welcome window that shows README.TXT while the
// program starts (zephc026), and the information window of the Help menu
// (zephc027). Both are plain windows called on the frame's thread.
#pragma once

#include <filesystem>
#include <optional>
#include <string_view>

namespace zephcol {

// Shows the welcome window with README.TXT, read through the ASCII driver
// over timer ticks with a progress window, and returns when the person
// presses "CONTINUE" (or the program is ending).
void Splash();
// The same, with the program's directory given (tests).
void Splash(const std::filesystem::path& program_directory);

// Shows "About ZEPHYRA" until "Close".
void About();

// Where the splash finds a file it names: in the working directory first,
// then in `program_directory` (none: beside the running program), in any
// case of the name. Not found: the name as given (opening it then fails,
// and the warning names it).
std::filesystem::path FindBesideProgram(std::string_view name,
                                        const std::optional<std::filesystem::path>& program_directory);

}  // namespace zephcol
