// The script context object, its procedure records and its frames.
//
// Objects with an operation table (ScriptContext, FrameRecord) hold it as
// their first field, and every such table begins with Destroy (release what
// the object owns, not its storage) and Copy (a new deep copy the caller
// owns). The deleters of ContextPtr and FramePtr call Destroy through the
// object's own table and then release the storage.
#pragma once

#include <cstdint>
#include <memory>

#include "script/list.h"
#include "script/text.h"
#include "script/variant.h"

namespace script {

// One variable or constant. The record owns its texts and its Variant, which
// it always has.
struct VariableRecord {
  Text name;
  int32_t type_code = 0;
  VariantPtr value;
  int32_t is_constant = 0;
  Text scope;  // the owning procedure's name; empty for module-wide
};
using VariableRecordPtr = std::unique_ptr<VariableRecord>;

// A deep copy: texts duplicated, the Variant copied with VariantCopy.
VariableRecordPtr CopyOfVariableRecord(const VariableRecord& source);

struct ProcedureRecord {
  Text name;  // lowered when defined
  int32_t defined_number = 0;
  int32_t redefine_flag = 0;
  Text attached_text;
  Text defined_text;
  int32_t spare = 0;
};
using ProcedureRecordPtr = std::unique_ptr<ProcedureRecord>;

struct ValueList {
  uint32_t head_number = 0;  // carried over by every copy, read by nothing
  List<VariantPtr> items;
  int32_t tail_number = 0;
};

struct FrameEntry {
  Text first_text;
  int32_t number = 0;
  ValueList values;
  Text second_text;
};
using FrameEntryPtr = std::unique_ptr<FrameEntry>;

struct FrameRecord;
struct FrameDeleter {
  void operator()(FrameRecord* frame) const;
};
using FramePtr = std::unique_ptr<FrameRecord, FrameDeleter>;

struct FrameOperations {
  void (*Destroy)(FrameRecord& self);
  FramePtr (*Copy)(const FrameRecord& self);
};

struct FrameRecord {
  const FrameOperations* operations = nullptr;
  List<VariableRecordPtr> variables;
  List<FrameEntryPtr> entries;
  int32_t first_number = 0;
  int32_t second_number = 0;
};

// The frame kind of this module. Nothing in the program makes a frame; the
// context copies and replaces those it is given.
extern const FrameOperations kFrameOperations;
FramePtr NewFrameRecord();
// Field-by-field deep copy that keeps the source's operation table.
FramePtr DuplicateFrame(const FrameRecord& source);

struct ScriptContext;
struct ContextDeleter {
  void operator()(ScriptContext* context) const;
};
using ContextPtr = std::unique_ptr<ScriptContext, ContextDeleter>;

// Positions (`index`) are 1-based. Every text given is copied and every text
// returned is a new copy. Name lookups fold ASCII case only (ToLowerText).
struct ScriptContextOperations {
  void (*Destroy)(ScriptContext& self);
  ContextPtr (*Copy)(const ScriptContext& self);
  // Replaces the frame at `index` by the frame's own Copy of `frame`, which
  // stays the caller's; the copy is made before the old frame goes, so the
  // frame already at `index` may be passed.
  void (*SetFrame)(ScriptContext& self, int32_t index, const FrameRecord& frame);
  FramePtr (*GetFrame)(ScriptContext& self, int32_t index);
  // Reports "重复定义过程:" + name when the name is taken.
  void (*DefineProcedure)(ScriptContext& self, const Text& name, int32_t defined_number,
                          int32_t redefine_flag, const Text& defined_text);
  int32_t (*FindProcedure)(ScriptContext& self, const Text& name);  // 0: none
  void (*ClearProcedures)(ScriptContext& self);
  void (*SetAttachedTextAt)(ScriptContext& self, int32_t index, const Text& text);
  // `reserved` is accepted and never read.
  void (*SetRedefineFlag)(ScriptContext& self, const Text& name, int32_t value,
                          int32_t reserved);
  int32_t (*GetRedefineFlag)(ScriptContext& self, const Text& name);
  int32_t (*GetDefinedNumber)(ScriptContext& self, const Text& name);
  Text (*GetDefinedText)(ScriptContext& self, const Text& name);
  Text (*GetAttachedText)(ScriptContext& self, const Text& name);
  // An index of 0 or less gives the empty text.
  Text (*GetAttachedTextAt)(ScriptContext& self, int32_t index);
  Text (*GetProcedureNameAt)(ScriptContext& self, int32_t index);
};

struct ScriptContext {
  const ScriptContextOperations* operations = nullptr;
  List<ProcedureRecordPtr> procedures;
  List<FramePtr> frames;
};

extern const ScriptContextOperations kScriptContextOperations;

// Empties the procedure list and sets procedure_count to 0; a new context is
// brought up and an old one finalised by the same steps.
void ResetProcedures(ScriptContext& context);

}  // namespace script
