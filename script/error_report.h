#pragma once

#include "script/text.h"

namespace script {

// Shows `message` in a task-modal "[Korvash]" box with the error icon and an
// OK button, without owner, and returns once it is dismissed; then sets
// error_flag to 1 and keeps a copy of the message in last_error_text. A
// script error never stops the program.
void ReportError(const Text& message);

}  // namespace script
