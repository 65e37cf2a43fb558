#include "script/error_report.h"

#include "app/app_exit.h"
#include "script/module_state.h"

namespace script {

void ReportError(const Text& message) {
  app::ShowMessageBox(GbkToUtf16(message), u"[Korvash]",
                      app::kBoxIconError | app::kBoxTaskModal | app::kBoxOk);
  // Only once the box is gone: while it is open the previous state stands.
  error_flag = 1;
  last_error_text = message;
}

}  // namespace script
