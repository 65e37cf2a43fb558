#include "app/hex_log.h"

#include <string>

#include "app/practice_window.h"
#include "link/hex.h"

void OnServerDataArrival() {
  PracticeWindow* window = PracticeWindow::Loaded();
  if (window == nullptr || window->server() == nullptr) return;
  std::string line = BytesToHex(window->server()->GetData());
  line += "\r\n";
  AppendToLog(line.c_str());
}
