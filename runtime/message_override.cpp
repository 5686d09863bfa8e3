#include "runtime/message_override.h"

#include "locale/locale.h"

namespace tavero::runtime_internal {

// The environment file's TAVMSG and TAVBUTTON settings, kept by the locale.
std::optional<std::string_view> LookUpMessageOverride(int code) { return MessageOverride(code); }

}  // namespace tavero::runtime_internal
