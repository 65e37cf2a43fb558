// The script module's module-level state. Everything is zero, empty or
// absent when the program is loaded; ScriptModuleStart brings it up and
// ScriptModuleTeardown releases it and returns it to that load state.
#pragma once

#include <cstdint>

#include "script/list.h"
#include "script/script_context.h"
#include "script/text.h"

namespace script {

// The one context; the module owns it.
extern ScriptContext* script_context;

// Every variable and constant; records never move, and the table's length
// always equals variable_count.
extern List<VariableRecordPtr> variable_table;
extern int32_t variable_count;
// variable_count once the predefined constants are in (69).
extern int32_t builtin_count;

// Module-wide count of procedures (see the procedure operations for how it
// relates to each context's own list).
extern int32_t procedure_count;

// Left behind by ReportError.
extern int32_t error_flag;
extern Text last_error_text;

// -1 once ScriptModuleInit has run.
extern int32_t init_marker;

}  // namespace script
