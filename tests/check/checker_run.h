// Runs the built kestravo-check.exe as a learner would, for any test that
// wants to feed it answers (the checker's own tests, the debugger tests).
#pragma once

#include <string>
#include <vector>

namespace kvtest {

// The checker's Windows path, as the build wrote it.
std::wstring CheckerPath();

struct CheckerResult {
  // 0 right, 1 not yet, 2 bad input; -1 if it could not start or did not
  // end within the timeout (it is then ended).
  int exit_code = -1;
  // Standard output and standard error as one UTF-8 text, "\r\n" as "\n".
  std::string output;
};

// Runs the checker with `args` (UTF-8, one answer word each; quoted for the
// command line here) and waits for it to end.
CheckerResult RunChecker(const std::vector<std::string>& args, int timeout_ms = 30000);

}  // namespace kvtest
