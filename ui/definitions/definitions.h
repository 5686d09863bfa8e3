// Window definitions: the blocks that describe every window, menu and report
// of the program, decoding and encoding them, and finding an entry by module
// label and procedure label.
//
// The blocks are compiled into the program (app/windows/*.json, through the
// windef compiler) and registered once at start with RegisterBlocks; the
// engine then opens windows with FindDefinition.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "ui/definitions/window_definition.h"

namespace tavero::definitions {

// A block as it is stored in the program: its resource name ("zephc001_RSC")
// and its bytes (the module label, then the body).
struct ResourceBlock {
  std::string_view name;
  std::span<const std::uint8_t> bytes;
};

// Why a block could not be read: a reference outside the body, a string
// without its terminating NUL, an unknown kind, a chain that loops, nesting
// too deep. `offset` is the body offset where the damage was found.
struct BlockDamage {
  std::string reason;
  std::size_t offset = 0;
};

// Reads a whole block. Every offset, string and record is checked against
// the block's bounds; a damaged block gives BlockDamage, never a crash.
std::variant<DefinitionBlock, BlockDamage> DecodeBlock(std::span<const std::uint8_t> block);

// The module label at the head of a block; nullopt when the block has no NUL.
std::optional<std::string_view> BlockModuleLabel(std::span<const std::uint8_t> block);

// Writes a block. Strings are written as given (single-byte text).
std::vector<std::uint8_t> EncodeBlock(const DefinitionBlock& block);

// The resource name of a module's block: the text after the "$" of the
// module label plus "_RSC" ("ZEPHCOL$zephc002" -> "zephc002_RSC").
std::string ResourceName(std::string_view module_label);

// The outcome of a lookup that reports nothing itself.
enum class LookupFailure {
  NotFound,  // no block of that module holds the procedure label
  Damaged,   // the module's block could not be read
};
struct LookupError {
  LookupFailure failure = LookupFailure::NotFound;
  std::string detail;  // the resource name, and the damage when there is one
};

// Finds `procedure_label` in the block of `module_label` among `blocks`,
// searched in order. A block is used only when its resource name matches
// (without regard to case) and its own module label equals `module_label`;
// others are skipped. With an empty module label the procedure label names a
// built-in dialog: every block whose module label is empty is searched.
std::variant<EntryDefinition, LookupError> LookupDefinition(std::span<const ResourceBlock> blocks,
                                                            std::string_view module_label,
                                                            std::string_view procedure_label);

// The blocks of the program, registered at start (the program's own first,
// then those of other loaded modules). Registering the same set twice is
// harmless; the memory must outlive the program's use of it.
void RegisterBlocks(std::span<const ResourceBlock> blocks);
std::vector<ResourceBlock> RegisteredBlocks();

// LookupDefinition over the registered blocks. When no entry is found the
// runtime error 502 "WSLDIAL" is reported, and a damaged block reports 503
// "WSLDIAL"; both end the program once the window system runs, and give
// nullopt otherwise.
std::optional<EntryDefinition> FindDefinition(std::string_view module_label,
                                              std::string_view procedure_label);

// USE variables. The controls of a window take the variables a procedure
// passes in record order, one each for the controls that need one (attribute
// kUsesVariable), sheets and their tabs included.
std::size_t CountUseVariables(const EntryDefinition& entry);
// True when `given` variables are enough; otherwise reports the runtime error
// 501 "WSLDIAL" and gives false.
bool CheckUseVariables(const EntryDefinition& entry, std::size_t given);

// Depth-first walk over every control of a tree (the menu bar's or the
// control list's), parents before their children.
template <typename Visit>
void ForEachControl(const std::vector<ControlDefinition>& controls, Visit&& visit) {
  for (const ControlDefinition& c : controls) {
    visit(c);
    ForEachControl(c.children, visit);
  }
}

// The control with `number` in the tree, or nullptr.
const ControlDefinition* FindControl(const std::vector<ControlDefinition>& controls,
                                     std::int32_t number);

}  // namespace tavero::definitions
