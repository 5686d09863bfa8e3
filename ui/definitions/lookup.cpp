// Finding a window or report entry among the blocks of the program, and the
// USE-variable count a window asks for.
#include <algorithm>
#include <mutex>

#include "ui/definitions/definitions.h"

namespace tavero::definitions {
namespace {

bool EqualIgnoringCase(std::string_view a, std::string_view b) {
  auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; };
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(), [&](char x, char y) { return lower(x) == lower(y); });
}

// The registered blocks: one list for the whole process, filled at start.
struct Registry {
  std::mutex mutex;
  std::vector<ResourceBlock> blocks;
};
Registry& ProcessRegistry() {
  static Registry registry;
  return registry;
}

}  // namespace

std::string ResourceName(std::string_view module_label) {
  const std::size_t dollar = module_label.find('$');
  std::string name(dollar == std::string_view::npos ? module_label : module_label.substr(dollar + 1));
  return name + "_RSC";
}

std::variant<EntryDefinition, LookupError> LookupDefinition(std::span<const ResourceBlock> blocks,
                                                            std::string_view module_label,
                                                            std::string_view procedure_label) {
  const bool built_in = module_label.empty();
  const std::string resource = built_in ? std::string() : ResourceName(module_label);
  for (const ResourceBlock& block : blocks) {
    if (!built_in && !EqualIgnoringCase(block.name, resource)) continue;
    const std::optional<std::string_view> label = BlockModuleLabel(block.bytes);
    if (label != module_label) continue;  // a block of another module under the same name
    auto decoded = DecodeBlock(block.bytes);
    if (const BlockDamage* damage = std::get_if<BlockDamage>(&decoded)) {
      return LookupError{LookupFailure::Damaged, std::string(block.name) + ": " + damage->reason +
                                                     " at offset " + std::to_string(damage->offset)};
    }
    for (EntryDefinition& entry : std::get<DefinitionBlock>(decoded).entries) {
      if (entry.label == procedure_label) return std::move(entry);
    }
  }
  return LookupError{LookupFailure::NotFound,
                     (built_in ? std::string(procedure_label) : resource + " " + std::string(procedure_label))};
}

void RegisterBlocks(std::span<const ResourceBlock> blocks) {
  Registry& r = ProcessRegistry();
  std::lock_guard lock(r.mutex);
  for (const ResourceBlock& b : blocks) {
    const bool known = std::any_of(r.blocks.begin(), r.blocks.end(), [&](const ResourceBlock& k) {
      return k.bytes.data() == b.bytes.data() && k.bytes.size() == b.bytes.size();
    });
    if (!known) r.blocks.push_back(b);
  }
}

std::vector<ResourceBlock> RegisteredBlocks() {
  Registry& r = ProcessRegistry();
  std::lock_guard lock(r.mutex);
  return r.blocks;
}

std::size_t CountUseVariables(const EntryDefinition& entry) {
  std::size_t count = 0;
  ForEachControl(entry.controls, [&](const ControlDefinition& c) {
    if (c.has(control_attribute::kUsesVariable)) ++count;
  });
  return count;
}

const ControlDefinition* FindControl(const std::vector<ControlDefinition>& controls, std::int32_t number) {
  for (const ControlDefinition& c : controls) {
    if (c.number == number && c.kind != ControlKind::MenuBar && c.kind != ControlKind::Break) return &c;
    if (const ControlDefinition* inner = FindControl(c.children, number)) return inner;
  }
  return nullptr;
}

}  // namespace tavero::definitions
