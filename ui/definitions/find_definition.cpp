// The engine's way to a definition: lookups over the registered blocks whose
// failures are reported as runtime errors.
#include "runtime/runtime_error.h"
#include "ui/definitions/definitions.h"

namespace tavero::definitions {
namespace {

// The runtime errors of this module all carry the module name "WSLDIAL".
constexpr int kTooManyUseVariables = 501;
constexpr int kNoSuchEntry = 502;
constexpr int kDamagedBlock = 503;
constexpr std::string_view kErrorName = "WSLDIAL";

}  // namespace

std::optional<EntryDefinition> FindDefinition(std::string_view module_label,
                                              std::string_view procedure_label) {
  const std::vector<ResourceBlock> blocks = RegisteredBlocks();
  auto found = LookupDefinition(blocks, module_label, procedure_label);
  if (EntryDefinition* entry = std::get_if<EntryDefinition>(&found)) return std::move(*entry);
  const LookupError& error = std::get<LookupError>(found);
  ReportRuntimeError(error.failure == LookupFailure::Damaged ? kDamagedBlock : kNoSuchEntry, kErrorName);
  return std::nullopt;
}

bool CheckUseVariables(const EntryDefinition& entry, std::size_t given) {
  if (CountUseVariables(entry) <= given) return true;
  ReportRuntimeError(kTooManyUseVariables, kErrorName);
  return false;
}

}  // namespace tavero::definitions
