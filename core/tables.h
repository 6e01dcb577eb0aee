// The process-wide definition and settled tables, and the reset of all process-wide state.
#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "core/cell.h"

// The main expression is defined under the empty name.

// Looks a definition up; null when absent. A replaced body stays at the address given here
// until the name is removed or the tables reset, so the reducer may keep the pointer for a run.
const CellRef* find_definition(std::string_view name);
// Defines name, or replaces its body in place.
void set_definition(std::string_view name, CellRef body);
void remove_definition(std::string_view name);
// Visits the definitions in bytewise order of names while visit returns true; false when it stopped early.
bool each_definition(const std::function<bool(const std::string& name, const CellRef& body)>& visit);
// Replaces every body, in bytewise order of names, with what rewrite makes of it.
void rewrite_definitions(const std::function<CellRef(const std::string& name, const CellRef& body)>& rewrite);

// Where a parameterless definition stands in its one evaluation.
enum class DefinitionState { Unevaluated, Evaluating, Settled };
DefinitionState definition_state(std::string_view name);
void set_definition_state(std::string_view name, DefinitionState state);

// Builtin names that the program defined for itself: their handlers are no longer called.
void note_redefined_builtin(std::string_view name);
bool program_redefined_builtin(std::string_view name);

// Empties the definition, settled and builtin tables and every cache that depends on them.
void reset_process_state();
