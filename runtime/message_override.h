// Internal to runtime/: where message overrides come from (the environment
// file's TAVMSG and TAVBUTTON settings). Kept behind one function so the
// message table does not care who keeps them.
#pragma once

#include <optional>
#include <string_view>

namespace tavero::runtime_internal {

std::optional<std::string_view> LookUpMessageOverride(int code);

}  // namespace tavero::runtime_internal
