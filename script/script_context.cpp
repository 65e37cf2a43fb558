#include "script/script_context.h"

#include <utility>

#include "script/error_report.h"
#include "script/module_state.h"

namespace script {

// ---- Records and frames ----------------------------------------------------

VariableRecordPtr CopyOfVariableRecord(const VariableRecord& source) {
  auto copy = std::make_unique<VariableRecord>();
  copy->name = source.name;
  copy->type_code = source.type_code;
  if (source.value != nullptr) {
    copy->value = CopyOfVariant(*source.value);
  } else {
    // A record always has a value; one built without gets the starting one.
    copy->value = NewVariant();
    SetInteger(*copy->value, 0);
  }
  copy->is_constant = source.is_constant;
  copy->scope = source.scope;
  return copy;
}

namespace {

FrameEntryPtr CopyOfFrameEntry(const FrameEntry& source) {
  auto copy = std::make_unique<FrameEntry>();
  copy->first_text = source.first_text;
  copy->number = source.number;
  copy->values.head_number = source.values.head_number;
  for (const VariantPtr& item : source.values.items) copy->values.items.Append(CopyOfVariant(*item));
  copy->values.tail_number = source.values.tail_number;
  copy->second_text = source.second_text;
  return copy;
}

void DestroyFrame(FrameRecord& self) {
  self.variables.Clear();
  self.entries.Clear();
}

FramePtr CopyFrame(const FrameRecord& self) { return DuplicateFrame(self); }

}  // namespace

const FrameOperations kFrameOperations = {&DestroyFrame, &CopyFrame};

void FrameDeleter::operator()(FrameRecord* frame) const {
  if (frame->operations != nullptr) frame->operations->Destroy(*frame);
  delete frame;
}

FramePtr NewFrameRecord() {
  FramePtr frame(new FrameRecord);
  frame->operations = &kFrameOperations;
  return frame;
}

FramePtr DuplicateFrame(const FrameRecord& source) {
  FramePtr copy(new FrameRecord);
  copy->operations = source.operations;
  for (const VariableRecordPtr& variable : source.variables) {
    copy->variables.Append(CopyOfVariableRecord(*variable));
  }
  for (const FrameEntryPtr& entry : source.entries) copy->entries.Append(CopyOfFrameEntry(*entry));
  copy->first_number = source.first_number;
  copy->second_number = source.second_number;
  return copy;
}

// ---- The context -------------------------------------------------------------

void ContextDeleter::operator()(ScriptContext* context) const {
  if (context->operations != nullptr) context->operations->Destroy(*context);
  delete context;
}

// ---- procedure_count and the procedure lists ---------------------------------
//
// procedure_count is module-wide while every context has its own list. It
// changes here, always together with a list (and at teardown, when the
// whole module state goes back to its load state): each procedure
// operation first makes the count equal to the length of the list it works
// on, so the count always describes the context operated on last: a scan
// never runs past its list, a definition only ever appends to it, and
// destroying or growing one context cannot cost another its records. With a
// single context the count and the list never differ.

void ResetProcedures(ScriptContext& context) {
  context.procedures.Clear();
  procedure_count = 0;
}

namespace {

void TakeCountFrom(const ScriptContext& self) { procedure_count = self.procedures.Length(); }

// One more procedure, at position procedure_count, in its starting state.
ProcedureRecord& AddProcedureRecord(ScriptContext& self) {
  TakeCountFrom(self);
  procedure_count += 1;
  self.procedures.Resize(procedure_count, [] { return std::make_unique<ProcedureRecord>(); });
  return *self.procedures.At(procedure_count);
}

// ---- The context's operations ---------------------------------------------------

void Destroy(ScriptContext& self) {
  ResetProcedures(self);
  self.procedures.Clear();
  for (FramePtr& frame : self.frames) frame.reset();  // first to last, each by its own kind
  self.frames.Clear();
}

// procedure_count is left alone: it describes the source.
ContextPtr Copy(const ScriptContext& self) {
  ContextPtr copy(new ScriptContext);
  copy->operations = self.operations;
  for (const ProcedureRecordPtr& record : self.procedures) {
    copy->procedures.Append(std::make_unique<ProcedureRecord>(*record));
  }
  // Frames are duplicated here field by field, not through their own Copy.
  for (const FramePtr& frame : self.frames) copy->frames.Append(DuplicateFrame(*frame));
  return copy;
}

void SetFrame(ScriptContext& self, int32_t index, const FrameRecord& frame) {
  FramePtr& slot = self.frames.At(index);
  FramePtr copy = frame.operations->Copy(frame);
  slot.reset();
  slot = std::move(copy);
}

FramePtr GetFrame(ScriptContext& self, int32_t index) {
  const FrameRecord& frame = *self.frames.At(index);
  return frame.operations->Copy(frame);
}

int32_t FindProcedure(ScriptContext& self, const Text& name) {
  TakeCountFrom(self);
  const int32_t count = procedure_count;
  if (count <= 0) return 0;
  const Text wanted = ToLowerText(name);
  for (int32_t i = 1; i <= count; ++i) {
    if (ToLowerText(self.procedures.At(i)->name) == wanted) return i;
  }
  return 0;
}

void DefineProcedure(ScriptContext& self, const Text& name, int32_t defined_number,
                     int32_t redefine_flag, const Text& defined_text) {
  TakeCountFrom(self);
  if (self.operations->FindProcedure(self, name) > 0) {
    ReportError("重复定义过程:" + name);
    return;
  }
  ProcedureRecord& record = AddProcedureRecord(self);
  record.name = ToLowerText(name);
  record.defined_number = defined_number;
  record.redefine_flag = redefine_flag;
  record.defined_text = defined_text;
}

void ClearProcedures(ScriptContext& self) { ResetProcedures(self); }

void SetAttachedTextAt(ScriptContext& self, int32_t index, const Text& text) {
  TakeCountFrom(self);
  self.procedures.At(index)->attached_text = text;
}

void SetRedefineFlag(ScriptContext& self, const Text& name, int32_t value, int32_t /*reserved*/) {
  TakeCountFrom(self);
  const int32_t found = self.operations->FindProcedure(self, name);
  if (found > 0) self.procedures.At(found)->redefine_flag = value;
}

// The procedure answering to `name`, or null.
const ProcedureRecord* Named(ScriptContext& self, const Text& name) {
  TakeCountFrom(self);
  const int32_t found = self.operations->FindProcedure(self, name);
  return found > 0 ? self.procedures.At(found).get() : nullptr;
}

int32_t GetRedefineFlag(ScriptContext& self, const Text& name) {
  const ProcedureRecord* record = Named(self, name);
  return record != nullptr ? record->redefine_flag : 0;
}

int32_t GetDefinedNumber(ScriptContext& self, const Text& name) {
  const ProcedureRecord* record = Named(self, name);
  return record != nullptr ? record->defined_number : 0;
}

Text GetDefinedText(ScriptContext& self, const Text& name) {
  const ProcedureRecord* record = Named(self, name);
  return record != nullptr ? record->defined_text : Text();
}

Text GetAttachedText(ScriptContext& self, const Text& name) {
  const ProcedureRecord* record = Named(self, name);
  return record != nullptr ? record->attached_text : Text();
}

Text GetAttachedTextAt(ScriptContext& self, int32_t index) {
  TakeCountFrom(self);
  if (index <= 0) return Text();
  return self.procedures.At(index)->attached_text;
}

Text GetProcedureNameAt(ScriptContext& self, int32_t index) {
  TakeCountFrom(self);
  if (index <= 0) return Text();
  return self.procedures.At(index)->name;
}

}  // namespace

const ScriptContextOperations kScriptContextOperations = {
    &Destroy,
    &Copy,
    &SetFrame,
    &GetFrame,
    &DefineProcedure,
    &FindProcedure,
    &ClearProcedures,
    &SetAttachedTextAt,
    &SetRedefineFlag,
    &GetRedefineFlag,
    &GetDefinedNumber,
    &GetDefinedText,
    &GetAttachedText,
    &GetAttachedTextAt,
    &GetProcedureNameAt,
};

}  // namespace script
