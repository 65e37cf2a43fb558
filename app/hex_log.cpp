#include "app/hex_log.h"

#include <string>

#include "app/practice_window.h"
#include "link/hex.h"
#include "link/link_server.h"

void OnServerDataArrival() {
  std::string line = BytesToHex(link_server->GetData());
  line += "\r\n";
  AppendToLog(line.c_str());
}
