#include "base/process_end.h"
#include "script/module_state.h"
#include "script/script_module.h"
#include "script/variables.h"

namespace script {

ScriptContext* script_context = nullptr;
List<VariableRecordPtr> variable_table;
int32_t variable_count = 0;
int32_t builtin_count = 0;
int32_t procedure_count = 0;
int32_t error_flag = 0;
Text last_error_text;
int32_t init_marker = 0;

void FatalRangeError() { base::FatalError(u"下标越界"); }

namespace {

// Releases everything the module holds and puts every module value back as
// it was when the program was loaded, all in one step: nothing refers to
// what was released, and a second release finds nothing to release twice.
void ReleaseModuleState() {
  if (script_context != nullptr) {
    ContextDeleter()(script_context);  // Destroy through its table, then the storage
    script_context = nullptr;
  }
  procedure_count = 0;     // no procedure list is left for it to count
  ReleaseVariableTable();  // every record with its texts and its Variant, first to last
  Text().swap(last_error_text);
  error_flag = 0;
  init_marker = 0;
}

}  // namespace
}  // namespace script

void ScriptModuleStart() {
  using namespace script;
  // A second start begins afresh rather than leaving a table that disagrees
  // with variable_count and a context nobody owns.
  ReleaseModuleState();
  script_context = new ScriptContext;
  script_context->operations = &kScriptContextOperations;
  ResetProcedures(*script_context);
}

void ScriptModuleTeardown() { script::ReleaseModuleState(); }

void ScriptModuleInit() {
  script::RegisterPredefinedConstants();
  script::init_marker = -1;
}
