// The sub-commands of `tavero vmr`, one file each (cmd_vmr_<name>.cpp).
#pragma once

#include <span>
#include <string_view>

namespace tavero::tool {

int RunVmrCheck(std::span<const std::string_view> args);

}  // namespace tavero::tool
