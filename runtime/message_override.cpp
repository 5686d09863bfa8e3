#include "runtime/message_override.h"

namespace tavero::runtime_internal {

// The locale module keeps the overrides once it reads the environment file;
// until it is linked in there are none.
std::optional<std::string_view> LookUpMessageOverride(int) { return std::nullopt; }

}  // namespace tavero::runtime_internal
