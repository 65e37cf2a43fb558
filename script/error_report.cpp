#include "script/error_report.h"

#include "base/process_end.h"
#include "script/module_state.h"

namespace script {

void ReportError(const Text& message) {
  base::ShowMessageBox(GbkToUtf16(message), u"[Korvash]",
                      base::kBoxIconError | base::kBoxTaskModal | base::kBoxOk);
  // Only once the box is gone: while it is open the previous state stands.
  error_flag = 1;
  last_error_text = message;
}

}  // namespace script
